#include "common/engine/odbc/OdbcInsertBatch.h"

#include <algorithm>

#include "common/Messages.h"
#include "common/engine/Error.h"
#include "common/engine/odbc/OdbcConnection.h"
#include "common/engine/odbc/OdbcDialect.h"
#include "common/engine/odbc/OdbcTypes.h"

namespace core::odbc {

namespace {

// Records per statement, and the parameters one statement carries at most
// (psqlODBC loses the connection on statements with many thousands).
constexpr std::size_t kRowsPerBatch = 128;
constexpr std::size_t kMaxParameters = 8000;

}  // namespace

void InsertBatch::Add(const std::string& table, const std::vector<FieldInfo>& columns, std::vector<bool> assigned,
                      std::vector<Variant> values) {
    if (rows_.empty()) {
        table_ = table;
        columns_ = columns;
        parameters_ = 0;
    }
    parameters_ += values.size();
    rows_.push_back(Record{std::move(assigned), std::move(values)});
}

bool InsertBatch::Full() const {
    if (!connection_.MultiRowInsert()) return !rows_.empty();
    return rows_.size() >= kRowsPerBatch || parameters_ + columns_.size() > kMaxParameters;
}

void InsertBatch::Discard() {
    rows_.clear();
    parameters_ = 0;
}

std::string InsertBatch::InsertSql(std::size_t first, std::size_t count) const {
    const Dialect& dialect = connection_.SqlDialect();
    std::vector<bool> named(columns_.size());
    for (std::size_t r = first; r < first + count; ++r)
        for (std::size_t c = 0; c < columns_.size(); ++c)
            if (rows_[r].assigned[c]) named[c] = true;
    std::string sql = "INSERT INTO " + QuoteIdentifier(table_, dialect);
    std::string names;
    for (std::size_t c = 0; c < columns_.size(); ++c)
        if (named[c]) names += (names.empty() ? "" : ", ") + QuoteIdentifier(columns_[c].name, dialect);
    if (names.empty()) return sql + " DEFAULT VALUES";
    sql += " (" + names + ") VALUES ";
    for (std::size_t r = first; r < first + count; ++r) {
        sql += r == first ? "(" : ", (";
        bool firstValue = true;
        for (std::size_t c = 0; c < columns_.size(); ++c) {
            if (!named[c]) continue;
            sql += firstValue ? "" : ", ";
            sql += rows_[r].assigned[c] ? "?" : "DEFAULT";
            firstValue = false;
        }
        sql += ")";
    }
    return sql;
}

SQLHSTMT InsertBatch::Prepared(std::size_t first, std::size_t count) {
    auto key = std::make_tuple(table_, rows_[first].assigned, static_cast<int>(count));
    auto it = statements_.find(key);
    if (it != statements_.end()) return it->second.get();
    StmtHandle stmt = connection_.NewStatement();
    const std::u16string wide = ToWide(InsertSql(first, count));
    if (!Succeeded(SQLPrepareW(stmt.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS)))
        connection_.Fail(SQL_HANDLE_STMT, stmt.get(), "preparazione del salvataggio in '" + table_ + "'");
    return statements_.emplace(std::move(key), std::move(stmt)).first->second.get();
}

bool InsertBatch::Execute(std::size_t first, std::size_t count, SQLHSTMT& stmt, StmtHandle& direct) {
    bool uniform = true;
    for (std::size_t r = first + 1; r < first + count && uniform; ++r)
        uniform = rows_[r].assigned == rows_[first].assigned;
    if (uniform) {
        stmt = Prepared(first, count);
    } else {
        direct = connection_.NewStatement();
        stmt = direct.get();
    }
    // Bound from the last parameter to the first: a driver that grows its
    // parameter table to the highest number bound so far (psqlODBC does)
    // then sizes it once per execution instead of once per parameter.
    struct Slot {
        std::size_t row, column, value;
    };
    std::vector<Slot> slots;
    for (std::size_t r = first; r < first + count; ++r) {
        std::size_t v = 0;
        for (std::size_t c = 0; c < columns_.size(); ++c)
            if (rows_[r].assigned[c]) slots.push_back({r, c, v++});
    }
    std::vector<Parameter> parameters(slots.size());
    for (std::size_t i = slots.size(); i-- > 0;) {
        const Slot& slot = slots[i];
        if (!Succeeded(BindValue(stmt, static_cast<SQLUSMALLINT>(i + 1), columns_[slot.column],
                                 rows_[slot.row].values[slot.value], parameters[i]))) {
            const std::string what = "scrittura del campo '" + columns_[slot.column].name + "' in '" + table_ + "'";
            Discard();
            connection_.Fail(SQL_HANDLE_STMT, stmt, what);
        }
    }
    SQLRETURN rc;
    if (uniform) {
        rc = SQLExecute(stmt);
    } else {
        const std::u16string wide = ToWide(InsertSql(first, count));
        rc = SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS);
    }
    if (!Succeeded(rc)) return false;
    // Closed as well: the driver would otherwise keep every execution's
    // outcome until the statement is freed.
    SQLFreeStmt(stmt, SQL_CLOSE);
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    connection_.AfterWrite(static_cast<long>(count));
    return true;
}

void InsertBatch::ThrowRefusal(SQLHSTMT stmt) {
    const Diagnostic d = ReadDiagnostic(SQL_HANDLE_STMT, stmt, connection_.Password());
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    Discard();
    connection_.CommitAfterError();
    const int number = EngineNumberFor(d.sqlState, d.message);
    std::string description = msg::CannotSaveRecord(table_);
    if (number == err::DuplicateKey) description += ": un valore duplicato violerebbe un indice univoco.";
    else if (number == err::NullInRequired) description += ": un campo obbligatorio è Null.";
    else description += ".";
    throw Error(number, description + " " + d.message, "ODBC", d.sqlState + " " + d.message);
}

void InsertBatch::Replay(std::size_t first, std::size_t count) {
    for (std::size_t r = first; r < first + count; ++r) {
        SQLHSTMT stmt = SQL_NULL_HANDLE;
        StmtHandle direct;
        if (!Execute(r, 1, stmt, direct)) ThrowRefusal(stmt);
    }
}

void InsertBatch::SendRun(std::size_t first, std::size_t count) {
    SQLHSTMT stmt = SQL_NULL_HANDLE;
    StmtHandle direct;
    if (Execute(first, count, stmt, direct)) return;
    if (count == 1) ThrowRefusal(stmt);
    // The server refused one of these records and saved none of them: back
    // to the state after the last saved record, then each one on its own.
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    connection_.Recover();
    Replay(first, count);
}

void InsertBatch::Send() {
    std::size_t next = 0;
    while (next < rows_.size()) {
        // The longest stretch of records with the same columns assigned
        // goes as prepared statements, a mixed rest as one statement.
        std::size_t same = 1;
        while (next + same < rows_.size() && rows_[next + same].assigned == rows_[next].assigned) ++same;
        std::size_t count;
        if (same == rows_.size() - next) {
            count = 1;
            while (count * 2 <= same) count *= 2;
        } else {
            count = rows_.size() - next;
        }
        // A record that assigns nothing is saved alone, with DEFAULT VALUES.
        if (std::none_of(rows_[next].assigned.begin(), rows_[next].assigned.end(), [](bool a) { return a; }))
            count = 1;
        SendRun(next, count);
        next += count;
    }
    Discard();
}

}  // namespace core::odbc
