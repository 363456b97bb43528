#pragma once
// New records waiting to go to the server: consecutive saves into one table
// are sent together as one multi-row INSERT, values bound by position,
// never spliced into the statement. When every record of the batch has the
// same columns assigned the statement is prepared once per table, column
// set and number of rows (a full batch, or the powers of two that a
// shorter remainder splits into); otherwise the batch is one statement
// that names every column some record assigns and gives DEFAULT where a
// record leaves it unassigned, as a single save would.
//
// A refusal is exact: when the server refuses a batch, its records are sent
// again one at a time; the records before the refused one are saved, the
// refused one raises the error a single save raises (same number, same
// wording), and the records after it are dropped.

#include <map>
#include <optional>
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

    bool Empty() const { return rows_.empty(); }
    const std::string& Table() const { return table_; }
    // Whether a record for this table can join the waiting ones.
    bool Accepts(const std::string& table) const { return rows_.empty() || table == table_; }
    // Queues one record: `assigned` says which of the table's columns it
    // gives, `values` their values in column order. The caller sends the
    // batch first when it does not accept the record.
    void Add(const std::string& table, const std::vector<FieldInfo>& columns, std::vector<bool> assigned,
             std::vector<Variant> values);
    bool Full() const;
    // Sends every waiting record (see above for a refusal); the batch is
    // empty afterwards in every case.
    void Send();
    // Forgets the waiting records (the transaction they would join is being
    // rolled back).
    void Discard();
    // Frees the prepared statements (before the connection goes).
    void ReleaseStatements() { statements_.clear(); }

private:
    struct Record {
        std::vector<bool> assigned;
        std::vector<Variant> values;
    };

    std::string InsertSql(std::size_t first, std::size_t count) const;
    SQLHSTMT Prepared(std::size_t first, std::size_t count);
    // Sends records [first, first + count); false when the server refused
    // the statement (nothing of it saved), with its diagnostic in `stmt`.
    bool Execute(std::size_t first, std::size_t count, SQLHSTMT& stmt, StmtHandle& direct);
    void SendRun(std::size_t first, std::size_t count);
    // Each record of [first, first + count) on its own, up to the refused one.
    void Replay(std::size_t first, std::size_t count);
    [[noreturn]] void ThrowRefusal(SQLHSTMT stmt);

    OdbcConnection& connection_;
    std::string table_;
    std::vector<FieldInfo> columns_;  // every column of the table
    std::vector<Record> rows_;
    std::size_t parameters_ = 0;
    std::map<std::tuple<std::string, std::vector<bool>, int>, StmtHandle> statements_;
};

}  // namespace core::odbc
