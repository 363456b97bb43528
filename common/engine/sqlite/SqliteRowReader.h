#pragma once
// The rows of one query, read on a thread of their own a batch at a time
// while the caller stores the batch before: a copy between two database
// files then decrypts and reads the source on one core and converts,
// encrypts and writes the destination on the other. The reader has a
// connection of its own, used by its thread alone; at most a few batches
// wait, so the memory it takes is the same however many rows there are.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/sqlite/SqliteHandles.h"

namespace core::sqlite {

class RowReader {
public:
    struct Batch {
        std::vector<long long> rowids;  // the first column of each row
        std::vector<Variant> values;    // row after row, one per field
        std::size_t Rows() const { return rowids.size(); }
    };

    // Reads the rows of sql (prepared here, on db) on a thread of its own:
    // the first column is the rowid, fields describe the others; file and
    // table name them in an error. nullptr when sql cannot be prepared.
    static std::unique_ptr<RowReader> Start(DbHandle db, const std::string& sql, std::vector<FieldInfo> fields,
                                            std::string file, std::string table);
    // Stops the thread and waits for it.
    ~RowReader();
    RowReader(const RowReader&) = delete;
    RowReader& operator=(const RowReader&) = delete;

    // The next batch into batch; false once every row was given. Raises the
    // error that ended the reading, after the rows read before it.
    bool Next(Batch& batch);
    // The SQLite result code of that error (0 when there was none).
    int FailedCode() const;

private:
    RowReader(DbHandle db, StmtHandle stmt, std::vector<FieldInfo> fields, std::string file, std::string table);
    void Read() noexcept;
    // Hands a full batch over; false when the reader is being stopped.
    bool Hand(Batch&& batch);

    DbHandle db_;
    StmtHandle stmt_;
    const std::vector<FieldInfo> fields_;
    const std::string file_, table_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> ready_;
    bool finished_ = false;
    bool stopping_ = false;
    std::exception_ptr error_;
    int failedCode_ = 0;
    std::thread thread_;  // last: started once everything above exists
};

}  // namespace core::sqlite
