#include "common/engine/odbc/OdbcConnection.h"

#include <algorithm>

#include "common/engine/Error.h"
#include "common/engine/SimpleSql.h"
#include "common/engine/odbc/OdbcCursor.h"
#include "common/engine/odbc/OdbcDefaults.h"
#include "common/engine/odbc/OdbcTypes.h"
#include "common/text/AsciiText.h"

namespace core::odbc {

namespace {

// Commits after this many saved records, to keep the server's transaction
// (and what a failure could put at risk) bounded.
constexpr long kWritesPerCommit = 20000;

// Rows that a table scan asks of the server at a time.
constexpr int kRowsPerBlock = 1000;

std::string GetInfoText(SQLHDBC dbc, SQLUSMALLINT info) {
    SQLWCHAR buffer[256] = {};
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLGetInfoW(dbc, info, buffer, sizeof buffer, &length))) return {};
    return FromWide(buffer, std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)) / 2, 255));
}

// The server and database a connect string names, for messages.
std::string DescribeTarget(const std::string& connectString) {
    std::string described;
    std::size_t start = 0;
    while (start < connectString.size()) {
        std::size_t end = connectString.find(';', start);
        if (end == std::string::npos) end = connectString.size();
        const std::string segment = connectString.substr(start, end - start);
        const std::string key = text::AsciiLower(segment.substr(0, segment.find('=')));
        if (key == "dsn" || key == "server" || key == "database" || key == "filedsn" || key == "servername") {
            if (!described.empty()) described += ";";
            described += segment;
        }
        start = end + 1;
    }
    return described.empty() ? "origine dati ODBC" : described;
}

}  // namespace

OdbcConnection::OdbcConnection(const std::string& connectString, const std::string& password, bool readOnly)
    : password_(password), name_(DescribeTarget(connectString)), readOnly_(readOnly) {
    SQLHANDLE env = SQL_NULL_HANDLE;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        throw Error(err::ServerError, "Impossibile inizializzare ODBC.");
    env_ = EnvHandle(env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    Connect(connectString);
    const std::string dbms = text::AsciiLower(GetInfoText(dbc_.get(), SQL_DBMS_NAME));
    if (dbms.find("postgres") != std::string::npos) {
        postgres_ = true;
        // psqlODBC reports booleans as text and cuts long texts at 8190
        // characters unless told otherwise; these options give the
        // engine's behaviour. It is also told to leave the transaction
        // alone after an error (its own statement-level rollback costs a
        // savepoint round trip before every statement): the connection
        // sets one savepoint after each write instead and returns to it.
        if (text::AsciiLower(connectString).find("boolsaschar") == std::string::npos) {
            dbc_.Reset();
            Connect(connectString + (connectString.empty() || connectString.back() == ';' ? "" : ";") +
                    "BoolsAsChar=0;MaxLongVarcharSize=1073741823;TextAsLongVarchar=1;UnknownsAsLongVarchar=1;"
                    "Protocol=7.4-0;ByteaAsLongVarBinary=1");
        }
    }
    const std::string quote = GetInfoText(dbc_.get(), SQL_IDENTIFIER_QUOTE_CHAR);
    dialect_.quote = quote.empty() ? "\"" : quote;
    const std::string lowerDbms = dbms;
    dialect_.concat = (lowerDbms.find("sql server") != std::string::npos || lowerDbms.find("access") != std::string::npos)
                          ? "+"
                          : "||";
    SQLSetConnectAttr(dbc_.get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
}

void OdbcConnection::Connect(const std::string& connectString) {
    connectString_ = connectString;
    dbc_ = Open(connectString);
}

DbcHandle OdbcConnection::Open(const std::string& connectString) {
    SQLHANDLE dbc = SQL_NULL_HANDLE;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env_.get(), &dbc)))
        throw Error(err::ServerError, "Impossibile inizializzare la connessione ODBC.");
    DbcHandle handle(dbc);
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    const std::u16string wide = ToWide(connectString);
    SQLWCHAR out[1024];
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())),
                                           static_cast<SQLSMALLINT>(wide.size()), out, 1024, &outLength,
                                           SQL_DRIVER_NOPROMPT);
    if (!Succeeded(rc)) ThrowDiagnostic(SQL_HANDLE_DBC, dbc, "connessione a " + name_, password_);
    return handle;
}

StmtHandle OdbcConnection::NewScanStatement() {
    if (scan_.get() == SQL_NULL_HANDLE) {
        // The driver's own cursor on the server, read in blocks of rows.
        scan_ = Open(connectString_ + ";UseDeclareFetch=1;Fetch=" + std::to_string(kRowsPerBlock));
        SQLSetConnectAttr(scan_.get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    }
    SQLHANDLE stmt = SQL_NULL_HANDLE;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, scan_.get(), &stmt)))
        ThrowDiagnostic(SQL_HANDLE_DBC, scan_.get(), "preparazione di un'istruzione", password_);
    return StmtHandle(stmt);
}

StmtHandle OdbcConnection::BeginScan() {
    if (!postgres_) return NewStatement();
    StmtHandle stmt = NewScanStatement();
    ++openScans_;
    return stmt;
}

void OdbcConnection::EndScan() {
    if (postgres_) ScanClosed();
}

void OdbcConnection::ScanClosed() {
    // The last open scan ends the reading transaction, so that the server
    // keeps no old snapshot for a connection that only waits.
    if (--openScans_ == 0 && scan_.get() != SQL_NULL_HANDLE) SQLEndTran(SQL_HANDLE_DBC, scan_.get(), SQL_ROLLBACK);
}

std::unique_ptr<Cursor> OdbcConnection::OpenScan(const std::string& table) {
    // A missing table is reported here, not by a failure on the scan
    // connection, which would end the scans open there with it.
    TableColumns(table);
    // The scan sees what is committed: what this connection saved is
    // committed first.
    CommitBeforeScan();
    StmtHandle count = NewScanStatement();
    ++openScans_;
    const std::string name = QuoteIdentifier(table, dialect_);
    const std::u16string countSql = ToWide("SELECT COUNT(*) FROM " + name);
    long long rows = -1;
    if (Succeeded(SQLExecDirectW(count.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(countSql.c_str())),
                                 SQL_NTS)) &&
        Succeeded(SQLFetch(count.get()))) {
        SQLBIGINT n = 0;
        SQLLEN indicator = 0;
        if (Succeeded(SQLGetData(count.get(), 1, SQL_C_SBIGINT, &n, sizeof n, &indicator)) && indicator != SQL_NULL_DATA)
            rows = n;
    }
    count.Reset();
    StmtHandle stmt = NewScanStatement();
    const std::u16string wide = ToWide("SELECT * FROM " + name);
    if (!Succeeded(SQLExecDirectW(stmt.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS))) {
        try {
            ThrowDiagnostic(SQL_HANDLE_STMT, stmt.get(), "apertura della tabella '" + table + "'", password_);
        } catch (const Error&) {
            stmt.Reset();
            ScanClosed();
            throw;
        }
    }
    std::vector<FieldInfo> columns = DescribeColumns(stmt.get());
    auto closed = [this](StmtHandle done) {
        done.Reset();
        ScanClosed();
    };
    try {
        auto cursor = std::make_unique<OdbcCursor>(*this, std::move(stmt), std::move(columns), table, closed);
        cursor->SetRowCount(rows);
        return cursor;
    } catch (const Error&) {
        ScanClosed();  // the first fetch failed: no cursor gives the statement back
        throw;
    }
}

OdbcConnection::~OdbcConnection() {
    // Whoever wrote has committed (and heard of a failure) before letting
    // go; nothing is committed where nobody could be told it failed.
    pending_.Discard();
    pending_.ReleaseStatements();
    lookups_.clear();
    control_.Reset();
    if (scan_.get() != SQL_NULL_HANDLE) {
        SQLEndTran(SQL_HANDLE_DBC, scan_.get(), SQL_ROLLBACK);
        SQLDisconnect(scan_.get());
    }
    if (pendingWrites_ > 0 && dbc_.get() != SQL_NULL_HANDLE) SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
    if (dbc_.get() != SQL_NULL_HANDLE) SQLDisconnect(dbc_.get());
}

void OdbcConnection::Commit() {
    AwaitSending();
    if (pendingWrites_ == 0 || dbc_.get() == SQL_NULL_HANDLE) return;
    pendingWrites_ = 0;
    savepoint_ = false;
    if (!Succeeded(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_COMMIT))) {
        try {
            ThrowDiagnostic(SQL_HANDLE_DBC, dbc_.get(), "salvataggio delle modifiche", password_);
        } catch (const Error& e) {
            SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
            throw Error(e.Number(),
                        e.Description() +
                            " Le modifiche non ancora salvate definitivamente nel database sono state annullate.",
                        e.Source(), e.NativeText(), true);
        }
    }
}

void OdbcConnection::Flush() {
    SendPending();
    Commit();
    images_.Committed();
}

void OdbcConnection::CommitBeforeScan() {
    SendPending();
    Commit();
}

void OdbcConnection::SendPending() {
    pending_.Send();
}

const std::vector<std::optional<Variant>>& OdbcConnection::Fillers(const std::string& table,
                                                                    const std::vector<FieldInfo>& columns) {
    auto it = fillers_.find(table);
    if (it != fillers_.end() && it->second.size() == columns.size()) return it->second;
    std::vector<std::optional<Variant>> fillers(columns.size());
    if (postgres_) {
        StmtHandle stmt = NewStatement();
        const std::u16string wide = ToWide(
            "SELECT a.attname::text, coalesce(pg_get_expr(d.adbin, d.adrelid), ''), "
            "a.attidentity::text || a.attgenerated::text FROM pg_attribute a LEFT JOIN pg_attrdef d "
            "ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
            "WHERE a.attrelid = to_regclass(?) AND a.attnum > 0 AND NOT a.attisdropped");
        FieldInfo text;
        text.type = DataType::Memo;
        Parameter parameter;
        const Variant name(QuoteIdentifier(table, dialect_));
        if (Succeeded(BindValue(stmt.get(), 1, text, name, parameter)) &&
            Succeeded(SQLExecDirectW(stmt.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())),
                                     SQL_NTS))) {
            while (Succeeded(SQLFetch(stmt.get()))) {
                const Variant column = ReadValue(stmt.get(), 1, text, password_);
                const Variant expression = ReadValue(stmt.get(), 2, text, password_);
                const Variant kind = ReadValue(stmt.get(), 3, text, password_);
                if (!column.IsText() || !expression.IsText() || !kind.IsText() || !kind.AsText().empty()) continue;
                for (std::size_t i = 0; i < columns.size(); ++i)
                    if (columns[i].name == column.AsText()) fillers[i] = FixedDefault(expression.AsText(), columns[i]);
            }
        } else {
            Recover();  // the records are then saved with their columns as given
        }
    }
    return fillers_[table] = std::move(fillers);
}

void OdbcConnection::QueueInsert(const std::string& table, const std::vector<FieldInfo>& columns,
                                 const std::vector<std::optional<Variant>>& values) {
    // Unassigned columns whose default is a fixed value get that value, so
    // that records assigning different columns still share a statement.
    const std::vector<std::optional<Variant>>& fillers = Fillers(table, columns);
    std::vector<bool> assigned(columns.size());
    std::vector<Variant> given;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::optional<Variant>& value = values[i] ? values[i] : fillers[i];
        if (!value) continue;
        assigned[i] = true;
        given.push_back(*value);
    }
    if (!pending_.Accepts(table)) SendPending();
    images_.Written(table);
    pending_.Add(table, columns, std::move(assigned), std::move(given));
    if (!pending_.Full()) return;
    if (postgres_) pending_.SendInBackground();
    else SendPending();
}

bool OdbcConnection::Control(const char* sql) {
    AwaitSending();
    if (control_.get() == SQL_NULL_HANDLE) control_ = NewStatement();
    const std::u16string wide = ToWide(sql);
    const SQLRETURN rc =
        SQLExecDirectW(control_.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS);
    SQLFreeStmt(control_.get(), SQL_CLOSE);
    return Succeeded(rc) || rc == SQL_NO_DATA;
}

void OdbcConnection::AfterWrite(long rows) {
    pendingWrites_ += rows;
    if (pendingWrites_ >= kWritesPerCommit) {
        Commit();
        return;
    }
    if (!postgres_) return;
    // Released before it is set again, so that the server keeps one.
    savepoint_ = Control(savepoint_ ? "RELEASE SAVEPOINT agency_saved; SAVEPOINT agency_saved"
                                    : "SAVEPOINT agency_saved");
}

void OdbcConnection::Recover() {
    AwaitSending();
    if (!postgres_ || dbc_.get() == SQL_NULL_HANDLE) return;
    if (savepoint_ && Control("ROLLBACK TO SAVEPOINT agency_saved")) return;
    if (pendingWrites_ == 0) SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
}

void OdbcConnection::Fail(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& what) {
    try {
        ThrowDiagnostic(handleType, handle, what, password_);
    } catch (const Error&) {
        Recover();
        throw;
    }
}

void OdbcConnection::CommitAfterError() {
    // Back to the last saved record; the failed statement changed nothing.
    // A commit that fails here raises its own error, which then stands for
    // both: the records since the last commit are gone.
    Recover();
    if (pendingWrites_ == 0) pendingWrites_ = 1;
    Commit();
}

void OdbcConnection::AwaitSending() {
    if (!InsertBatch::OnSendingThread()) pending_.Await();
}

StmtHandle OdbcConnection::NewStatement() {
    AwaitSending();
    SQLHANDLE stmt = SQL_NULL_HANDLE;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, dbc_.get(), &stmt)))
        ThrowDiagnostic(SQL_HANDLE_DBC, dbc_.get(), "preparazione di un'istruzione", password_);
    return StmtHandle(stmt);
}

std::vector<std::string> OdbcConnection::TableNames() {
    StmtHandle stmt = NewStatement();
    const std::u16string type = u"TABLE";
    if (!Succeeded(SQLTablesW(stmt.get(), nullptr, 0, nullptr, 0, nullptr, 0,
                              reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(type.c_str())), SQL_NTS)))
        Fail(SQL_HANDLE_STMT, stmt.get(), "elenco delle tabelle");
    std::vector<std::string> names;
    while (Succeeded(SQLFetch(stmt.get()))) {
        SQLWCHAR name[512];
        SQLLEN length = 0;
        if (Succeeded(SQLGetData(stmt.get(), 3, SQL_C_WCHAR, name, sizeof name, &length)) && length > 0)
            names.push_back(FromWide(name, std::min<std::size_t>(static_cast<std::size_t>(length) / sizeof(SQLWCHAR), 511)));
    }
    return names;
}

const std::vector<FieldInfo>& OdbcConnection::TableColumns(const std::string& table) {
    auto it = columnCache_.find(table);
    if (it != columnCache_.end()) return it->second;
    // A query that returns no row describes the columns the way a SELECT does.
    StmtHandle stmt = NewStatement();
    const std::string sql = "SELECT * FROM " + QuoteIdentifier(table, dialect_) + " WHERE 1=0";
    const std::u16string wide = ToWide(sql);
    if (!Succeeded(SQLExecDirectW(stmt.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS)))
        Fail(SQL_HANDLE_STMT, stmt.get(), "apertura della tabella '" + table + "'");
    return columnCache_.emplace(table, DescribeColumns(stmt.get())).first->second;
}

std::vector<std::string> OdbcConnection::PrimaryKey(const std::string& table) {
    StmtHandle stmt = NewStatement();
    const std::u16string wide = ToWide(table);
    std::vector<std::string> keys;
    if (!Succeeded(SQLPrimaryKeysW(stmt.get(), nullptr, 0, nullptr, 0,
                                   reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS)))
        return keys;
    while (Succeeded(SQLFetch(stmt.get()))) {
        SQLWCHAR name[512];
        SQLLEN length = 0;
        if (Succeeded(SQLGetData(stmt.get(), 4, SQL_C_WCHAR, name, sizeof name, &length)) && length > 0)
            keys.push_back(FromWide(name, std::min<std::size_t>(static_cast<std::size_t>(length) / sizeof(SQLWCHAR), 511)));
    }
    return keys;
}

std::string OdbcConnection::Translate(const std::string& sql, const std::string& table) {
    if (table.empty()) return TranslateSql(sql, dialect_);
    const std::vector<FieldInfo>* columns = nullptr;
    try {
        columns = &TableColumns(table);
    } catch (const Error&) {
        // The statement itself will report the missing table.
    }
    return TranslateSql(sql, dialect_, [columns](std::string_view name) {
        if (!columns) return false;
        for (const auto& column : *columns) {
            if (text::AsciiLower(column.name) == text::AsciiLower(name))
                return column.type == DataType::Text || column.type == DataType::Memo || column.type == DataType::Char;
        }
        return false;
    });
}

std::unique_ptr<Cursor> OdbcConnection::OpenCursor(const std::string& sql) {
    auto select = ParseSimpleSelect(sql);
    if (select && select->whereField) return OpenLookup(select->table, *select->whereField, select->whereValue);
    if (select && postgres_) return OpenScan(select->table);
    SendPending();
    const std::string table = select ? select->table : std::string();
    StmtHandle stmt = NewStatement();
    const std::u16string wide = ToWide(Translate(sql, table));
    if (!Succeeded(SQLExecDirectW(stmt.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS)))
        Fail(SQL_HANDLE_STMT, stmt.get(), table.empty() ? "esecuzione della query" : "apertura della tabella '" + table + "'");
    std::vector<FieldInfo> columns = DescribeColumns(stmt.get());
    return std::make_unique<OdbcCursor>(*this, std::move(stmt), std::move(columns), table);
}

OdbcConnection::LookupStatement OdbcConnection::TakeLookup(const LookupKey& key) {
    auto& free = lookups_[key];
    if (!free.empty()) {
        LookupStatement statement = std::move(free.back());
        free.pop_back();
        return statement;
    }
    LookupStatement statement{NewStatement(), {}};
    const std::u16string wide = ToWide("SELECT * FROM " + QuoteIdentifier(key.first, dialect_) + " WHERE " +
                                       QuoteIdentifier(key.second, dialect_) + " = ?");
    if (!Succeeded(SQLPrepareW(statement.stmt.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())),
                               SQL_NTS)))
        Fail(SQL_HANDLE_STMT, statement.stmt.get(), "apertura della tabella '" + key.first + "'");
    return statement;
}

std::unique_ptr<Cursor> OdbcConnection::OpenLookup(const std::string& table, const std::string& field,
                                                   const std::string& code) {
    if (auto answer = images_.Find(table, field, code))
        return std::make_unique<AnsweredCursor>(*this, table, std::move(*answer));
    // Records waiting for this table must be there for the server to find.
    if (!pending_.Empty() && pending_.Table() == table) SendPending();
    AwaitSending();
    const LookupKey key{table, field};
    LookupStatement statement = TakeLookup(key);
    FieldInfo text;
    text.type = DataType::Text;
    Parameter parameter;
    const Variant value(code);
    if (!Succeeded(BindValue(statement.stmt.get(), 1, text, value, parameter)) ||
        !Succeeded(SQLExecute(statement.stmt.get())))
        Fail(SQL_HANDLE_STMT, statement.stmt.get(), "apertura della tabella '" + table + "'");
    if (statement.columns.empty()) statement.columns = DescribeColumns(statement.stmt.get());
    std::vector<FieldInfo> columns = statement.columns;
    auto giveBack = [this, key, columns](StmtHandle stmt) {
        lookups_[key].push_back(LookupStatement{std::move(stmt), columns});
    };
    auto cursor =
        std::make_unique<OdbcCursor>(*this, std::move(statement.stmt), std::move(columns), table, giveBack, true);
    images_.Remember(table, field, code, cursor->AtEnd() ? nullptr : &cursor->Row());
    return cursor;
}

void OdbcConnection::DeleteRow(const std::string& table, const std::vector<FieldInfo>& columns,
                               const std::vector<Variant>& row) {
    SendPending();
    images_.Written(table);
    const std::vector<std::string> keys = PrimaryKey(table);
    if (keys.empty())
        throw Error(err::ReadOnlyDatabase,
                    "Impossibile eliminare il record: la tabella '" + table + "' non ha una chiave primaria.");
    std::string where;
    std::vector<std::size_t> positions;
    for (const auto& key : keys) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name != key) continue;
            where += where.empty() ? " WHERE " : " AND ";
            where += QuoteIdentifier(key, dialect_) + " = ?";
            positions.push_back(i);
        }
    }
    if (positions.size() != keys.size())
        throw Error(err::ReadOnlyDatabase, "Impossibile eliminare il record di '" + table + "': chiave non letta.");
    StmtHandle stmt = NewStatement();
    const std::u16string wide = ToWide("DELETE FROM " + QuoteIdentifier(table, dialect_) + where);
    if (!Succeeded(SQLPrepareW(stmt.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS)))
        Fail(SQL_HANDLE_STMT, stmt.get(), "eliminazione da '" + table + "'");
    std::vector<Parameter> parameters(positions.size());
    for (std::size_t k = 0; k < positions.size(); ++k) {
        if (!Succeeded(BindValue(stmt.get(), static_cast<SQLUSMALLINT>(k + 1), columns[positions[k]], row[positions[k]],
                                 parameters[k])))
            Fail(SQL_HANDLE_STMT, stmt.get(), "scrittura del campo '" + columns[positions[k]].name + "' in '" + table + "'");
    }
    const SQLRETURN rc = SQLExecute(stmt.get());
    if (rc != SQL_NO_DATA && !Succeeded(rc)) {
        CommitAfterError();
        ThrowDiagnostic(SQL_HANDLE_STMT, stmt.get(), "eliminazione da '" + table + "'", password_);
    }
    AfterWrite(1);
}

long long OdbcConnection::Execute(const std::string& sql) {
    if (readOnly_) ThrowReadOnly(name_);
    // The table an action statement works on, to tell text columns apart.
    std::string table;
    {
        const std::size_t open = sql.find('[');
        const std::size_t close = open == std::string::npos ? open : sql.find(']', open);
        if (open != std::string::npos && close != std::string::npos) table = sql.substr(open + 1, close - open - 1);
    }
    SendPending();
    images_.DropAll();
    if (!table.empty()) images_.Written(table);
    StmtHandle stmt = NewStatement();
    const std::u16string wide = ToWide(Translate(sql, table));
    const SQLRETURN rc =
        SQLExecDirectW(stmt.get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS);
    if (rc != SQL_NO_DATA && !Succeeded(rc)) {
        CommitAfterError();
        ThrowDiagnostic(SQL_HANDLE_STMT, stmt.get(), "esecuzione di '" + sql + "'", password_);
    }
    SQLLEN affected = 0;
    if (rc != SQL_NO_DATA) SQLRowCount(stmt.get(), &affected);
    AfterWrite(1);
    return affected < 0 ? 0 : affected;
}

}  // namespace core::odbc
