#pragma once
// The rows of one statement on a server, fetched one at a time; new records
// go in through a prepared INSERT per set of assigned columns, their values
// bound as parameters (never spliced into the statement).
//
// What a read verifies: only SQL_NO_DATA ends the rows; a fetch or a column
// read that fails raises the server's error. The server keeps its own pages.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/odbc/OdbcApi.h"

namespace core::odbc {

class OdbcConnection;

// The engine's description of every column of an executed statement.
std::vector<FieldInfo> DescribeColumns(SQLHSTMT stmt);

class OdbcCursor : public Cursor {
public:
    // table: the table of a "SELECT * FROM [T]" statement (empty otherwise),
    // through which records can be added and deleted.
    OdbcCursor(OdbcConnection& connection, const std::string& serverSql, const std::string& table);

    const std::vector<FieldInfo>& Columns() const override { return columns_; }
    bool AtEnd() const override { return atEnd_; }
    void Next() override;
    const Variant& Get(int column) const override { return row_[static_cast<std::size_t>(column)]; }
    double Percent() const override;
    bool Updatable() const override;
    void Insert(const std::vector<std::optional<Variant>>& values) override;
    void DeleteCurrent() override;

private:
    void Fetch();
    Variant ReadColumn(SQLUSMALLINT index, const FieldInfo& column);
    SQLHSTMT InsertStatement(const std::vector<bool>& assigned);

    OdbcConnection& connection_;
    std::string table_;
    StmtHandle stmt_;
    std::vector<FieldInfo> columns_;
    std::vector<Variant> row_;
    bool atEnd_ = false;
    long long position_ = 0;
    long long rowCount_ = -1;
    std::map<std::vector<bool>, StmtHandle> inserts_;
};

}  // namespace core::odbc
