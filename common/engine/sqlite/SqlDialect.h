#pragma once
// Turns the statements the programs send, written for the original engine,
// into SQLite's dialect:
//   [name]          -> [name]            (SQLite reads brackets as a name)
//   "text"          -> 'text'            (the original engine reads double
//                                         quotes as a text literal)
//   'x' next to =, <>, <, >, <=, >=      -> 'x' COLLATE NOCASE, so that text
//                                         comparisons ignore case as before
//   a + b where a or b is a text literal or a text column -> a || b
//                                         (text concatenation; || gives Null
//                                         when either side is Null, as + did)
// Texts between apostrophes are copied untouched.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace core::sqlite {

// Whether a column name (as written, brackets removed) is a text column of
// the statement's table. Unknown names are not text.
using TextColumnTest = std::function<bool(std::string_view column)>;

std::string TranslateSql(std::string_view sql, const TextColumnTest& isTextColumn = {});

// A text between apostrophes, its own apostrophes doubled.
std::string Literal(std::string_view text);

// The table a statement works on: the first name after FROM (SELECT,
// DELETE), UPDATE or INTO, with brackets or quotes removed.
std::optional<std::string> MainTable(std::string_view sql);

// For "SELECT * FROM <table>" optionally followed by WHERE / ORDER BY
// (the shapes a recordset that can be written through comes from): the
// table name and the rest of the statement after it, still untranslated.
struct TableSelect {
    std::string table;
    std::string tail;  // e.g. " WHERE [F] = 'x'"; empty for the whole table
};
std::optional<TableSelect> ParseTableSelect(std::string_view sql);

// "name" with embedded quotes doubled, for the statements the driver
// builds itself (table and column lists, where SQLite never takes a quoted
// name for a text).
std::string QuoteName(std::string_view name);

}  // namespace core::sqlite
