// The page copies of SqliteTools.h: a safety copy of a database before a
// run changes it, and putting that copy back.

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/engine/Error.h"
#include "common/engine/FsPath.h"
#include "common/engine/sqlite/SqliteConnection.h"
#include "common/engine/sqlite/SqliteHandles.h"
#include "common/engine/sqlite/SqliteTools.h"

namespace core::sqlite {
namespace {

namespace fs = std::filesystem;

// Pages copied per step: large enough that the copy runs at the disk's
// pace, small enough that the caller hears from it several times a second.
constexpr int kPagesPerStep = 2048;

struct BackupDeleter {
    void operator()(sqlite3_backup* backup) const noexcept { sqlite3_backup_finish(backup); }
};

// Creates target, keyed when the source is encrypted.
DbHandle OpenTarget(const std::string& target, const std::string& key, bool plain, int flags) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(target.c_str(), &raw, flags, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) throw LastError(db.get(), rc, {target, {}, {}});
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), 2000);
    if (!plain) ApplyKey(db.get(), key);
    return db;
}

void CopyPages(sqlite3* from, sqlite3* to, const std::string& target, const CopyProgress& progress) {
    std::unique_ptr<sqlite3_backup, BackupDeleter> backup(sqlite3_backup_init(to, "main", from, "main"));
    if (!backup) throw LastError(to, sqlite3_errcode(to), {target, {}, {}});
    int busy = 0;
    for (;;) {
        const int rc = sqlite3_backup_step(backup.get(), kPagesPerStep);
        if (rc == SQLITE_DONE) break;
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            // Another process writing the source: wait a little, a bounded number of times.
            if (++busy > 100) throw TranslateError(rc, sqlite3_errstr(rc), {target, {}, {}});
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        if (rc != SQLITE_OK) throw TranslateError(rc, sqlite3_errstr(rc), {target, {}, {}});
        if (progress) progress(sqlite3_backup_remaining(backup.get()), sqlite3_backup_pagecount(backup.get()));
    }
    const int rc = sqlite3_errcode(to);
    backup.reset();
    if (rc != SQLITE_OK && rc != SQLITE_DONE) throw LastError(to, rc, {target, {}, {}});
}

}  // namespace

void BackupDatabase(const std::string& source, const std::string& key, const std::string& target,
                    const CopyProgress& progress) {
    std::error_code ec;
    if (fs::exists(FsPath(target), ec))
        throw Error(3204, "Il database '" + target + "' esiste già.", "SQLite");
    const bool plain = IsPlainDatabaseFile(source);
    DbHandle from = OpenDatabaseFile(source, key, SQLITE_OPEN_READONLY);
    try {
        // Each keyed open derives the key, a noticeable pause: the caller
        // hears from the copy between the two.
        if (progress) progress(1, 1);
        DbHandle to = OpenTarget(target, key, plain, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        CopyPages(from.get(), to.get(), target, progress);
    } catch (...) {
        fs::remove(FsPath(target), ec);
        fs::remove(FsPath(target + "-journal"), ec);
        throw;
    }
}

void RestoreDatabase(const std::string& copy, const std::string& key, const std::string& target) {
    DbHandle from = OpenDatabaseFile(copy, key, SQLITE_OPEN_READONLY);
    // Opened like any database of the engine: an existing file only, keyed
    // as it is (the copy is keyed the same way).
    DbHandle to = OpenDatabaseFile(target, key, SQLITE_OPEN_READWRITE);
    CopyPages(from.get(), to.get(), target, {});
}

}  // namespace core::sqlite
