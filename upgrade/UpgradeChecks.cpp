#include "upgrade/UpgradeChecks.h"

#include <cstring>
#include <fstream>

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
    const auto report = core::sqlite::CheckIntegrity(path, password);
    if (report.ok) return;
    throw core::Error(core::err::CorruptDatabase,
                      "Il file aggiornato '" + path +
                          "' non supera il controllo di integrità: l'archivio non è stato modificato.",
                      "Quillon", report.text);
}

bool IsPlainSqlite(const std::string& path) {
    static constexpr char kHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                         'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
    std::ifstream in(core::FsPath(path), std::ios::binary);
    char buffer[sizeof kHeader] = {};
    in.read(buffer, sizeof buffer);
    return in.gcount() == static_cast<std::streamsize>(sizeof buffer) &&
           std::memcmp(buffer, kHeader, sizeof kHeader) == 0;
}

}  // namespace upgrade
