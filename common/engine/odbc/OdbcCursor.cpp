#include "common/engine/odbc/OdbcCursor.h"

#include <algorithm>

#include "common/engine/odbc/OdbcConnection.h"
#include "common/engine/odbc/OdbcTypes.h"

namespace core::odbc {

OdbcCursor::OdbcCursor(OdbcConnection& connection, StmtHandle stmt, std::vector<FieldInfo> columns,
                       const std::string& table, GiveBack giveBack, bool reused)
    : connection_(connection), table_(table), stmt_(std::move(stmt)), giveBack_(std::move(giveBack)),
      columns_(std::move(columns)) {
    SQLLEN count = -1;
    if (Succeeded(SQLRowCount(stmt_.get(), &count))) rowCount_ = count;
    if (!reused && RowBlock::Suits(columns_))
        block_ = std::make_unique<RowBlock>(stmt_.get(), columns_, connection_.Password());
    Fetch();
}

OdbcCursor::~OdbcCursor() {
    if (giveBack_ && stmt_.get() != SQL_NULL_HANDLE) {
        SQLFreeStmt(stmt_.get(), SQL_CLOSE);
        SQLFreeStmt(stmt_.get(), SQL_RESET_PARAMS);
        giveBack_(std::move(stmt_));
    }
}

void OdbcCursor::Fetch() {
    if (block_) {
        if (blockRow_ + 1 < block_->Rows() && !row_.empty()) {
            block_->Read(++blockRow_, row_);
            return;
        }
        blockRow_ = 0;
        if (!block_->Fetch()) {
            atEnd_ = true;
            row_.clear();
            return;
        }
        block_->Read(0, row_);
        return;
    }
    const SQLRETURN rc = SQLFetch(stmt_.get());
    if (rc == SQL_NO_DATA) {
        atEnd_ = true;
        row_.clear();
        return;
    }
    if (!Succeeded(rc)) connection_.Fail(SQL_HANDLE_STMT, stmt_.get(), "lettura dei record");
    row_.resize(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i)
        row_[i] = ReadValue(stmt_.get(), static_cast<SQLUSMALLINT>(i + 1), columns_[i], connection_.Password());
}

void OdbcCursor::Next() {
    ++position_;
    Fetch();
}

double OdbcCursor::Percent() const {
    if (rowCount_ <= 0) return 0.0;
    return std::min(100.0, 100.0 * static_cast<double>(position_) / static_cast<double>(rowCount_));
}

bool OdbcCursor::Updatable() const { return !table_.empty() && !connection_.ReadOnly(); }

void OdbcCursor::Insert(const std::vector<std::optional<Variant>>& values) {
    if (!Updatable()) ThrowReadOnly(connection_.Name());
    connection_.QueueInsert(table_, columns_, values);
}

void OdbcCursor::DeleteCurrent() {
    if (!Updatable()) ThrowReadOnly(connection_.Name());
    connection_.DeleteRow(table_, columns_, row_);
}

AnsweredCursor::AnsweredCursor(OdbcConnection& connection, std::string table, LookupAnswer answer)
    : connection_(connection), table_(std::move(table)), columns_(std::move(answer.columns)),
      rows_(std::move(answer.rows)) {}

double AnsweredCursor::Percent() const {
    if (rows_.empty()) return 0.0;
    return std::min(100.0, 100.0 * static_cast<double>(position_) / static_cast<double>(rows_.size()));
}

bool AnsweredCursor::Updatable() const { return !connection_.ReadOnly(); }

void AnsweredCursor::Insert(const std::vector<std::optional<Variant>>& values) {
    if (!Updatable()) ThrowReadOnly(connection_.Name());
    connection_.QueueInsert(table_, *columns_, values);
}

void AnsweredCursor::DeleteCurrent() {
    if (!Updatable()) ThrowReadOnly(connection_.Name());
    connection_.DeleteRow(table_, *columns_, *rows_[position_]);
}

}  // namespace core::odbc
