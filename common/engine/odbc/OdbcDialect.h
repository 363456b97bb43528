#pragma once
// Turns the statements the programs send, written for the original engine,
// into a server's dialect:
//   [name]  -> the server's quoted identifier ("name" for PostgreSQL)
//   a + b   -> a || b where either side is a text literal or a text column,
//              for servers whose + adds numbers only (|| gives Null when
//              either side is Null, as the original + did)
// Texts between apostrophes are copied untouched.

#include <functional>
#include <string>
#include <string_view>

namespace core::odbc {

struct Dialect {
    std::string quote = "\"";     // the server's identifier quote
    std::string concat = "||";    // its text concatenation operator
};

using TextColumnTest = std::function<bool(std::string_view column)>;

std::string TranslateSql(std::string_view sql, const Dialect& dialect, const TextColumnTest& isTextColumn = {});

// The name quoted for the server, embedded quotes doubled.
std::string QuoteIdentifier(std::string_view name, const Dialect& dialect);

}  // namespace core::odbc
