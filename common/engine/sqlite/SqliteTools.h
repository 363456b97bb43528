#pragma once
// Database files outside the data-access objects: making the sample and
// test databases, encrypting a copy, checking a file, and leaving a file
// self-contained before it is renamed or copied. Keys are UTF-8 texts, as
// the connect text's password; an empty key means a plain database.
// Failures raise core::Error with the engine's numbers.

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

// Whether a -journal, -wal or -shm file lies beside path.
bool HasSideFiles(const std::string& path);

// Makes the file hold everything by itself: a hot journal left by a crash
// is rolled back, a -wal is checkpointed into the file and the database is
// switched to the rollback journal. Connections of the engine must be
// closed first (Engine::FlushAll and closing the databases). Returns
// whether no side file remains.
bool SettleFile(const std::string& path, const std::string& key = {});

}  // namespace core::sqlite
