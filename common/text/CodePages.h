#pragma once
// Text in the code pages of Windows and DOS, decoded to UTF-8 through Qt's
// decoders, with the bytes where those differ from Windows' own conversion
// put right.

#include <string>
#include <string_view>

namespace core::text {

inline constexpr int kWindows1252 = 1252;
inline constexpr int kDos850 = 850;
inline constexpr int kDos437 = 437;
inline constexpr int kUtf8 = 65001;

// Bytes in a code page given by its Windows number (1252, 850, 437, 1250...)
// as UTF-8, the way Windows converts them: the five bytes Windows-1252
// leaves unassigned become the C1 controls of the same number, and in the
// DOS pages bytes below 0x80 stay ASCII. 0 and a page Qt does not know are
// read as Windows-1252; 65001 (UTF-8) is returned as it is.
std::string FromCodePage(std::string_view bytes, int codePage);

// The text of a whole file: UTF-16 with a byte-order mark, UTF-8 with or
// without its mark, anything else Windows-1252. The mark is dropped.
std::string DecodeFileText(std::string_view bytes);

}  // namespace core::text
