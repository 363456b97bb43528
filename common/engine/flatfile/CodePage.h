#pragma once
// Single-byte code pages of old dBASE and text files, decoded to UTF-8.
// Only the pages that Italian offices' files actually use are known; a
// file in any other page is refused rather than shown with wrong letters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace core::flatfile {

enum class CodePage { Utf8, Windows1252, Dos437, Dos850 };

// The code page named by the language-driver byte of a dBASE header
// (offset 29). Byte 0 means "not marked": such files come from DOS
// programs, and on Italian systems the DOS code page is 850, which is what
// the original engine assumed for them. Nothing for a page we cannot decode.
std::optional<CodePage> CodePageFromLanguageDriver(std::uint8_t ldid);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// Decodes text in the given page to UTF-8. UTF-8 input is returned as it is.
std::string ToUtf8(std::string_view bytes, CodePage page);

// Readable name for messages, e.g. "Windows-1252".
const char* CodePageName(CodePage page);

}  // namespace core::flatfile
