#pragma once
// New records of one table waiting to be saved together, when the
// connection's saves are batched (Connection::SetBatchedSaves). SQLite
// spends much of a one-record INSERT on the statement itself (the table's
// counter is read and written back by every statement), so records that
// assign the same columns go as INSERTs of many rows each, values bound as
// parameters.
//
// A refusal is exact: an INSERT of many rows runs inside a savepoint; when
// SQLite refuses one of its rows (a constraint, a trigger), the savepoint is
// rolled back and its records are saved again one at a time by the
// statement a single save uses. The records before the refused one are
// saved, the refused one raises the error a single save raises (same
// number, same words), and the records after it are dropped;
// Error::RecordsAfter() counts them. A failure of the file (full disk, I/O
// error) is raised as it is, at the statement's first record, and is never
// tried again; where SQLite has rolled the whole transaction back, the
// error says that the uncommitted writes were lost, as a single save's
// does.
//
// A full batch is saved on a thread of its own while the program reads and
// converts the next records. Nothing else uses the connection meanwhile:
// the connection and its cursors wait for the batch in flight before any
// call of their own into SQLite, and its refusal is raised there; the
// records waiting behind a refused batch are dropped like the ones after
// the refused record.

#include <cstddef>
#include <exception>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/Error.h"
#include "common/engine/sqlite/SqliteHandles.h"

namespace core::sqlite {

class SqliteConnection;

// "INSERT INTO t (given columns) VALUES (?, ...)" with rows rows of
// parameters ("DEFAULT VALUES" when no column is given): the statement of a
// single save, and of several at once.
std::string InsertSql(const std::string& table, const std::vector<FieldInfo>& columns,
                      const std::vector<int>& given, std::size_t rows);

class SaveBatch {
public:
    explicit SaveBatch(SqliteConnection& connection) : connection_(connection) {}
    ~SaveBatch();
    SaveBatch(const SaveBatch&) = delete;
    SaveBatch& operator=(const SaveBatch&) = delete;

    bool Empty() const { return waiting_.rows == 0; }
    // Whether a batch is in flight, or a refusal kept, for Await.
    bool Busy() const { return inFlight_.valid() || kept_ != nullptr; }
    // Whether a record of table assigning these columns can join the
    // waiting ones.
    bool Accepts(const std::string& table, const std::vector<std::optional<Variant>>& values) const;
    // Queues one record, taking its values over (one entry per column of
    // columns, std::nullopt for the unassigned ones); the caller has checked that SQLite can store
    // every value, and sends the waiting records first when Accepts says no.
    void Add(const std::string& table, std::shared_ptr<const std::vector<FieldInfo>> columns,
             std::vector<std::optional<Variant>>&& values);
    bool Full() const;
    // Saves every waiting record here and now, after the ones in flight;
    // the batch is empty afterwards in every case.
    void Send();
    // Hands the waiting records to a thread of their own.
    void SendInBackground();
    // Waits until the records in flight are saved; raises their refusal,
    // after dropping the records waiting behind them.
    void Await();
    // Waits as well, where nothing may be raised: a refusal is kept and
    // raised by the next Await.
    void AwaitQuietly() noexcept;
    // Whether the caller is the thread saving a batch.
    static bool OnSendingThread();
    // Forgets the waiting records (their transaction is being rolled back)
    // and any refusal kept, once the ones in flight are done.
    void Discard() noexcept;
    // Frees the prepared statements (before the connection goes).
    void ReleaseStatements() noexcept;

private:
    struct Batch {
        std::string table;
        std::shared_ptr<const std::vector<FieldInfo>> columns;
        std::vector<char> assigned;   // per column of the table: 1 when given
        std::vector<int> given;       // the given columns, in order
        std::vector<Variant> values;  // row after row, one per given column
        std::size_t rows = 0;
        std::size_t bytes = 0;
        void Clear();
    };
    using StatementKey = std::tuple<std::string, std::vector<char>, std::size_t>;

    bool TakeWaiting();
    void SendTaken();
    // The INSERT of count rows from first inside a savepoint; false when
    // SQLite refused it and the savepoint was rolled back.
    bool SendRows(std::size_t first, std::size_t count);
    // One record alone, as a single save; raises its refusal.
    void SendOne(std::size_t row);
    void BindRows(sqlite3_stmt* stmt, std::size_t first, std::size_t count);
    std::size_t RowsPerStatement() const;
    sqlite3_stmt* Prepared(std::size_t count);
    // Raises error as the one of row: the rows before it are saved.
    [[noreturn]] void Refuse(Error error, std::size_t row);

    SqliteConnection& connection_;
    Batch waiting_;
    Batch sending_;
    std::future<void> inFlight_;
    std::exception_ptr kept_;  // a refusal met by AwaitQuietly
    std::map<StatementKey, StmtHandle> statements_;
};

}  // namespace core::sqlite
