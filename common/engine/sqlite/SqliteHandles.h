#pragma once
// Owning handles for SQLite objects.

#include <sqlcipher/sqlite3.h>

#include <memory>
#include <string>

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

// The first column of the first row a statement gives (a pragma's value);
// empty when it gives none or cannot be prepared.
inline std::string FirstText(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return {};
    }
    StmtHandle stmt(raw);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
    return text ? text : "";
}

}  // namespace core::sqlite
