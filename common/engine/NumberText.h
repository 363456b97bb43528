#pragma once
// Numbers as text in the system's number format (decimal and grouping
// separators), as the programs' runtime writes and reads them, and the
// leading-number reading that ignores the system's format.

#include <optional>
#include <string>
#include <string_view>

namespace core {

struct NumberFormat {
    char decimalPoint = '.';
    char groupSeparator = ',';

    static NumberFormat& System();  // program-wide; set once at start-up
    static void SetFromLocale();    // from the user's regional settings (QLocale)
};

// The shortest text that reads back as the same double, with the system's
// decimal point; whole numbers without a decimal part ("12", "-3.5").
std::string FormatNumber(double value);

// A text that the runtime judges numeric in the system's number format:
// surrounding blanks, a sign (leading or trailing), grouping separators
// between digits, one decimal point, an exponent, a currency-free plain
// number, or &H/&O hexadecimal and octal. Returns nothing when it is not.
std::optional<double> ParseSystemNumber(std::string_view text);

// The leading-number rule: blanks, tabs and line feeds are ignored wherever
// they stand; an optional sign, digits with at most one "." and an optional
// exponent are read as far as they go; a text beginning with &H or &O is a
// hexadecimal or octal whole number; anything else gives 0.
double LeadingNumber(std::string_view text);

}  // namespace core
