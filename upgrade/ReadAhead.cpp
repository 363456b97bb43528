#include "upgrade/ReadAhead.h"

#include <utility>

namespace upgrade {

ReadAhead::ReadAhead(core::Recordset& source, std::vector<int> columns)
    : source_(source), columns_(std::move(columns)), reader_([this] { Read(); }) {}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

void ReadAhead::Read() {
    Batch batch;
    batch.reserve(kBatchRows);
    std::exception_ptr error;
    try {
        while (!source_.Eof()) {
            if (batch.size() == kBatchRows && !Deliver(batch)) return;
            Row row;
            row.values.reserve(columns_.size());
            for (const int column : columns_) row.values.push_back(source_.GetValue(column));
            row.percent = source_.PercentPosition();
            batch.push_back(std::move(row));
            source_.MoveNext();
        }
    } catch (...) {
        error = std::current_exception();
    }
    {
        std::lock_guard lock(mutex_);
        if (!batch.empty()) ready_.push_back(std::move(batch));
        error_ = error;
        finished_ = true;
    }
    changed_.notify_all();
}

bool ReadAhead::Deliver(Batch& batch) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stop_ || ready_.size() < kBatchesAhead; });
    if (stop_) return false;
    ready_.push_back(std::move(batch));
    lock.unlock();
    changed_.notify_all();
    batch = Batch();
    batch.reserve(kBatchRows);
    return true;
}

ReadAhead::Row* ReadAhead::Next() {
    if (next_ < current_.size()) return &current_[next_++];
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
    if (ready_.empty()) {
        // Every row read has been taken: the end, or what stopped the reader.
        current_.clear();
        next_ = 0;
        if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
        return nullptr;
    }
    current_ = std::move(ready_.front());
    ready_.pop_front();
    lock.unlock();
    changed_.notify_all();
    next_ = 1;
    return &current_[0];
}

}  // namespace upgrade
