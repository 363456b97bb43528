#pragma once
// Small conversions shared by the three programs: the stored password's
// hexadecimal form, numbers read from variants and from INI counts.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/engine/Variant.h"

namespace core {

// The password stored as hexadecimal digit pairs, one pair per Windows-1252
// character ("616263" -> "abc", "E0" -> "à"), returned as UTF-8. The text is
// taken two characters at a time; each group is read by HexPairValue, so
// "6A" and "6a" give "j", "616" gives "a" and the character 6, a pair whose
// first character is no hex digit gives 0, and "6G" gives 6. Never fails.
// A group worth 0 ends the password: what follows it is dropped, since a
// NUL cannot travel in a connect text (the engine would cut the key there
// anyway) and must not reach it as part of a key.
std::string DecodeHex(std::string_view encoded);

// The value of one group of up to two hexadecimal digits ("&H" + pair read
// as a number literal: blanks are skipped, reading stops at the first
// character that is no hex digit). Rewrites the caller's pair in upper case.
std::int16_t HexPairValue(std::string& pair);

// The numeric value of a variant, or 0: Null, the empty text, a text that is
// not a number in the system's number format, a date and binary data give 0;
// numbers (and True, -1) pass through. Never throws.
double ValueAsDouble(const Variant& value);

// A text converted to a 16-bit whole number as the runtime's CInt does: the
// system's number format, blanks around it allowed, rounded half to even.
// Raises core::Error 13 ("Tipo non corrispondente") when the text is not a
// number (the empty text included) and 6 ("Overflow") outside -32768..32767.
std::int16_t ToInt16(std::string_view text);

}  // namespace core
