#pragma once
// Text from files written on Windows. Inside the programs every text is
// UTF-8; files may come in the ANSI code page of an Italian Windows
// (Windows-1252) or already in UTF-8.

#include <string>
#include <string_view>

namespace core {

// Whether the bytes are well-formed UTF-8 (no overlongs, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Windows-1252 bytes as UTF-8. The five bytes that code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of
// the same number, as Windows itself converts them.
std::string Windows1252ToUtf8(std::string_view bytes);

// The text of a whole file: UTF-16 with a byte-order mark, UTF-8 with or
// without its mark, anything else Windows-1252. The mark is dropped.
std::string DecodeFileText(std::string_view bytes);

}  // namespace core
