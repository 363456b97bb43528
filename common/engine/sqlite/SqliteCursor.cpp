#include "common/engine/sqlite/SqliteCursor.h"

#include <algorithm>

#include "common/engine/Error.h"
#include "common/engine/sqlite/SqlDialect.h"
#include "common/engine/sqlite/SqliteConnection.h"
#include "common/engine/sqlite/SqliteTypes.h"

namespace core::sqlite {

SqliteCursor::SqliteCursor(std::shared_ptr<SqliteConnection> connection, CursorSetup setup)
    : connection_(std::move(connection)),
      stmt_(std::move(setup.stmt)),
      table_(std::move(setup.table)),
      offset_(setup.rowidFirst ? 1 : 0),
      updatable_(setup.updatable),
      columns_(setup.sharedColumns ? std::move(setup.sharedColumns)
                                   : std::make_shared<const std::vector<FieldInfo>>(std::move(setup.columns))),
      rowidRange_(setup.rowidRange),
      cacheKey_(std::move(setup.cacheKey)),
      rowStmt_(std::move(setup.rowStmt)),
      keyColumn_(setup.keyColumn),
      row_(columns_->size()),
      loaded_(columns_->size(), 0) {
    Step();
}

SqliteCursor::~SqliteCursor() {
    // Nothing of the connection's is touched while a batch is being saved.
    connection_->AwaitSavesQuietly();
    // Statements first, while the connection is surely open.
    inserts_.clear();
    delete_.reset();
    if (!cacheKey_.empty() && stmt_) connection_->ReturnStatement(cacheKey_, std::move(stmt_), std::move(rowStmt_));
    stmt_.reset();
    rowStmt_.reset();
    // Committing is the recordset's Close (which can report a failure); a
    // cursor destroyed otherwise leaves its writes to the connection.
}

void SqliteCursor::Step() {
    connection_->AwaitSaves();
    std::fill(loaded_.begin(), loaded_.end(), 0);
    if (rowLoaded_) sqlite3_reset(rowStmt_.get());
    rowLoaded_ = false;
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) {
        ++rowsRead_;
        if (offset_) rowid_ = sqlite3_column_int64(stmt_.get(), 0);
        return;
    }
    atEnd_ = true;
    if (rc != SQLITE_DONE) {
        const char* sql = sqlite3_sql(stmt_.get());
        Error error = LastError(connection_->Db(), rc, {connection_->Name(), table_, sql ? sql : ""});
        sqlite3_reset(stmt_.get());
        connection_->Raise(error);
    }
    // Releases the statement's read lock; the cursor never steps again.
    sqlite3_reset(stmt_.get());
}

void SqliteCursor::Next() { Step(); }

const Variant& SqliteCursor::Get(int column) const {
    const auto c = static_cast<std::size_t>(column);
    if (!loaded_[c]) {
        connection_->AwaitSaves();
        if (!rowStmt_) row_[c] = ReadValue(stmt_.get(), column + offset_, (*columns_)[c]);
        else if (column == keyColumn_) row_[c] = ReadValue(stmt_.get(), 1, (*columns_)[c]);
        else row_[c] = ReadValue(LoadRow(), column, (*columns_)[c]);
        loaded_[c] = 1;
    }
    return row_[c];
}

sqlite3_stmt* SqliteCursor::LoadRow() const {
    sqlite3_stmt* stmt = rowStmt_.get();
    if (rowLoaded_) return stmt;
    sqlite3_reset(stmt);
    sqlite3_bind_int64(stmt, 1, rowid_);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        rowLoaded_ = true;
        return stmt;
    }
    sqlite3_reset(stmt);
    // Found by the look-up a moment ago: only a delete since can take it.
    if (rc == SQLITE_DONE) throw Error(3167, "Il record è stato eliminato.", "SQLite");
    connection_->Raise(LastError(connection_->Db(), rc, {connection_->Name(), table_, sqlite3_sql(stmt)}));
}

double SqliteCursor::Percent() const {
    if (atEnd_) return 100.0;
    if (!rangeLoaded_ && offset_ && !table_.empty()) {
        // Asked for only by the callers that show progress.
        rangeLoaded_ = true;
        connection_->AwaitSaves();
        const std::string t = QuoteName(table_);
        StmtHandle range = connection_->Prepare(
            "SELECT (SELECT min(_rowid_) FROM " + t + "), (SELECT max(_rowid_) FROM " + t + ")", table_);
        if (sqlite3_step(range.get()) == SQLITE_ROW && sqlite3_column_type(range.get(), 0) != SQLITE_NULL)
            rowidRange_.emplace(sqlite3_column_int64(range.get(), 0), sqlite3_column_int64(range.get(), 1));
    }
    if (rowidRange_ && offset_) return RowidPercent(rowid_, rowidRange_->first, rowidRange_->second);
    return 0.0;
}

double RowidPercent(long long rowid, long long low, long long high) {
    if (high <= low) return 0.0;
    const double p = 100.0 * static_cast<double>(rowid - low) / static_cast<double>(high - low + 1);
    return std::clamp(p, 0.0, 100.0);
}

SqliteCursor::InsertStatement& SqliteCursor::InsertFor(
    const std::vector<std::optional<Variant>>& values) {
    // Records are usually saved with the same columns assigned each time, so
    // the statement used last is looked at first.
    auto matches = [&](const InsertStatement& s) {
        for (std::size_t i = 0; i < values.size(); ++i)
            if (s.assigned[i] != static_cast<char>(values[i].has_value())) return false;
        return true;
    };
    for (std::size_t k = 0; k < inserts_.size(); ++k) {
        if (matches(inserts_[k])) {
            if (k != 0) std::swap(inserts_[0], inserts_[k]);
            return inserts_[0];
        }
    }
    InsertStatement s;
    s.assigned.resize(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        s.assigned[i] = values[i].has_value();
        if (values[i]) s.columns.push_back(static_cast<int>(i));
    }
    const std::string sql = InsertSql(table_, *columns_, s.columns, 1);
    s.stmt = connection_->Prepare(sql, table_);
    inserts_.insert(inserts_.begin(), std::move(s));
    return inserts_.front();
}

void SqliteCursor::Insert(const std::vector<std::optional<Variant>>& values) {
    if (!updatable_) ThrowReadOnly(connection_->Name());
    if (values.size() != columns_->size())
        throw Error(err::InvalidArgument, "Numero di campi errato per la tabella '" + table_ + "'.",
                    "SQLite");
    if (connection_->BatchesSaves()) {
        InsertTaking(std::vector<std::optional<Variant>>(values));
        return;
    }
    connection_->SendSaves();
    InsertStatement& ins = InsertFor(values);
    sqlite3_stmt* stmt = ins.stmt.get();
    try {
        for (std::size_t k = 0; k < ins.columns.size(); ++k) {
            const auto c = static_cast<std::size_t>(ins.columns[k]);
            BindValue(stmt, static_cast<int>(k) + 1, *values[c], (*columns_)[c], table_);
        }
    } catch (const Error& e) {
        sqlite3_clear_bindings(stmt);
        connection_->Raise(e);
    }
    connection_->BeginWrite(table_);
    wrote_ = true;
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
        Error error = LastError(connection_->Db(), rc, {connection_->Name(), table_, sqlite3_sql(stmt)});
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        connection_->Raise(error);
    }
    sqlite3_reset(stmt);
    // The bound texts and blobs belong to the caller's values.
    sqlite3_clear_bindings(stmt);
    connection_->EndWrite();
}

void SqliteCursor::InsertTaking(std::vector<std::optional<Variant>>&& values) {
    if (!connection_->BatchesSaves() || !updatable_ || values.size() != columns_->size()) {
        Insert(values);
        return;
    }
    CheckStorable(values);
    connection_->QueueSave(table_, columns_, std::move(values));
    wrote_ = true;
}

void SqliteCursor::CheckStorable(const std::vector<std::optional<Variant>>& values) {
    try {
        for (std::size_t c = 0; c < values.size(); ++c)
            if (values[c]) sqlite::CheckStorable(*values[c], (*columns_)[c], table_);
    } catch (const Error& e) {
        connection_->SendSavesBeforeRecord();
        connection_->Raise(e);
    }
}

void SqliteCursor::DeleteCurrent() {
    if (!updatable_) ThrowReadOnly(connection_->Name());
    if (atEnd_)
        throw Error(err::NoCurrentRecord, "Nessun record corrente nella tabella '" + table_ + "'.",
                    "SQLite");
    if (!offset_)
        connection_->Raise(Error(err::ReadOnlyDatabase,
                                 "Impossibile eliminare record dalla tabella '" + table_ +
                                     "': la tabella non ha un identificativo di riga.",
                                 "SQLite"));
    connection_->SendSaves();
    // The cursor stays on the deleted row until Next(): keep its values.
    for (int c = 0; c < static_cast<int>(columns_->size()); ++c) Get(c);
    if (!delete_)
        delete_ = connection_->Prepare("DELETE FROM " + QuoteName(table_) + " WHERE _rowid_ = ?",
                                       table_);
    sqlite3_bind_int64(delete_.get(), 1, rowid_);
    connection_->BeginWrite(table_);
    wrote_ = true;
    const int rc = sqlite3_step(delete_.get());
    if (rc != SQLITE_DONE) {
        Error error = LastError(connection_->Db(), rc, {connection_->Name(), table_, sqlite3_sql(delete_.get())});
        sqlite3_reset(delete_.get());
        connection_->Raise(error);
    }
    sqlite3_reset(delete_.get());
    connection_->EndWrite();
}

}  // namespace core::sqlite
