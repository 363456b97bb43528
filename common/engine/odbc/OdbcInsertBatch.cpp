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

// Set on the threads that send a batch in the background.
thread_local bool sendingThread = false;

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

void InsertBatch::Add(const std::string& table, const std::vector<FieldInfo>& columns, std::vector<bool> assigned,
                      std::vector<Variant> values) {
    if (waiting_.rows.empty()) {
        waiting_.table = table;
        waiting_.columns = columns;
        waiting_.bytes = 0;
    }
    for (const Variant& value : values) waiting_.bytes += PayloadBytes(value);
    waiting_.rows.push_back(Record{std::move(assigned), std::move(values)});
}

bool InsertBatch::Full() const {
    if (!connection_.MultiRowInsert()) return !waiting_.rows.empty();
    return waiting_.rows.size() >= kRowsPerBatch || waiting_.bytes >= kMaxBatchBytes;
}

InsertBatch::~InsertBatch() {
    // Whoever wrote has flushed and heard of a refusal before letting the
    // connection go; a batch still in flight here belongs to a transaction
    // that is rolled back, so its outcome has nobody to go to.
    if (inFlight_.valid()) inFlight_.wait();
}

bool InsertBatch::OnSendingThread() { return sendingThread; }

void InsertBatch::Await() {
    if (!inFlight_.valid()) return;
    std::future<void> inFlight = std::move(inFlight_);
    try {
        inFlight.get();
    } catch (Error& e) {
        if (e.RecordsAfter()) e.SetRecordsAfter(*e.RecordsAfter() + static_cast<long long>(waiting_.rows.size()));
        waiting_ = Batch{};
        throw;
    } catch (...) {
        waiting_ = Batch{};
        throw;
    }
}

void InsertBatch::Discard() {
    if (inFlight_.valid()) inFlight_.wait();
    inFlight_ = {};
    waiting_ = Batch{};
    sending_ = Batch{};
}

void InsertBatch::ReleaseStatements() {
    if (inFlight_.valid()) inFlight_.wait();
    statements_.clear();
    arrayStatements_.clear();
}

bool InsertBatch::TakeWaiting() {
    Await();
    if (waiting_.rows.empty()) return false;
    sending_ = std::move(waiting_);
    waiting_ = Batch{};
    return true;
}

void InsertBatch::Send() {
    if (TakeWaiting()) SendTaken();
}

void InsertBatch::SendInBackground() {
    if (!TakeWaiting()) return;
    try {
        inFlight_ = std::async(std::launch::async, [this] {
            sendingThread = true;
            SendTaken();
        });
    } catch (const std::system_error&) {
        SendTaken();  // no thread to be had: sent here and now
    }
}

std::size_t InsertBatch::RowsPerStatement(std::size_t first) const {
    std::size_t count = 0, parameters = 0;
    while (first + count < sending_.rows.size() && count < kRowsPerStatement) {
        parameters += sending_.rows[first + count].values.size();
        if (count > 0 && parameters > kMaxParameters) break;
        ++count;
    }
    return count;
}

std::string InsertBatch::InsertSql(std::size_t first, std::size_t count) const {
    const Dialect& dialect = connection_.SqlDialect();
    std::vector<bool> named(sending_.columns.size());
    for (std::size_t r = first; r < first + count; ++r)
        for (std::size_t c = 0; c < sending_.columns.size(); ++c)
            if (sending_.rows[r].assigned[c]) named[c] = true;
    std::string sql = "INSERT INTO " + QuoteIdentifier(sending_.table, dialect);
    std::string names;
    for (std::size_t c = 0; c < sending_.columns.size(); ++c)
        if (named[c]) names += (names.empty() ? "" : ", ") + QuoteIdentifier(sending_.columns[c].name, dialect);
    if (names.empty()) return sql + " DEFAULT VALUES";
    sql += " (" + names + ") VALUES ";
    for (std::size_t r = first; r < first + count; ++r) {
        sql += r == first ? "(" : ", (";
        bool firstValue = true;
        for (std::size_t c = 0; c < sending_.columns.size(); ++c) {
            if (!named[c]) continue;
            sql += firstValue ? "" : ", ";
            sql += sending_.rows[r].assigned[c] ? "?" : "DEFAULT";
            firstValue = false;
        }
        sql += ")";
    }
    return sql;
}

SQLHSTMT InsertBatch::Prepared(std::size_t first, std::size_t count) {
    auto key = std::make_tuple(sending_.table, sending_.rows[first].assigned, static_cast<int>(count));
    auto it = statements_.find(key);
    if (it != statements_.end()) return it->second.get();
    StmtHandle stmt = connection_.NewStatement();
    const std::u16string wide = ToWide(InsertSql(first, count));
    if (!Succeeded(SQLPrepareW(stmt.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS)))
        connection_.Fail(SQL_HANDLE_STMT, stmt.get(), "preparazione del salvataggio in '" + sending_.table + "'");
    return statements_.emplace(std::move(key), std::move(stmt)).first->second.get();
}

bool InsertBatch::Execute(std::size_t first, std::size_t count, SQLHSTMT& stmt, StmtHandle& direct) {
    bool uniform = true;
    for (std::size_t r = first + 1; r < first + count && uniform; ++r)
        uniform = sending_.rows[r].assigned == sending_.rows[first].assigned;
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
        for (std::size_t c = 0; c < sending_.columns.size(); ++c)
            if (sending_.rows[r].assigned[c]) slots.push_back({r, c, v++});
    }
    std::vector<Parameter> parameters(slots.size());
    for (std::size_t i = slots.size(); i-- > 0;) {
        const Slot& slot = slots[i];
        if (!Succeeded(BindValue(stmt, static_cast<SQLUSMALLINT>(i + 1), sending_.columns[slot.column],
                                 sending_.rows[slot.row].values[slot.value], parameters[i]))) {
            const std::string what = "scrittura del campo '" + sending_.columns[slot.column].name + "' in '" + sending_.table + "'";
            sending_ = Batch{};
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

void InsertBatch::ThrowRefusal(SQLHSTMT stmt, std::size_t refused) {
    const Diagnostic d = ReadDiagnostic(SQL_HANDLE_STMT, stmt, connection_.Password());
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    const std::string table = std::move(sending_.table);
    const auto after = static_cast<long long>(sending_.rows.size() - refused - 1);
    sending_ = Batch{};
    connection_.CommitAfterError();
    const int number = EngineNumberFor(d.sqlState, d.message);
    std::string description = msg::CannotSaveRecord(table);
    if (number == err::DuplicateKey) description += ": un valore duplicato violerebbe un indice univoco.";
    else if (number == err::NullInRequired) description += ": un campo obbligatorio è Null.";
    else description += ".";
    Error error(number, description + " " + d.message, "ODBC", d.sqlState + " " + d.message);
    error.SetRecordsAfter(after);
    throw error;
}

void InsertBatch::Replay(std::size_t first, std::size_t count) {
    for (std::size_t r = first; r < first + count; ++r) {
        SQLHSTMT stmt = SQL_NULL_HANDLE;
        StmtHandle direct;
        if (!Execute(r, 1, stmt, direct)) ThrowRefusal(stmt, r);
    }
}

void InsertBatch::SendRun(std::size_t first, std::size_t count) {
    SQLHSTMT stmt = SQL_NULL_HANDLE;
    StmtHandle direct;
    if (Execute(first, count, stmt, direct)) return;
    if (count == 1) ThrowRefusal(stmt, first);
    // The server refused one of these records and saved none of them: back
    // to the state after the last saved record, then each one on its own.
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    connection_.Recover();
    Replay(first, count);
}

bool InsertBatch::SendArrays(std::size_t first, std::size_t count) {
    const Record& head = sending_.rows[first];
    const Dialect& dialect = connection_.SqlDialect();
    std::string names, arrays;
    std::vector<std::string> literals;
    for (std::size_t c = 0, k = 0; c < sending_.columns.size(); ++c) {
        if (!head.assigned[c]) continue;
        Variant::Kind kind = Variant::Kind::Null;
        for (std::size_t r = first; r < first + count; ++r) {
            const Variant::Kind valueKind = sending_.rows[r].values[k].kind();
            if (valueKind == Variant::Kind::Null || valueKind == kind) continue;
            if (kind != Variant::Kind::Null) return false;
            kind = valueKind;
        }
        std::string literal = "{";
        for (std::size_t r = first; r < first + count; ++r) {
            if (r > first) literal += ',';
            if (!AppendArrayElement(literal, sending_.rows[r].values[k])) return false;
        }
        literal += '}';
        literals.push_back(std::move(literal));
        names += (names.empty() ? "" : ", ") + QuoteIdentifier(sending_.columns[c].name, dialect);
        arrays += (arrays.empty() ? "?::" : ", ?::") + ArrayElementType(sending_.columns[c], kind) + "[]";
        ++k;
    }
    if (literals.empty()) return false;
    const std::string sql =
        "INSERT INTO " + QuoteIdentifier(sending_.table, dialect) + " (" + names + ") SELECT * FROM unnest(" + arrays + ")";
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
            const std::string what = "scrittura dei record in '" + sending_.table + "'";
            sending_ = Batch{};
            connection_.Fail(SQL_HANDLE_STMT, stmt, what);
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

void InsertBatch::SendTaken() {
    std::size_t next = 0;
    while (next < sending_.rows.size()) {
        // The longest stretch of records with the same columns assigned
        // goes as column arrays or as prepared statements, a mixed rest as
        // statements of its own.
        std::size_t same = 1;
        while (next + same < sending_.rows.size() && sending_.rows[next + same].assigned == sending_.rows[next].assigned) ++same;
        if (same > 1 && connection_.MultiRowInsert() && SendArrays(next, same)) {
            next += same;
            continue;
        }
        std::size_t count;
        if (same == sending_.rows.size() - next) {
            count = 1;
            while (count * 2 <= same) count *= 2;
        } else {
            count = sending_.rows.size() - next;
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
        if (std::none_of(sending_.rows[next].assigned.begin(), sending_.rows[next].assigned.end(), [](bool a) { return a; }))
            count = 1;
        SendRun(next, count);
        next += count;
    }
    sending_ = Batch{};
}

}  // namespace core::odbc
