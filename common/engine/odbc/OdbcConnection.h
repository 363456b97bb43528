#pragma once
// A connection to a server database through unixODBC, in manual-commit
// mode: saved records are committed in implicit transactions, like the
// file databases, at the latest on Flush, on close and when an error is
// raised. Saved records wait in a batch (OdbcInsertBatch.h) until the
// batch is full (it then goes to the server on a thread of its own) or
// anything else is asked of the server that could see them; look-ups by code are prepared once per table and field and, for
// the tables this connection fills, answered from a copy where the copy
// gives the server's answer (OdbcTableImages.h).

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/odbc/OdbcApi.h"
#include "common/engine/odbc/OdbcDialect.h"
#include "common/engine/odbc/OdbcInsertBatch.h"
#include "common/engine/odbc/OdbcTableImages.h"

namespace core::odbc {

class OdbcConnection : public Connection, public std::enable_shared_from_this<OdbcConnection> {
public:
    // connectString: the ODBC part of the connect text ("DSN=..;UID=..;PWD=..").
    OdbcConnection(const std::string& connectString, const std::string& password, bool readOnly);
    ~OdbcConnection() override;

    std::vector<std::string> TableNames() override;
    std::unique_ptr<Cursor> OpenCursor(const std::string& sql) override;
    long long Execute(const std::string& sql) override;
    void Flush() override;
    bool ReadOnly() const override { return readOnly_; }
    // Whether the server takes several records in one INSERT (PostgreSQL);
    // other servers get one statement per record.
    bool MultiRowInsert() const { return postgres_; }
    std::string Name() const override { return name_; }

    // Used by the cursors.
    SQLHDBC Dbc() const { return dbc_.get(); }
    const Dialect& SqlDialect() const { return dialect_; }
    const std::string& Password() const { return password_; }
    std::string Translate(const std::string& sql, const std::string& table);
    // The columns of a table as the server describes them (cached).
    const std::vector<FieldInfo>& TableColumns(const std::string& table);
    std::vector<std::string> PrimaryKey(const std::string& table);
    StmtHandle NewStatement();
    // A statement for reading a whole result in blocks (a second connection
    // that sees what is committed: the caller commits first), and the end
    // of its use. Without block cursors (servers other than PostgreSQL),
    // a statement of this connection.
    StmtHandle BeginScan();
    // Commits what was saved, so that a scan sees it; the copies of
    // tables stay (Flush, the commit the programs ask for, renews them).
    void CommitBeforeScan();
    void EndScan();
    // A write statement has saved or changed `rows` records: keeps the
    // implicit transaction's bookkeeping and marks the point that a later
    // failure returns to.
    void AfterWrite(long rows);
    // After a failed statement: back to the state after the last
    // successful write (the server refuses everything in a transaction
    // after an error until then).
    void Recover();
    // After a failed write: commits what was saved before it, so that an
    // error never takes earlier records with it.
    void CommitAfterError();
    // Raises the engine error for a failed call, after Recover.
    [[noreturn]] void Fail(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& what);
    // A new record for table (one entry per column, std::nullopt for the
    // unassigned ones); it joins the waiting batch.
    void QueueInsert(const std::string& table, const std::vector<FieldInfo>& columns,
                     const std::vector<std::optional<Variant>>& values);
    // Deletes the row (as read) of table by its primary key.
    void DeleteRow(const std::string& table, const std::vector<FieldInfo>& columns, const std::vector<Variant>& row);
    // Sends the records waiting in the batch; raises a refusal (see
    // OdbcInsertBatch.h).
    void SendPending();

private:
    struct LookupStatement {
        StmtHandle stmt;
        std::vector<FieldInfo> columns;
    };
    using LookupKey = std::pair<std::string, std::string>;  // table, field

    void Connect(const std::string& connectString);
    DbcHandle Open(const std::string& connectString);
    // A whole table, read through a second connection of the driver's
    // block cursors (psqlODBC otherwise reads a whole result into memory
    // when the statement runs).
    std::unique_ptr<Cursor> OpenScan(const std::string& table);
    StmtHandle NewScanStatement();
    void ScanClosed();
    // Waits for the batch a thread of its own is sending, unless called by
    // that thread; raises its refusal.
    void AwaitSending();
    void Commit();
    bool Control(const char* sql);
    // Per column of table (in the order of `columns`): the value the server
    // gives it when a new record leaves it unassigned, where that is fixed.
    const std::vector<std::optional<Variant>>& Fillers(const std::string& table, const std::vector<FieldInfo>& columns);
    std::unique_ptr<Cursor> OpenLookup(const std::string& table, const std::string& field, const std::string& code);
    LookupStatement TakeLookup(const LookupKey& key);

    EnvHandle env_;
    DbcHandle dbc_;
    std::string connectString_;  // as the driver was connected
    DbcHandle scan_;             // for table scans, opened when first needed
    int openScans_ = 0;
    std::string password_;
    std::string name_;
    bool readOnly_;
    Dialect dialect_;
    bool postgres_ = false;
    long pendingWrites_ = 0;
    bool savepoint_ = false;  // "agency_saved" marks the last successful write
    StmtHandle control_;
    std::map<std::string, std::vector<FieldInfo>> columnCache_;
    std::map<LookupKey, std::vector<LookupStatement>> lookups_;
    std::map<std::string, std::vector<std::optional<Variant>>> fillers_;  // prepared, free for use
    InsertBatch pending_{*this};
    TableImages images_{*this};
};

}  // namespace core::odbc
