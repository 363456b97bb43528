#pragma once
// Single-byte code pages of old dBASE and text files, decoded to UTF-8.
// Only the pages that Italian offices' files actually use are known; a
// file in any other page is refused rather than shown with wrong letters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/text/CodePages.h"

namespace core::flatfile {

// Each page by its Windows number.
enum class CodePage {
    Utf8 = text::kUtf8,
    Windows1252 = text::kWindows1252,
    Dos437 = text::kDos437,
    Dos850 = text::kDos850,
};

// The code page named by the language-driver byte of a dBASE header
// (offset 29). Byte 0 means "not marked": such files come from DOS
// programs, and on Italian systems the DOS code page is 850, which is what
// the original engine assumed for them. Nothing for a page we cannot decode.
std::optional<CodePage> CodePageFromLanguageDriver(std::uint8_t ldid);

// Decodes text in the given page to UTF-8. UTF-8 input is returned as it is.
inline std::string ToUtf8(std::string_view bytes, CodePage page) {
    return text::FromCodePage(bytes, static_cast<int>(page));
}

}  // namespace core::flatfile
