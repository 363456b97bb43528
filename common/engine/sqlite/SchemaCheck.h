#pragma once
// A look at the schema of a plain (unencrypted) SQLite file before the
// library is given it. The SQLCipher of the supported platforms (built on
// SQLite 3.15) dereferences a null pointer when the schema table holds a
// "CREATE TABLE name AS SELECT ..." statement, which SQLite itself never
// stores there: a damaged or forged file would take the whole program down
// on its first statement. The schema table is read here straight from the
// file's pages, and such a file is reported as damaged instead. Any other
// damage is left to the library, which reports it.
//
// Encrypted files need no such look: every page carries a message
// authentication code, so a page changed without the key is refused before
// its content is parsed.

#include <optional>
#include <string>

namespace core::sqlite {

// Why the schema of the plain SQLite file at path cannot be handed to the
// library, in English for the error's native text; nullopt when it can (or
// when the file is no plain SQLite file: the library reports that itself).
std::optional<std::string> UnsafeSchemaReason(const std::string& path);

// True when sql is a CREATE TABLE statement that takes its columns from a
// query ("CREATE [TEMP] TABLE [IF NOT EXISTS] [schema.]name AS ...").
bool IsCreateTableAsQuery(const std::string& sql);

}  // namespace core::sqlite
