#pragma once
// Database files outside the data-access objects: making the sample and
// test databases, encrypting a copy, checking a file, and leaving a file
// self-contained before it is renamed or copied. Keys are UTF-8 texts, as
// the connect text's password; an empty key means a plain database.
// Failures raise core::Error with the engine's numbers.

#include <functional>
#include <string>
#include <string_view>

namespace core::sqlite {

// Creates path (it must not exist: 3204 otherwise) and runs the SQL script
// in it in one transaction, in SQLite's own dialect. A failing script
// leaves no file behind.
void CreateDatabase(const std::string& path, std::string_view script, const std::string& key = {});

// Writes a copy of source (opened with sourceKey; a plain file ignores it)
// into the new file target, encrypted with targetKey (plain when empty):
// schema, data and user_version. target must not exist.
void ExportDatabase(const std::string& source, const std::string& sourceKey,
                    const std::string& target, const std::string& targetKey);

struct IntegrityReport {
    bool ok = false;
    std::string text;  // "ok", or SQLite's list of problems
};
IntegrityReport CheckIntegrity(const std::string& path, const std::string& key = {});

// Whether every page of the file is as SQLite wrote it, at about the cost
// of reading the file once. An encrypted file: each page's HMAC (PRAGMA
// cipher_integrity_check), which fails for any byte of a page written
// wrong, torn or left out. A plain file has no such code: PRAGMA
// quick_check, every b-tree page read and its structure checked (only the
// comparison of each index with its table is left out).
IntegrityReport CheckPages(const std::string& path, const std::string& key = {});

// Whether the file begins with the header of a plain (unencrypted) SQLite
// database; an encrypted one has no readable header.
bool IsPlainDatabaseFile(const std::string& path);

// Whether a -journal, -wal or -shm file lies beside path.
bool HasSideFiles(const std::string& path);

// Called between the steps of a page copy with the pages still to copy and
// all of them; what it throws abandons the copy.
using CopyProgress = std::function<void(int remaining, int total)>;

// Copies the database source, page by page with SQLite's online backup API,
// into the new file target (it must not exist: 3204 otherwise), encrypted
// like source with the same key: a consistent copy even while other
// connections of this program have the source open. A copy that fails or
// is abandoned leaves no file behind.
void BackupDatabase(const std::string& source, const std::string& key, const std::string& target,
                    const CopyProgress& progress = {});

// Puts a copy made by BackupDatabase back into the existing database
// target, replacing all of its content. No connection of the engine may
// be open on target (close the data controls, then Engine::Prune).
void RestoreDatabase(const std::string& copy, const std::string& key, const std::string& target);

// Makes the file hold everything by itself: a hot journal left by a crash
// is rolled back, a -wal is checkpointed into the file and the database is
// switched to the rollback journal. Connections of the engine must be
// closed first (Engine::FlushAll and closing the databases). Returns
// whether no side file remains.
bool SettleFile(const std::string& path, const std::string& key = {});

}  // namespace core::sqlite
