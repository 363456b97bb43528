#pragma once
// Case and blanks of texts. Two kinds of case folding, on purpose:
// - ASCII only (AsciiLower, AsciiUpper): keywords, option names, driver
//   names and file extensions, which are ASCII by definition; every other
//   byte, UTF-8 included, stays as it is, whatever the process locale.
// - Unicode (SameTextIgnoringCase): names and codes that users write, which
//   the engine compares without regard to case in every alphabet
//   ("CITTÀ" matches "città").

#include <string>
#include <string_view>

namespace core::text {

std::string AsciiLower(std::string_view s);
std::string AsciiUpper(std::string_view s);

// Whether two UTF-8 texts are equal but for case (Unicode case folding).
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

// Blanks as the C locale's isspace knows them.
inline constexpr std::string_view kAsciiSpace = " \t\n\v\f\r";

// The text without the given characters at either end.
std::string_view Trim(std::string_view s, std::string_view chars = kAsciiSpace);

}  // namespace core::text
