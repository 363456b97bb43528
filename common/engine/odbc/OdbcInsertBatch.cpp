#include "common/engine/odbc/OdbcInsertBatch.h"

#include <algorithm>

#include "common/Messages.h"
#include "common/engine/Error.h"
#include "common/engine/odbc/OdbcConnection.h"
#include "common/engine/odbc/OdbcDialect.h"
#include "common/engine/odbc/OdbcTypes.h"

namespace core::odbc {

namespace {

// Records waiting at most, and the bytes of text and binary values they
// hold at most, before they are sent.
constexpr std::size_t kRowsPerBatch = 1024;
constexpr std::size_t kMaxBatchBytes = 8 << 20;
// Records per multi-row INSERT, and the parameters one statement carries
// at most (psqlODBC loses the connection on statements with many thousands).
constexpr std::size_t kRowsPerStatement = 128;
constexpr std::size_t kMaxParameters = 8000;

std::size_t PayloadBytes(const Variant& value) {
    if (value.kind() == Variant::Kind::Text) return value.AsText().size();
    if (value.kind() == Variant::Kind::Binary) return value.AsBytes().size();
    return 0;
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

void InsertBatch::Add(const std::string& table, const std::vector<FieldInfo>& columns, std::vector<bool> assigned,
                      std::vector<Variant> values) {
    if (rows_.empty()) {
        table_ = table;
        columns_ = columns;
        bytes_ = 0;
    }
    for (const Variant& value : values) bytes_ += PayloadBytes(value);
    rows_.push_back(Record{std::move(assigned), std::move(values)});
}

bool InsertBatch::Full() const {
    if (!connection_.MultiRowInsert()) return !rows_.empty();
    return rows_.size() >= kRowsPerBatch || bytes_ >= kMaxBatchBytes;
}

void InsertBatch::Discard() {
    rows_.clear();
    bytes_ = 0;
}

std::size_t InsertBatch::RowsPerStatement(std::size_t first) const {
    std::size_t count = 0, parameters = 0;
    while (first + count < rows_.size() && count < kRowsPerStatement) {
        parameters += rows_[first + count].values.size();
        if (count > 0 && parameters > kMaxParameters) break;
        ++count;
    }
    return count;
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

bool InsertBatch::SendArrays(std::size_t first, std::size_t count) {
    const Record& head = rows_[first];
    const Dialect& dialect = connection_.SqlDialect();
    std::string names, arrays;
    std::vector<std::string> literals;
    for (std::size_t c = 0, k = 0; c < columns_.size(); ++c) {
        if (!head.assigned[c]) continue;
        Variant::Kind kind = Variant::Kind::Null;
        for (std::size_t r = first; r < first + count; ++r) {
            const Variant::Kind valueKind = rows_[r].values[k].kind();
            if (valueKind == Variant::Kind::Null || valueKind == kind) continue;
            if (kind != Variant::Kind::Null) return false;
            kind = valueKind;
        }
        std::string literal = "{";
        for (std::size_t r = first; r < first + count; ++r) {
            if (r > first) literal += ',';
            if (!AppendArrayElement(literal, rows_[r].values[k])) return false;
        }
        literal += '}';
        literals.push_back(std::move(literal));
        names += (names.empty() ? "" : ", ") + QuoteIdentifier(columns_[c].name, dialect);
        arrays += (arrays.empty() ? "?::" : ", ?::") + ArrayElementType(columns_[c], kind) + "[]";
        ++k;
    }
    if (literals.empty()) return false;
    const std::string sql =
        "INSERT INTO " + QuoteIdentifier(table_, dialect) + " (" + names + ") SELECT * FROM unnest(" + arrays + ")";
    if (arraysRefused_.count(sql)) return false;

    auto it = arrayStatements_.find(sql);
    if (it == arrayStatements_.end()) {
        StmtHandle prepared = connection_.NewStatement();
        const std::u16string wide = ToWide(sql);
        if (!Succeeded(
                SQLPrepareW(prepared.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS))) {
            connection_.Recover();
            arraysRefused_.insert(sql);
            return false;
        }
        it = arrayStatements_.emplace(sql, std::move(prepared)).first;
    }
    SQLHSTMT stmt = it->second.get();
    std::vector<Parameter> parameters(literals.size());
    for (std::size_t k = literals.size(); k-- > 0;) {
        Parameter& p = parameters[k];
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLPOINTER pointer = nullptr;
        if (IsAscii(literals[k])) {
            p.chars = std::move(literals[k]);
            p.indicator = static_cast<SQLLEN>(p.chars.size());
            pointer = p.chars.data();
        } else {
            p.text = ToWide(literals[k]);
            p.indicator = static_cast<SQLLEN>(p.text.size() * sizeof(char16_t));
            cType = SQL_C_WCHAR, pointer = p.text.data();
        }
        if (!Succeeded(SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(k + 1), SQL_PARAM_INPUT, cType,
                                        SQL_WLONGVARCHAR, static_cast<SQLULEN>(std::max<SQLLEN>(p.indicator, 1)), 0,
                                        pointer, p.indicator, &p.indicator))) {
            Discard();
            connection_.Fail(SQL_HANDLE_STMT, stmt, "scrittura dei record in '" + table_ + "'");
        }
    }
    if (Succeeded(SQLExecute(stmt))) {
        SQLFreeStmt(stmt, SQL_CLOSE);
        SQLFreeStmt(stmt, SQL_RESET_PARAMS);
        connection_.AfterWrite(static_cast<long>(count));
        return true;
    }
    // Nothing of the statement is saved; one by one, each record either
    // saves or raises the error a single save gives. When they all save,
    // the server could not take these columns as arrays at all.
    SQLFreeStmt(stmt, SQL_CLOSE);
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    connection_.Recover();
    Replay(first, count);
    arraysRefused_.insert(sql);
    arrayStatements_.erase(sql);
    return true;
}

void InsertBatch::Send() {
    std::size_t next = 0;
    while (next < rows_.size()) {
        // The longest stretch of records with the same columns assigned
        // goes as column arrays or as prepared statements, a mixed rest as
        // statements of its own.
        std::size_t same = 1;
        while (next + same < rows_.size() && rows_[next + same].assigned == rows_[next].assigned) ++same;
        if (same > 1 && connection_.MultiRowInsert() && SendArrays(next, same)) {
            next += same;
            continue;
        }
        std::size_t count;
        if (same == rows_.size() - next) {
            count = 1;
            while (count * 2 <= same) count *= 2;
        } else {
            count = rows_.size() - next;
        }
        if (count > RowsPerStatement(next)) {
            count = RowsPerStatement(next);
            if (same >= count) {
                std::size_t whole = 1;
                while (whole * 2 <= count) whole *= 2;
                count = whole;
            }
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
