#pragma once
// What the run checks before it lets the filled template take the
// archive's place.

#include <string>

#include "common/engine/Dao.h"

namespace upgrade {


// Raises unless the filled template's table holds as many rows as the
// archive's.
void RequireSameRowCount(core::Database& archive, core::Database& upgrade, const std::string& table);

// Raises 3045 when a journal or WAL file lies beside the database: it would
// be left behind, or carry part of the data, when the file is renamed.
void RequireNoSideFiles(const std::string& path);

// Raises 3049 unless every page of the database is as SQLite wrote it
// (core::sqlite::CheckPages).
void RequireIntact(const std::string& path, const std::string& password);

// Whether a file is a plain (unencrypted) SQLite database.
bool IsPlainSqlite(const std::string& path);

}  // namespace upgrade
