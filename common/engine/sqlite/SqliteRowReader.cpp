#include "common/engine/sqlite/SqliteRowReader.h"

#include <sqlcipher/sqlite3.h>

#include <utility>

#include "common/engine/sqlite/SqliteErrors.h"
#include "common/engine/sqlite/SqliteTypes.h"

namespace core::sqlite {
namespace {

// Rows per batch, and batches read ahead at most.
constexpr std::size_t kRowsPerBatch = 256;
constexpr std::size_t kBatchesAhead = 4;

}  // namespace

std::unique_ptr<RowReader> RowReader::Start(DbHandle db, const std::string& sql, std::vector<FieldInfo> fields,
                                            std::string file, std::string table) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return nullptr;
    }
    StmtHandle stmt(raw);
    if (sqlite3_column_count(raw) != static_cast<int>(fields.size()) + 1) return nullptr;
    return std::unique_ptr<RowReader>(
        new RowReader(std::move(db), std::move(stmt), std::move(fields), std::move(file), std::move(table)));
}

RowReader::RowReader(DbHandle db, StmtHandle stmt, std::vector<FieldInfo> fields, std::string file,
                     std::string table)
    : db_(std::move(db)),
      stmt_(std::move(stmt)),
      fields_(std::move(fields)),
      file_(std::move(file)),
      table_(std::move(table)),
      thread_([this] { Read(); }) {}

RowReader::~RowReader() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void RowReader::Read() noexcept {
    std::exception_ptr error;
    int failed = 0;
    try {
        sqlite3_stmt* stmt = stmt_.get();
        const int columns = static_cast<int>(fields_.size());
        Batch batch;
        for (;;) {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) {
                failed = rc;
                throw LastError(db_.get(), rc, {file_, table_, sqlite3_sql(stmt)});
            }
            batch.rowids.push_back(sqlite3_column_int64(stmt, 0));
            for (int c = 0; c < columns; ++c)
                batch.values.push_back(ReadValue(stmt, c + 1, fields_[static_cast<std::size_t>(c)]));
            if (batch.Rows() == kRowsPerBatch && !Hand(std::exchange(batch, Batch{}))) return;
        }
        if (batch.Rows() > 0 && !Hand(std::move(batch))) return;
    } catch (...) {
        // Handed to the caller by Next, after the rows read before it.
        error = std::current_exception();
    }
    // The read transaction ends here, on this thread.
    sqlite3_reset(stmt_.get());
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
        error_ = error;
        failedCode_ = failed;
    }
    changed_.notify_all();
}

bool RowReader::Hand(Batch&& batch) {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return ready_.size() < kBatchesAhead || stopping_; });
        if (stopping_) return false;
        ready_.push_back(std::move(batch));
    }
    changed_.notify_all();
    return true;
}

bool RowReader::Next(Batch& batch) {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
        if (ready_.empty()) {
            if (error_) std::rethrow_exception(error_);
            return false;
        }
        batch = std::move(ready_.front());
        ready_.pop_front();
    }
    changed_.notify_all();
    return true;
}

int RowReader::FailedCode() const {
    const std::lock_guard lock(mutex_);
    return failedCode_;
}

}  // namespace core::sqlite
