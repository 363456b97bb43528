#pragma once
// SQLite result codes turned into the engine's error numbers, with an
// Italian description that names the file, table or field concerned; the
// SQLite message and the statement go to nativeText for diagnostics.

#include <string>
#include <string_view>

#include "common/engine/Error.h"

struct sqlite3;

namespace core::sqlite {

struct ErrorContext {
    std::string file;   // the database file
    std::string table;  // the table concerned, when known
    std::string sql;    // the statement, when there was one
};

// rc is the (extended) result code of the failed call; message is SQLite's
// text for it (sqlite3_errmsg taken right after the failure).
Error TranslateError(int rc, std::string_view message, const ErrorContext& context);

// The same, reading the code and message from the connection.
Error LastError(sqlite3* db, int rc, const ErrorContext& context);

// Whether a failed write is about the rows written (a constraint, a
// trigger's RAISE, a value SQLite cannot take), which writing them another
// way meets again, rather than a failure of the file or of memory.
bool AboutTheRows(int rc);

// The open-time errors, raised before SQLite sees the file.
Error MissingFileError(const std::string& file);
Error FolderError(const std::string& file);
Error UnreadableFileError(const std::string& file, const std::string& nativeText);
Error NotADatabaseError(const std::string& file, const std::string& nativeText);
Error BadPasswordError(const std::string& file);
// Execute was given a statement that returns rows.
Error SelectInExecuteError(const std::string& file);

}  // namespace core::sqlite
