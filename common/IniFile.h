#pragma once
// Reading the programs' INI files (the configuration beside each program and
// Tessily's import templates). They are only ever read, never written.

#include <cstdint>
#include <string>
#include <string_view>

namespace core {

// A value is cut to this many characters, as the Windows profile reader
// cuts it to its 255-character buffer.
inline constexpr std::size_t kIniValueMaxChars = 254;
// A file larger than this is not a configuration file: it reads as missing
// (every key gives its default) instead of being loaded into memory.
inline constexpr std::uintmax_t kIniFileMaxBytes = 4u * 1024u * 1024u;

// One value, as the Windows profile reader gives it: section and key names
// compared case-insensitively; the value with surrounding blanks and one pair
// of matching surrounding quotes (" or ') removed and cut to 254 characters;
// the default (trailing blanks removed) when the file, the section or the key
// is missing. Lines beginning with ';' are comments; the first section of a
// name and the first key of a name in it win; a value may contain '=' and
// keeps anything after a ';'. Files that are valid UTF-8 (with or without a
// mark) or UTF-16 with a mark are read as such, any other as Windows-1252.
// Returns UTF-8. Never throws for anything in the file.
std::string ReadIniString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, const std::string& file);

// A count key (FORMATS, TABLES, STD, REQ): read with the default "0" and
// converted like the runtime's CInt (see ToInt16). A key present with an
// empty value is not "0": it raises 13. Raises core::Error 13 or 6 whose
// description names the file, the section, the key and the value.
std::int16_t ReadIniCount(std::string_view section, std::string_view key, const std::string& file);

}  // namespace core
