#pragma once
// Rows of an executed statement fetched a block at a time into bound
// column arrays (SQL_ATTR_ROW_ARRAY_SIZE), instead of one SQLGetData call
// per field per row. Only for results whose columns all have a bounded
// size (numbers, dates, texts of a declared length); memos and binaries
// are read field by field (see ReadValue).

#include <memory>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/odbc/OdbcApi.h"

namespace core::odbc {

class RowBlock {
public:
    static bool Suits(const std::vector<FieldInfo>& columns);

    // Binds the columns of stmt; the statement must be freed (or unbound)
    // before this object goes.
    RowBlock(SQLHSTMT stmt, const std::vector<FieldInfo>& columns, std::string password);

    // The next block; false at the end of the rows. Raises the server's
    // error.
    bool Fetch();
    std::size_t Rows() const { return fetched_; }
    // Row `row` of the block as the engine's values (as ReadValue gives them).
    void Read(std::size_t row, std::vector<Variant>& out) const;

private:
    struct Column {
        FieldInfo field;
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLLEN width = 0;  // bytes per row
        std::vector<unsigned char> data;
        std::vector<SQLLEN> indicators;
    };
    Variant Value(const Column& column, std::size_t row) const;

    SQLHSTMT stmt_;
    std::vector<Column> columns_;
    std::string password_;
    SQLULEN fetched_ = 0;
    std::vector<SQLUSMALLINT> status_;
};

}  // namespace core::odbc
