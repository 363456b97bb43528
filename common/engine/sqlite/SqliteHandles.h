#pragma once
// Owning handles for SQLite objects.

#include <sqlcipher/sqlite3.h>

#include <memory>

namespace core::sqlite {

struct DbCloser {
    // close_v2 never fails for a valid handle; it defers the close until the
    // last statement is finalized.
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};

using DbHandle = std::unique_ptr<sqlite3, DbCloser>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

}  // namespace core::sqlite
