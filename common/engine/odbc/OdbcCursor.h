#pragma once
// The rows of one executed statement on a server, fetched one at a time,
// and the rows of a look-up that the connection answered itself. New
// records and deletions go through the connection (see OdbcInsertBatch.h).
//
// What a read verifies: only SQL_NO_DATA ends the rows; a fetch or a column
// read that fails raises the server's error. The server keeps its own pages.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/odbc/OdbcApi.h"
#include "common/engine/odbc/OdbcRowBlock.h"
#include "common/engine/odbc/OdbcTableImages.h"

namespace core::odbc {

class OdbcConnection;

class OdbcCursor : public Cursor {
public:
    using GiveBack = std::function<void(StmtHandle)>;

    // stmt: executed, its columns described; the first row is fetched here.
    // table: the table of a "SELECT * FROM [T]" statement (with or without
    // its WHERE), through which records can be added and deleted (empty
    // otherwise). giveBack, when set, takes the statement back once the
    // cursor is done with it. reused: the statement is used again (a
    // prepared look-up), so its rows are read field by field, never into
    // arrays bound to it.
    OdbcCursor(OdbcConnection& connection, StmtHandle stmt, std::vector<FieldInfo> columns, const std::string& table,
               GiveBack giveBack = {}, bool reused = false);
    ~OdbcCursor() override;

    const std::vector<FieldInfo>& Columns() const override { return columns_; }
    bool AtEnd() const override { return atEnd_; }
    void Next() override;
    const Variant& Get(int column) const override { return row_[static_cast<std::size_t>(column)]; }
    double Percent() const override;
    bool Updatable() const override;
    void Insert(const std::vector<std::optional<Variant>>& values) override;
    void DeleteCurrent() override;

    // The rows of the statement, where the driver cannot tell (-1: unknown).
    void SetRowCount(long long rows) { rowCount_ = rows; }
    // The current row (precondition: !AtEnd()).
    const std::vector<Variant>& Row() const { return row_; }

private:
    void Fetch();

    OdbcConnection& connection_;
    std::string table_;
    StmtHandle stmt_;
    GiveBack giveBack_;
    std::vector<FieldInfo> columns_;
    std::vector<Variant> row_;
    bool atEnd_ = false;
    long long position_ = 0;
    long long rowCount_ = -1;
    std::unique_ptr<RowBlock> block_;  // after stmt_: the arrays go before the statement
    std::size_t blockRow_ = 0;
};

// The rows of a look-up answered from the connection's copy of a table;
// writes go to the table as through an OdbcCursor.
class AnsweredCursor : public Cursor {
public:
    AnsweredCursor(OdbcConnection& connection, std::string table, LookupAnswer answer);

    const std::vector<FieldInfo>& Columns() const override { return *columns_; }
    bool AtEnd() const override { return position_ >= rows_.size(); }
    void Next() override { ++position_; }
    const Variant& Get(int column) const override { return (*rows_[position_])[static_cast<std::size_t>(column)]; }
    double Percent() const override;
    bool Updatable() const override;
    void Insert(const std::vector<std::optional<Variant>>& values) override;
    void DeleteCurrent() override;

private:
    OdbcConnection& connection_;
    std::string table_;
    SharedColumns columns_;
    std::vector<SharedRow> rows_;
    std::size_t position_ = 0;
};

}  // namespace core::odbc
