#pragma once
// The few statement shapes the programs send, taken apart for drivers that
// have no SQL engine of their own (Access files, dBASE, text and Excel):
//   SELECT * FROM [T]
//   SELECT * FROM [T] WHERE [F] = 'text with '' doubled'
// Bracketless names are accepted too.

#include <optional>
#include <string>
#include <string_view>

namespace core {

struct SimpleSelect {
    std::string table;
    std::optional<std::string> whereField;  // set with whereValue
    std::string whereValue;                 // apostrophes already undoubled
};

// Nothing when the statement has another shape.
std::optional<SimpleSelect> ParseSimpleSelect(std::string_view sql);

// Whether a statement changes data (DELETE, UPDATE, INSERT, CREATE, DROP,
// ALTER, SELECT ... INTO).
bool IsActionStatement(std::string_view sql);

}  // namespace core
