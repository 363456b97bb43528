#pragma once
// Reads a recordset's rows on a thread of its own, a batch at a time, while
// the caller writes the rows already read: decrypting and decoding the
// archive overlaps with encrypting and writing the template. The rows come
// out in the recordset's order, each with the position the recordset gave
// for it, and an error met while reading is raised by Next at the row where
// it was met, after every row before it; the records the caller saves and
// the order in which it saves them are those of a plain loop.
//
// The recordset must sit on a connection that nothing else uses while the
// reader runs (see Workspace::OpenPrivateDatabase): the database library
// lets one thread at a time work on a connection.

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "common/engine/Dao.h"

namespace upgrade {

class ReadAhead {
public:
    struct Row {
        std::vector<core::Variant> values;  // the columns asked for, in their order
        double percent = 0;                 // PercentPosition on this row
    };

    // Starts reading at the recordset's current row. columns are indexes
    // into the recordset's fields.
    ReadAhead(core::Recordset& source, std::vector<int> columns);
    // Stops the reader and waits for it; rows not taken are dropped.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next row, or nullptr at the end. The row stays valid until the
    // next call. Raises what the reader met at this point.
    Row* Next();

private:
    using Batch = std::vector<Row>;
    static constexpr std::size_t kBatchRows = 256;
    static constexpr std::size_t kBatchesAhead = 4;

    void Read();
    // Hands a full batch to the caller, leaving batch empty; false when the
    // caller wants no more rows.
    bool Deliver(Batch& batch);

    core::Recordset& source_;
    const std::vector<int> columns_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> ready_;       // read, not yet taken
    bool finished_ = false;         // the reader has delivered its last batch
    bool stop_ = false;             // the caller wants no more rows
    std::exception_ptr error_;      // met by the reader after the rows in ready_

    Batch current_;                 // the batch the caller is taking rows from
    std::size_t next_ = 0;

    std::thread reader_;
};

}  // namespace upgrade
