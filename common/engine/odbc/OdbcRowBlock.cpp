#include "common/engine/odbc/OdbcRowBlock.h"

#include <cstring>

#include "common/engine/odbc/OdbcTypes.h"

namespace core::odbc {

namespace {

constexpr std::size_t kRowsPerFetch = 256;
constexpr int kLongestBoundText = 4000;  // characters

}  // namespace

bool RowBlock::Suits(const std::vector<FieldInfo>& columns) {
    if (columns.empty()) return false;
    for (const auto& column : columns) {
        switch (column.type) {
            case DataType::Boolean: case DataType::Byte: case DataType::Integer: case DataType::Long:
            case DataType::BigInt: case DataType::Single: case DataType::Double: case DataType::Float:
            case DataType::Decimal: case DataType::Numeric: case DataType::Currency: case DataType::Date:
            case DataType::Time: case DataType::TimeStamp:
                break;
            case DataType::Text:
            case DataType::Char:
                if (column.size <= 0 || column.size > kLongestBoundText) return false;
                break;
            default:
                return false;
        }
    }
    return true;
}

RowBlock::RowBlock(SQLHSTMT stmt, const std::vector<FieldInfo>& columns, std::string password)
    : stmt_(stmt), password_(std::move(password)), status_(kRowsPerFetch) {
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowsPerFetch), 0);
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0);
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_STATUS_PTR, status_.data(), 0);
    columns_.reserve(columns.size());
    for (const auto& field : columns) {
        Column column;
        column.field = field;
        switch (field.type) {
            case DataType::Boolean:
                column.cType = SQL_C_BIT, column.width = 1;
                break;
            case DataType::Byte: case DataType::Integer: case DataType::Long: case DataType::BigInt:
                column.cType = SQL_C_SBIGINT, column.width = sizeof(std::int64_t);
                break;
            case DataType::Currency:
                column.cType = SQL_C_CHAR, column.width = 64;
                break;
            case DataType::Date: case DataType::Time: case DataType::TimeStamp:
                column.cType = SQL_C_TYPE_TIMESTAMP, column.width = sizeof(SQL_TIMESTAMP_STRUCT);
                break;
            case DataType::Text: case DataType::Char:
                // A character may take two UTF-16 units; one more for the end.
                column.cType = SQL_C_WCHAR, column.width = static_cast<SQLLEN>((2 * field.size + 1) * sizeof(SQLWCHAR));
                break;
            default:
                column.cType = SQL_C_DOUBLE, column.width = sizeof(double);
                break;
        }
        column.data.resize(static_cast<std::size_t>(column.width) * kRowsPerFetch);
        column.indicators.resize(kRowsPerFetch);
        columns_.push_back(std::move(column));
    }
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        Column& column = columns_[i];
        if (!Succeeded(SQLBindCol(stmt_, static_cast<SQLUSMALLINT>(i + 1), column.cType, column.data.data(),
                                  column.width, column.indicators.data())))
            ThrowDiagnostic(SQL_HANDLE_STMT, stmt_, "lettura del campo '" + column.field.name + "'", password_);
    }
}

bool RowBlock::Fetch() {
    const SQLRETURN rc = SQLFetch(stmt_);
    if (rc == SQL_NO_DATA) return false;
    if (!Succeeded(rc)) ThrowDiagnostic(SQL_HANDLE_STMT, stmt_, "lettura dei record", password_);
    for (SQLULEN r = 0; r < fetched_; ++r)
        if (status_[r] == SQL_ROW_ERROR) ThrowDiagnostic(SQL_HANDLE_STMT, stmt_, "lettura dei record", password_);
    return fetched_ > 0;
}

Variant RowBlock::Value(const Column& column, std::size_t row) const {
    const SQLLEN indicator = column.indicators[row];
    if (indicator == SQL_NULL_DATA) return Variant();
    const unsigned char* cell = column.data.data() + static_cast<std::size_t>(column.width) * row;
    auto fail = [&] {
        ThrowDiagnostic(SQL_HANDLE_STMT, stmt_, "lettura del campo '" + column.field.name + "'", password_);
    };
    switch (column.cType) {
        case SQL_C_BIT:
            return Variant(*cell != 0);
        case SQL_C_SBIGINT: {
            std::int64_t value;
            std::memcpy(&value, cell, sizeof value);
            return Variant(static_cast<long long>(value));
        }
        case SQL_C_DOUBLE: {
            double value;
            std::memcpy(&value, cell, sizeof value);
            return Variant(value);
        }
        case SQL_C_TYPE_TIMESTAMP: {
            SQL_TIMESTAMP_STRUCT ts;
            std::memcpy(&ts, cell, sizeof ts);
            return TimestampValue(ts);
        }
        case SQL_C_CHAR: {
            if (indicator < 0 || indicator >= column.width) fail();
            if (auto money = ParseMoney(std::string(reinterpret_cast<const char*>(cell), static_cast<std::size_t>(indicator))))
                return Variant(*money);
            fail();
            return Variant();
        }
        default: {
            if (indicator < 0 || indicator >= column.width) fail();  // cut: cannot happen within the declared length
            return Variant(FromWide(reinterpret_cast<const SQLWCHAR*>(cell), static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR)));
        }
    }
}

void RowBlock::Read(std::size_t row, std::vector<Variant>& out) const {
    out.resize(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i) out[i] = Value(columns_[i], row);
}

}  // namespace core::odbc
