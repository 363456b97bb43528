#pragma once
// UTF-8, the form of every text inside the programs.

#include <string>
#include <string_view>

namespace core::text {

// Whether the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The bytes with each byte that begins no well-formed sequence replaced by
// U+FFFD; well-formed input comes back unchanged.
std::string ToValidUtf8(std::string_view bytes);

}  // namespace core::text
