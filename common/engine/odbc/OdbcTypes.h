#pragma once
// The ODBC side of the engine's types: how a column a server describes
// becomes a FieldInfo, how a value is bound as a statement parameter and
// how a column of the current row is read back into a Variant.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/odbc/OdbcApi.h"

namespace core::odbc {

// The engine's description of one column (SQL type, length or precision,
// decimals and nullability as SQLDescribeCol gives them).
FieldInfo MapColumn(std::string name, SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT decimals, SQLSMALLINT nullable);

// The engine's description of every column of a prepared or executed statement.
std::vector<FieldInfo> DescribeColumns(SQLHSTMT stmt);

// Exact reading of a decimal text ("-12.3400") as money; nothing for any
// other text.
std::optional<Currency> ParseMoney(const std::string& text);

// The text of an amount of money as the server reads it ("-12.3400").
std::string MoneyText(Currency money);

// One parameter's buffer, kept alive (and in place) until the statement
// that it is bound to has run.
struct Parameter {
    SQLLEN indicator = 0;
    std::int64_t integer = 0;
    double number = 0;
    unsigned char bit = 0;
    std::string chars;
    std::u16string text;
    Bytes bytes;
    SQL_TIMESTAMP_STRUCT timestamp{};
};

// Binds value, destined for the column described by field, as input
// parameter `index` of stmt; p holds the bound copy. Returns the driver's
// answer (the caller reports a failure).
SQLRETURN BindValue(SQLHSTMT stmt, SQLUSMALLINT index, const FieldInfo& field, const Variant& value, Parameter& p);

// For a whole column of records sent as one array parameter: the type of
// the array's elements on the server, chosen as a single save of a value
// of this kind into `field` would type its parameter (a Null by the
// field's own type), so that the server converts each element to the
// column exactly as it converts that parameter.
std::string ArrayElementType(const FieldInfo& field, Variant::Kind kind);

// Appends value to the text of a server array, as in {1,NULL,"a\"b"},
// as an element of that type; false when it has no such text (a text
// holding a NUL character, a number that is not finite).
bool AppendArrayElement(std::string& literal, const Variant& value);

// The engine's date for a timestamp the driver gives.
Variant TimestampValue(const SQL_TIMESTAMP_STRUCT& ts);

// Reads column `index` of the current row as the engine's value for
// `column`; texts and binaries of any length are read in pieces. Raises the
// server's error (password hidden) when the driver refuses.
Variant ReadValue(SQLHSTMT stmt, SQLUSMALLINT index, const FieldInfo& column, const std::string& password);

}  // namespace core::odbc
