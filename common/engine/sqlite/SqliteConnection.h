#pragma once
// One open SQLite (SQLCipher) database. Every data control and database of
// the program that works on the same file shares one of these (see
// Engine.h), so whatever one of them saves, the others read at once.
//
// Writes go into one implicit transaction that begins with the first write
// and is committed by Flush() (closing or refreshing a recordset that wrote,
// closing a database, before every message the user sees), when a write
// fails (what was saved before the failure is kept) and every kCommitEvery
// writes, so that the journal stays bounded. Every commit raises its
// failure; none happens in a destructor, where nobody could be told: a
// connection destroyed with writes still open rolls them back.
//
// SQLite itself rolls the whole open transaction back on a full disk, an
// I/O error or lack of memory; a COMMIT that fails (the file held by
// another program) is rolled back here. Either way the writes since the
// last commit are gone, and the error that says so carries
// Error::UncommittedLost(), so that a run recounts what its destination
// really holds instead of trusting its own count.
//
// With batched saves (SetBatchedSaves, SqliteSaveBatch.h), saved records
// wait and reach the database several at a time; every call that could see
// them or change what they meet saves them first.
//
// Journal: the rollback journal (journal_mode=DELETE), not WAL. With the
// writes batched in transactions WAL gains nothing measurable, and a WAL
// database keeps recent commits in a separate -wal file: the upgrade
// program renames database files, and a -wal left beside the old name would
// silently lose those commits or attach them to the wrong file. A rollback
// journal exists only while a transaction is open and we never leave one
// open past the connection.

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/sqlite/SqlDialect.h"
#include "common/engine/sqlite/SqliteErrors.h"
#include "common/engine/sqlite/SqliteHandles.h"
#include "common/engine/sqlite/SqliteCursor.h"
#include "common/engine/sqlite/SqliteSaveBatch.h"

namespace core::sqlite {

// Every encrypted database is read and written with the settings of
// SQLCipher 3 (1,024-byte pages, PBKDF2-HMAC-SHA1 with 64,000 iterations,
// per-page HMAC-SHA1): the files the served application and the earlier
// versions of these programs wrote have them, and SQLCipher 4 defaults
// differ. kCipherCompatibility selects them; ApplyKey checks that they took.
extern const char* const kCipherCompatibility;

// Applies the key (UTF-8 text, as PRAGMA key = '...' takes it) and the
// cipher settings to a freshly opened handle; an empty key leaves the
// database unencrypted. schema is "main" or the name of an attached
// database. Raises when the library refuses the key or a setting does not
// take effect (a SQLCipher build without these settings).
void ApplyKey(sqlite3* db, const std::string& key, const std::string& schema = "main");

// Opens an existing database file with the checks of the engine: missing
// file 3024, folder 3044, unreadable 3051, empty or not a database 3343,
// wrong or missing password of an encrypted file 3031. flags are
// sqlite3_open_v2's; a plain file ignores the password.
DbHandle OpenDatabaseFile(const std::string& path, const std::string& password, int flags);

struct ColumnDecl {
    std::string name;
    std::string declaredType;
};

class SqliteConnection : public Connection,
                         public std::enable_shared_from_this<SqliteConnection> {
public:
    static constexpr int kCommitEvery = 20000;

    static std::shared_ptr<SqliteConnection> Open(const OpenRequest& request);
    ~SqliteConnection() override;

    std::vector<std::string> TableNames() override;
    std::unique_ptr<Cursor> OpenCursor(const std::string& sql) override;
    long long Execute(const std::string& sql) override;
    void Flush() override;
    void SetBulkLoad(bool on) override { bulkLoad_ = on; }
    // Records saved while on wait in a batch (SqliteSaveBatch.h); turned
    // off, the ones waiting are saved before anything else is done.
    void SetBatchedSaves(bool on) override { batchedSaves_ = on; }
    bool ReadOnly() const override;
    // PRAGMA quick_check on the table (SqliteVerify.cpp): 3049 when a page
    // of it is damaged, 3078 for a table that does not exist.
    void Verify(const std::string& table) override;
    std::string Name() const override { return path_; }
    // ATTACHes the source's file (SqliteTransfer.cpp); nullptr when source
    // is no SQLite database or a transaction is open.
    std::unique_ptr<TableTransfer> OpenTransfer(Connection& source, const std::string& password) override;

    // For cursors.
    sqlite3* Db() const { return db_.get(); }
    // The fields of a prepared SELECT, after the first offset columns, as
    // a cursor over it describes them.
    std::vector<FieldInfo> DescribeColumns(sqlite3_stmt* stmt, int offset);
    // Prepares a statement already in SQLite's dialect; raises on failure.
    StmtHandle Prepare(const std::string& sql, const std::string& table);
    // Around every write: opens the implicit transaction, and afterwards
    // counts the write and commits when the batch is full.
    void BeginWrite(const std::string& table);
    void EndWrite(int writes = 1);

    // Batched saves (SqliteSaveBatch.h). QueueSave takes one record whose
    // values SQLite can store, and takes them over only when it raises
    // nothing; what it raises counts this record among the ones after a
    // refused record.
    bool BatchesSaves() const { return batchedSaves_; }
    void QueueSave(const std::string& table, std::shared_ptr<const std::vector<FieldInfo>> columns,
                   std::vector<std::optional<Variant>>&& values);
    // Saves every record waiting, raising a refusal among them: before
    // anything that could see them or change what they meet.
    void SendSaves() {
        if (!SaveBatch::OnSendingThread()) batch_.Send();
    }
    // The same before a record that is not saved (it failed a check): a
    // refusal counts it among the records after the refused one.
    void SendSavesBeforeRecord();
    // Waits for the batch being saved by a thread of its own, raising its
    // refusal: before any other call into SQLite.
    void AwaitSaves() {
        if (batch_.Busy() && !SaveBatch::OnSendingThread()) batch_.Await();
    }
    // The same where nothing may be raised (a cursor going away): the
    // refusal is raised by the next call that waits.
    void AwaitSavesQuietly() noexcept {
        if (!SaveBatch::OnSendingThread()) batch_.AwaitQuietly();
    }
    // Raises error after committing what was saved before it; when that
    // commit fails, or SQLite had already rolled the transaction back, the
    // error raised says that the uncommitted writes were lost.
    [[noreturn]] void Raise(const Error& error);
    // Raises the error of a failed SQLite call (same rule).
    [[noreturn]] void RaiseLast(int rc, const std::string& table, const std::string& sql);
    // Drops whatever is not committed (never raises).
    void Rollback() noexcept;
    // While a statement runs that calls back into the program (a transfer
    // lets the window process its events), Flush leaves the transaction
    // open: SQLite allows no COMMIT from inside a running statement.
    void HoldCommits(bool on) { holdCommits_ = on; }

    // Prepared SELECTs over a table, keyed by the statement with its text
    // literals as parameters: a look-up re-run with another code reuses
    // the compiled statement and the column descriptions.
    struct CachedSelect {
        StmtHandle stmt;
        // A look-up's row, read by rowid when a field is first asked for
        // (see CursorSetup::rowStmt); with the key column it selects.
        StmtHandle rowStmt;
        int keyColumn = -1;
        std::shared_ptr<const std::vector<FieldInfo>> columns;
        std::string table;
        bool leased = false;
    };
    void ReturnStatement(const std::string& key, StmtHandle stmt, StmtHandle rowStmt);
    // A cursor on the cached statement of key, bound to literals; nullptr
    // when there is none free (or it takes another number of literals).
    std::unique_ptr<Cursor> LeaseSelect(const std::string& key, const std::vector<std::string>& literals);

    // Declared columns of a table (PRAGMA table_info), cached until the
    // next CREATE/DROP/ALTER through Execute; empty for an unknown table.
    const std::vector<ColumnDecl>& TableColumns(const std::string& table);

private:
    SqliteConnection(DbHandle db, std::string path, bool readOnly);
    // "SELECT * FROM <table> [WHERE ... | ORDER BY ...]": writable, its
    // compiled statement cached under its shape.
    std::unique_ptr<Cursor> OpenTableCursor(const TableSelect& shape, const std::optional<std::string>& rawShape);
    // The statement prepared and its parameters bound to literals; nothing
    // when SQLite refuses it.
    StmtHandle TryPrepare(const std::string& sql, const std::vector<std::string>& literals);
    // Whether SQLite finds the rows of a look-up in an index of the looked-up
    // field alone, without reading the table.
    bool FoundInOneColumnIndex(const std::string& sql);
    // Which names are text columns of table, for the dialect's translation.
    TextColumnTest TextColumnsOf(const std::string& table);
    // Runs send, counting a record not yet queued among the records after
    // a refused one that it raises.
    template <class Send>
    void CountingThisRecord(Send send);
    void ExecSimple(const char* sql, const std::string& table);
    void Commit();
    Error LostWritesError(const Error& cause);

    DbHandle db_;
    std::string path_;
    bool readOnly_;
    bool inTransaction_ = false;
    // The write failure after which SQLite rolled the transaction back.
    std::optional<Error> lastFailure_;
    int pendingWrites_ = 0;
    bool bulkLoad_ = false;
    bool holdCommits_ = false;
    std::unordered_map<std::string, std::vector<ColumnDecl>> columns_;  // key: lower-case table
    std::unordered_map<std::string, CachedSelect> selects_;
    // The statement as the program wrote it, literals blanked -> key of selects_.
    std::unordered_map<std::string, std::string> shapes_;
    bool batchedSaves_ = false;
    // Last: its statements are finalized before the handle closes.
    SaveBatch batch_{*this};
};

}  // namespace core::sqlite
