// Connection::Verify for SQLite: PRAGMA quick_check on the one table reads
// its b-tree pages and overflow chains and checks their structure (under
// SQLCipher each page's HMAC too), without the index checks of a full
// integrity check. It costs about one read of the table, and runs only when
// a run asks for it before writing, never on open.

#include <sqlite3.h>

#include "common/engine/sqlite/SqlDialect.h"
#include "common/engine/sqlite/SqliteConnection.h"
#include "common/engine/sqlite/SqliteErrors.h"

namespace core::sqlite {

void SqliteConnection::Verify(const std::string& table) {
    SendSaves();
    const std::string sql = "PRAGMA quick_check(" + Literal(table) + ")";
    StmtHandle stmt = Prepare(sql, table);
    std::string problems;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
        const std::string line = text ? text : "";
        if (line == "ok") continue;
        if (!problems.empty()) problems += "; ";
        problems += line;
    }
    if (rc != SQLITE_DONE) {
        // A page that cannot be read stops the check with a plain error
        // (under SQLCipher, a page whose HMAC fails): that is damage too.
        switch (rc & 0xff) {
        case SQLITE_IOERR:
        case SQLITE_NOMEM:
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
        case SQLITE_INTERRUPT:
            RaiseLast(rc, table, sql);
        default:
            Raise(TranslateError(SQLITE_CORRUPT, sqlite3_errmsg(Db()), {path_, table, sql}));
        }
    }
    if (!problems.empty()) Raise(TranslateError(SQLITE_CORRUPT, problems, {path_, table, sql}));
}

}  // namespace core::sqlite
