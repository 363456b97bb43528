#pragma once
// How the engine's field types live in SQLite columns: the type code and
// size read from a column's declared type, and the storage form of each
// kind of value.
//
// Storage forms (chosen so that the sqlcipher shell and other tools read
// the values meaningfully):
//   Text, Memo       UTF-8 text
//   Byte..BigInt     INTEGER
//   Single, Double   REAL
//   Decimal/Numeric  REAL
//   Currency         INTEGER when whole, otherwise REAL. A double keeps 15
//                    significant digits, so four decimals read back exactly
//                    (rounded to 1/10,000) for amounts below 2^38 (about 270
//                    billion). Text is no option: CURRENCY and MONEY columns
//                    have NUMERIC affinity, which turns a numeric text into
//                    a number anyway, and a scaled integer would read as
//                    10,000 times the amount in every other tool.
//   Date             text "YYYY-MM-DD HH:MM:SS" (DateTime::ToIso), sortable
//                    and readable by SQLite's date functions
//   Boolean          INTEGER 0/1 (any non-zero reads as True)
//   Binary           BLOB

#include <optional>
#include <string>
#include <string_view>

#include "common/engine/Driver.h"
#include "common/engine/Variant.h"
#include "common/text/Utf8.h"

struct sqlite3_stmt;
struct sqlite3_value;
struct sqlite3_context;

namespace core::sqlite {

struct DeclaredType {
    DataType type = DataType::Memo;
    int size = 0;
};

// The type code and size for a declared column type such as "TEXT(50)",
// "VARCHAR(20)", "INTEGER", "CURRENCY". An empty declaration (an expression
// column) gives Memo.
DeclaredType MapDeclaredType(std::string_view declared);

// Whether a column of this type holds numbers (a text there is refused).
bool IsNumericType(DataType type);
bool IsTextType(DataType type);

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM", "YYYY-MM-DD HH:MM:SS[.mmm]" (a "T" in
// place of the blank is accepted); nothing for any other text.
std::optional<DateTime> ParseIsoDateTime(std::string_view text);

// Binds a value converted for the field (see FieldConvert.h). Raises 3421
// for a text in a number column and 3163 for a text longer than the field:
// the engine converts before it gets here, this is the last guard before
// SQLite would store it anyway. table names the table in messages.
void BindValue(sqlite3_stmt* stmt, int index, const Variant& value, const FieldInfo& field,
               const std::string& table);
// Raises what BindValue would raise for the value, binding nothing.
void CheckStorable(const Variant& value, const FieldInfo& field, const std::string& table);
// The same stored form as the result of a function of the engine's own.
void ResultValue(sqlite3_context* context, const Variant& value, const FieldInfo& field, const std::string& table);

// The column's value in the kind the field type implies. A stored value
// that has no such form (a text in a number column written by another
// tool) is returned as it is rather than hidden.
Variant ReadValue(sqlite3_stmt* stmt, int column, const FieldInfo& field);
// The same for an argument of a function of the engine's own.
Variant ReadValue(sqlite3_value* value, const FieldInfo& field);

// Text from the file as UTF-8. SQLite keeps whatever bytes a file holds, so
// a damaged or foreign file can carry texts and names that are no UTF-8;
// each byte outside a well-formed sequence reads as U+FFFD.
using text::ToValidUtf8;
// Whether ToValidUtf8 would give the bytes back unchanged.
using text::IsValidUtf8;

}  // namespace core::sqlite
