#include "common/engine/sqlite/SqliteSaveBatch.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "common/engine/Error.h"
#include "common/engine/sqlite/SqlDialect.h"
#include "common/engine/sqlite/SqliteConnection.h"
#include "common/engine/sqlite/SqliteTypes.h"

namespace core::sqlite {

namespace {

// Records waiting at most, and the bytes of text and binary values they
// hold at most, before they are saved.
constexpr std::size_t kRowsPerBatch = 512;
constexpr std::size_t kMaxBatchBytes = 4 << 20;
// Records per INSERT at most: past a few dozen, a longer statement gains
// nothing and a refused one has more records to save again alone.
constexpr std::size_t kRowsPerStatement = 64;

// Set on the threads that save a batch in the background.
thread_local bool sendingThread = false;

std::size_t PayloadBytes(const Variant& value) {
    if (value.kind() == Variant::Kind::Text) return value.AsText().size();
    if (value.kind() == Variant::Kind::Binary) return value.AsBytes().size();
    return 0;
}

}  // namespace

std::string InsertSql(const std::string& table, const std::vector<FieldInfo>& columns,
                            const std::vector<int>& given, std::size_t rows) {
    if (given.empty()) return "INSERT INTO " + QuoteName(table) + " DEFAULT VALUES";
    std::string names, marks;
    for (const int c : given) {
        if (!names.empty()) {
            names += ", ";
            marks += ", ";
        }
        names += QuoteName(columns[static_cast<std::size_t>(c)].name);
        marks += '?';
    }
    std::string sql = "INSERT INTO " + QuoteName(table) + " (" + names + ") VALUES (" + marks + ")";
    for (std::size_t r = 1; r < rows; ++r) sql.append(", (").append(marks).append(")");
    return sql;
}

void SaveBatch::Batch::Clear() {
    values.clear();  // the capacity stays for the next records
    rows = 0;
    bytes = 0;
}

SaveBatch::~SaveBatch() {
    // Whoever saved has committed and heard of a refusal before letting the
    // connection go; a batch still in flight belongs to a transaction that
    // is rolled back, so its outcome has nobody to go to.
    if (inFlight_.valid()) inFlight_.wait();
}

bool SaveBatch::OnSendingThread() { return sendingThread; }

bool SaveBatch::Accepts(const std::string& table, const std::vector<std::optional<Variant>>& values) const {
    if (waiting_.rows == 0) return true;
    if (table != waiting_.table || values.size() != waiting_.assigned.size()) return false;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (waiting_.assigned[i] != static_cast<char>(values[i].has_value())) return false;
    return true;
}

void SaveBatch::Add(const std::string& table, std::shared_ptr<const std::vector<FieldInfo>> columns,
                    std::vector<std::optional<Variant>>&& values) {
    if (waiting_.rows == 0) {
        waiting_.table = table;
        waiting_.columns = std::move(columns);
        waiting_.assigned.assign(values.size(), 0);
        waiting_.given.clear();
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!values[i]) continue;
            waiting_.assigned[i] = 1;
            waiting_.given.push_back(static_cast<int>(i));
        }
    }
    for (const int c : waiting_.given) {
        Variant& value = *values[static_cast<std::size_t>(c)];
        waiting_.bytes += PayloadBytes(value);
        waiting_.values.push_back(std::move(value));
    }
    ++waiting_.rows;
}

bool SaveBatch::Full() const { return waiting_.rows >= kRowsPerBatch || waiting_.bytes >= kMaxBatchBytes; }

void SaveBatch::Await() {
    std::exception_ptr failure = std::exchange(kept_, nullptr);
    if (inFlight_.valid()) {
        std::future<void> inFlight = std::move(inFlight_);
        try {
            inFlight.get();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (!failure) return;
    // The records waiting behind the failed batch are dropped with it.
    const auto waiting = static_cast<long long>(waiting_.rows);
    waiting_.Clear();
    try {
        std::rethrow_exception(failure);
    } catch (Error& e) {
        if (e.RecordsAfter()) e.SetRecordsAfter(*e.RecordsAfter() + waiting);
        throw;
    }
}

void SaveBatch::AwaitQuietly() noexcept {
    if (!inFlight_.valid()) return;
    std::future<void> inFlight = std::move(inFlight_);
    try {
        inFlight.get();
    } catch (...) {
        // Raised by the next Await, with the records then waiting counted.
        kept_ = std::current_exception();
    }
}

void SaveBatch::Discard() noexcept {
    if (inFlight_.valid()) inFlight_.wait();
    inFlight_ = {};
    kept_ = nullptr;
    waiting_.Clear();
    sending_.Clear();
}

void SaveBatch::ReleaseStatements() noexcept {
    if (inFlight_.valid()) inFlight_.wait();
    statements_.clear();
}

bool SaveBatch::TakeWaiting() {
    Await();
    if (waiting_.rows == 0) return false;
    std::swap(sending_, waiting_);
    waiting_.Clear();
    return true;
}

void SaveBatch::Send() {
    if (TakeWaiting()) SendTaken();
}

void SaveBatch::SendInBackground() {
    if (!TakeWaiting()) return;
    // A library built without threads gets everything on this one.
    if (sqlite3_threadsafe() == 0) {
        SendTaken();
        return;
    }
    try {
        inFlight_ = std::async(std::launch::async, [this] {
            sendingThread = true;
            SendTaken();
        });
    } catch (const std::system_error&) {
        SendTaken();  // no thread to be had: saved here and now
    }
}

std::size_t SaveBatch::RowsPerStatement() const {
    if (sending_.given.empty()) return 1;  // DEFAULT VALUES: one record per statement
    const int limit = sqlite3_limit(connection_.Db(), SQLITE_LIMIT_VARIABLE_NUMBER, -1);
    const std::size_t byLimit = std::max<std::size_t>(1, static_cast<std::size_t>(limit) / sending_.given.size());
    return std::min(kRowsPerStatement, byLimit);
}

void SaveBatch::SendTaken() {
    const std::size_t rows = sending_.rows;
    connection_.BeginWrite(sending_.table);
    const std::size_t perStatement = RowsPerStatement();
    for (std::size_t first = 0; first < rows;) {
        const std::size_t count = std::min(perStatement, rows - first);
        if (count == 1 || !SendRows(first, count))
            for (std::size_t r = first; r < first + count; ++r) SendOne(r);
        first += count;
    }
    sending_.Clear();
    connection_.EndWrite(static_cast<int>(rows));
}

void SaveBatch::BindRows(sqlite3_stmt* stmt, std::size_t first, std::size_t count) {
    const std::size_t width = sending_.given.size();
    const std::vector<FieldInfo>& columns = *sending_.columns;
    int index = 1;
    for (std::size_t r = first; r < first + count; ++r)
        for (std::size_t k = 0; k < width; ++k)
            BindValue(stmt, index++, sending_.values[r * width + k],
                      columns[static_cast<std::size_t>(sending_.given[k])], sending_.table);
}

bool SaveBatch::SendRows(std::size_t first, std::size_t count) {
    sqlite3* db = connection_.Db();
    // The savepoint takes back the rows an INSERT saved before it was
    // refused (a constraint that fails rather than aborts, a trigger).
    if (sqlite3_exec(db, "SAVEPOINT agency_batch", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
    sqlite3_stmt* stmt = Prepared(count);
    int rc = SQLITE_DONE;
    bool bound = true;
    try {
        BindRows(stmt, first, count);
        rc = sqlite3_step(stmt);
    } catch (const Error&) {
        bound = false;  // saved alone, the record raises the binding's error
    }
    std::optional<Error> failure;
    if (bound && rc != SQLITE_DONE && !AboutTheRows(rc))
        failure = LastError(db, rc, {connection_.Name(), sending_.table, sqlite3_sql(stmt)});
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (bound && rc == SQLITE_DONE) {
        sqlite3_exec(db, "RELEASE agency_batch", nullptr, nullptr, nullptr);
        return true;
    }
    // Where SQLite has rolled the whole transaction back, the savepoint went
    // with it.
    if (!sqlite3_get_autocommit(db)) {
        sqlite3_exec(db, "ROLLBACK TO agency_batch", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "RELEASE agency_batch", nullptr, nullptr, nullptr);
    }
    // A failure of the file (full disk, I/O error) is the error as it is,
    // never tried again record by record as if it had not happened; saving
    // stops at the first record of the statement.
    if (failure) Refuse(std::move(*failure), first);
    return false;
}

void SaveBatch::SendOne(std::size_t row) {
    sqlite3_stmt* stmt = Prepared(1);
    try {
        BindRows(stmt, row, 1);
    } catch (Error& e) {
        sqlite3_clear_bindings(stmt);
        Refuse(e, row);
    }
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
        Error error = LastError(connection_.Db(), rc, {connection_.Name(), sending_.table, sqlite3_sql(stmt)});
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        Refuse(std::move(error), row);
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
}

void SaveBatch::Refuse(Error error, std::size_t row) {
    error.SetRecordsAfter(static_cast<long long>(sending_.rows - row - 1));
    sending_.Clear();
    connection_.Raise(error);
}

sqlite3_stmt* SaveBatch::Prepared(std::size_t count) {
    StatementKey key{sending_.table, sending_.assigned, count};
    auto it = statements_.find(key);
    if (it == statements_.end()) {
        StmtHandle stmt =
            connection_.Prepare(InsertSql(sending_.table, *sending_.columns, sending_.given, count), sending_.table);
        it = statements_.emplace(std::move(key), std::move(stmt)).first;
    }
    return it->second.get();
}

}  // namespace core::sqlite
