#include "upgrade/UpgradeChecks.h"

#include "common/engine/Dao.h"
#include "common/engine/Error.h"
#include "common/engine/FsPath.h"
#include "common/engine/sqlite/SqliteTools.h"

namespace upgrade {

void RequireSameRowCount(core::Database& archive, core::Database& upgrade, const std::string& table) {
    const long long expected = core::CountRows(archive, table);
    const long long found = core::CountRows(upgrade, table);
    if (expected == found) return;
    throw core::Error(core::err::ReservedError,
                      "La tabella '" + table + "' del file aggiornato contiene " + std::to_string(found) +
                          " righe invece delle " + std::to_string(expected) +
                          " dell'archivio: l'aggiornamento non è stato completato e l'archivio non è "
                          "stato modificato.",
                      "Quillon");
}

void RequireNoSideFiles(const std::string& path) {
    if (!core::sqlite::HasSideFiles(path)) return;
    throw core::Error(core::err::FileInUse,
                      "Il file '" + path +
                          "' è ancora in uso (accanto ad esso c'è un file -journal o -wal): chiudere "
                          "le applicazioni che lo usano e ripetere l'operazione.",
                      "Quillon");
}

void RequireIntact(const std::string& path, const std::string& password) {
    // The rows are counted apart; what is left to find is a page not written
    // as SQLite wrote it, which the page check finds at a fraction of the
    // cost of the full integrity check.
    const auto report = core::sqlite::CheckPages(path, password);
    if (report.ok) return;
    throw core::Error(core::err::CorruptDatabase,
                      "Il file aggiornato '" + path +
                          "' non supera il controllo di integrità: l'archivio non è stato modificato.",
                      "Quillon", report.text);
}

bool IsPlainSqlite(const std::string& path) { return core::sqlite::IsPlainDatabaseFile(path); }

}  // namespace upgrade
