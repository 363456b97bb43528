#pragma once
// New records waiting to go to the server: consecutive saves into one table
// are sent together, values bound as parameters, never spliced into the
// statement. Records that assign the same columns, each column with values
// of one kind, go as one statement with one parameter per column: an array
// of that column's values, unnested by the server into the rows to insert
// (prepared once per table, column set and kinds). Otherwise they go as
// multi-row INSERTs: prepared once per table, column set and number of
// rows when the records assign the same columns, else one statement that
// names every column some record assigns and gives DEFAULT where a record
// leaves it unassigned, as a single save would.
//
// A refusal is exact: when the server refuses a batch, its records are sent
// again one at a time; the records before the refused one are saved, the
// refused one raises the error a single save raises (same number, same
// wording), and the records after it are dropped.
//
// A full batch may be sent by a thread of its own while the program fills
// the next one (the server inserts one batch while the program reads and
// converts the next). Nothing else uses the connection meanwhile: the
// connection waits for the batch in flight before any other call of its
// own, and its refusal is raised there; the records waiting behind a
// refused batch are dropped like the ones after the refused record.

#include <future>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/odbc/OdbcApi.h"

namespace core::odbc {

class OdbcConnection;

class InsertBatch {
public:
    explicit InsertBatch(OdbcConnection& connection) : connection_(connection) {}

    ~InsertBatch();

    bool Empty() const { return waiting_.rows.empty(); }
    const std::string& Table() const { return waiting_.table; }
    // Whether a record for this table can join the waiting ones.
    bool Accepts(const std::string& table) const { return waiting_.rows.empty() || table == waiting_.table; }
    // Queues one record: `assigned` says which of the table's columns it
    // gives, `values` their values in column order. The caller sends the
    // batch first when it does not accept the record.
    void Add(const std::string& table, const std::vector<FieldInfo>& columns, std::vector<bool> assigned,
             std::vector<Variant> values);
    bool Full() const;
    // Sends every waiting record (see above for a refusal), after the ones
    // in flight; the batch is empty afterwards in every case.
    void Send();
    // Hands the waiting records to a thread of their own to send; the
    // batch is empty and ready for the next records.
    void SendInBackground();
    // Waits until the records in flight are sent; raises their refusal,
    // after dropping the records waiting behind them.
    void Await();
    // Whether the caller is the thread sending a batch (which uses the
    // connection freely).
    static bool OnSendingThread();
    // Forgets the waiting records (the transaction they would join is being
    // rolled back), once the ones in flight are sent.
    void Discard();
    // Frees the prepared statements (before the connection goes).
    void ReleaseStatements();

private:
    struct Record {
        std::vector<bool> assigned;
        std::vector<Variant> values;
    };
    struct Batch {
        std::string table;
        std::vector<FieldInfo> columns;  // every column of the table
        std::vector<Record> rows;
        std::size_t bytes = 0;  // of the texts and binaries
    };

    // Once the records in flight are sent, makes the waiting records the
    // batch to send; false when none wait.
    bool TakeWaiting();
    // Sends the batch taken from the waiting records; what follows works on it.
    void SendTaken();
    std::string InsertSql(std::size_t first, std::size_t count) const;
    // How many of the records from `first` on one multi-row INSERT carries.
    std::size_t RowsPerStatement(std::size_t first) const;
    // Sends the `count` records from `first` (assigning the same columns)
    // as column arrays; false, with nothing sent, when they cannot go so.
    bool SendArrays(std::size_t first, std::size_t count);
    SQLHSTMT Prepared(std::size_t first, std::size_t count);
    // Sends records [first, first + count); false when the server refused
    // the statement (nothing of it saved), with its diagnostic in `stmt`.
    bool Execute(std::size_t first, std::size_t count, SQLHSTMT& stmt, StmtHandle& direct);
    void SendRun(std::size_t first, std::size_t count);
    // Each record of [first, first + count) on its own, up to the refused one.
    void Replay(std::size_t first, std::size_t count);
    // Raises the refusal of record `refused` of the batch being sent.
    [[noreturn]] void ThrowRefusal(SQLHSTMT stmt, std::size_t refused);

    OdbcConnection& connection_;
    Batch waiting_;
    Batch sending_;
    std::future<void> inFlight_;
    std::map<std::tuple<std::string, std::vector<bool>, int>, StmtHandle> statements_;
    // Array statements by their text; those the server could not run for
    // records that it then saved one by one are not tried again.
    std::map<std::string, StmtHandle> arrayStatements_;
    std::set<std::string> arraysRefused_;
};

}  // namespace core::odbc
