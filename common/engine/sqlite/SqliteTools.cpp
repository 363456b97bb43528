#include "common/engine/sqlite/SqliteTools.h"

#include "common/engine/sqlite/SqlDialect.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/engine/Error.h"
#include "common/engine/FsPath.h"
#include "common/engine/sqlite/SqliteConnection.h"
#include "common/engine/sqlite/SqliteHandles.h"

namespace core::sqlite {
namespace {

namespace fs = std::filesystem;

constexpr int kDatabaseExists = 3204;

void RequireAbsent(const std::string& path) {
    std::error_code ec;
    if (fs::exists(FsPath(path), ec))
        throw Error(kDatabaseExists, "Il database '" + path + "' esiste già.", "SQLite");
}

void Exec(sqlite3* db, const std::string& sql, const std::string& file) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        const int code = sqlite3_extended_errcode(db);
        throw TranslateError((code & 0xff) == (rc & 0xff) ? code : rc, text, {file, {}, sql});
    }
}

}  // namespace

void CreateDatabase(const std::string& path, std::string_view script, const std::string& key) {
    RequireAbsent(path);
    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(path.c_str(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        DbHandle db(raw);
        if (rc != SQLITE_OK) throw LastError(db.get(), rc, {path, {}, {}});
        try {
            sqlite3_extended_result_codes(db.get(), 1);
            ApplyKey(db.get(), key);
            Exec(db.get(), "BEGIN", path);
            Exec(db.get(), std::string(script), path);
            Exec(db.get(), "COMMIT", path);
        } catch (...) {
            db.reset();
            std::error_code ec;
            fs::remove(FsPath(path), ec);
            fs::remove(FsPath(path + "-journal"), ec);
            throw;
        }
    }
}

void ExportDatabase(const std::string& source, const std::string& sourceKey,
                    const std::string& target, const std::string& targetKey) {
    RequireAbsent(target);
    // ATTACH creates the target only when the main database was opened with
    // SQLITE_OPEN_CREATE; the source itself exists, so nothing else is made.
    DbHandle db = OpenDatabaseFile(source, sourceKey, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    try {
        Exec(db.get(),
             "ATTACH DATABASE " + Literal(target) + " AS agency_export KEY " + Literal(targetKey),
             target);
        ApplyKey(db.get(), targetKey, "agency_export");
        Exec(db.get(), "SELECT sqlcipher_export('agency_export')", target);
        sqlite3_stmt* raw = nullptr;
        int version = 0;
        if (sqlite3_prepare_v2(db.get(), "PRAGMA main.user_version", -1, &raw, nullptr) == SQLITE_OK) {
            StmtHandle stmt(raw);
            if (sqlite3_step(stmt.get()) == SQLITE_ROW) version = sqlite3_column_int(stmt.get(), 0);
        } else {
            sqlite3_finalize(raw);
        }
        Exec(db.get(), "PRAGMA agency_export.user_version = " + std::to_string(version), target);
        Exec(db.get(), "DETACH DATABASE agency_export", target);
    } catch (...) {
        db.reset();
        std::error_code ec;
        fs::remove(FsPath(target), ec);
        fs::remove(FsPath(target + "-journal"), ec);
        throw;
    }
}

namespace {

// The lines of a check statement: ok when it gives exactly "ok", or (for
// a check that lists only problems) nothing at all.
IntegrityReport RunCheck(sqlite3* db, const std::string& path, const char* pragma, bool silentWhenOk) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, pragma, -1, &raw, nullptr);
    StmtHandle stmt(raw);
    if (rc != SQLITE_OK) throw LastError(db, rc, {path, {}, pragma});
    IntegrityReport report;
    int step;
    while ((step = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        const auto* line = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
        if (!report.text.empty()) report.text += '\n';
        report.text += line ? line : "";
    }
    if (step != SQLITE_DONE) {
        // A damaged file may stop the check itself.
        report.ok = false;
        if (!report.text.empty()) report.text += '\n';
        report.text += sqlite3_errmsg(db);
        return report;
    }
    if (silentWhenOk && report.text.empty()) report.text = "ok";
    report.ok = report.text == "ok";
    return report;
}

}  // namespace

IntegrityReport CheckPages(const std::string& path, const std::string& key) {
    DbHandle db = OpenDatabaseFile(path, key, SQLITE_OPEN_READONLY);
    if (IsPlainDatabaseFile(path)) return RunCheck(db.get(), path, "PRAGMA quick_check", false);
    return RunCheck(db.get(), path, "PRAGMA cipher_integrity_check", true);
}

bool IsPlainDatabaseFile(const std::string& path) {
    static constexpr char kHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                         'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
    std::ifstream in(FsPath(path), std::ios::binary);
    char buffer[sizeof kHeader] = {};
    in.read(buffer, sizeof buffer);
    return in.gcount() == static_cast<std::streamsize>(sizeof buffer) &&
           std::memcmp(buffer, kHeader, sizeof kHeader) == 0;
}

IntegrityReport CheckIntegrity(const std::string& path, const std::string& key) {
    DbHandle db = OpenDatabaseFile(path, key, SQLITE_OPEN_READONLY);
    // The check looks up every row in each of its table's indexes: with the
    // library's default 2 MB page cache a large index no longer fits and its
    // pages are read (and decrypted) again and again. 8 MB, the size the
    // driver's connections use, keeps the common indexes in memory.
    sqlite3_exec(db.get(), "PRAGMA cache_size = -8192", nullptr, nullptr, nullptr);
    return RunCheck(db.get(), path, "PRAGMA integrity_check", false);
}

bool HasSideFiles(const std::string& path) {
    std::error_code ec;
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        if (fs::exists(FsPath(path + suffix), ec)) return true;
    return false;
}

bool SettleFile(const std::string& path, const std::string& key) {
    if (!HasSideFiles(path)) return true;
    {
        // Opening reads the schema, which rolls back a hot journal.
        DbHandle db = OpenDatabaseFile(path, key, SQLITE_OPEN_READWRITE);
        sqlite3_exec(db.get(), "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        Exec(db.get(), "PRAGMA journal_mode = DELETE", path);
    }
    return !HasSideFiles(path);
}

}  // namespace core::sqlite
