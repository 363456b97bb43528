#pragma once
// The read-only driver of single-file formats: dBASE tables, delimited
// text files and Excel 97-2003 workbooks, chosen by the connect text's
// driver segment ("dBASE IV;", "Text;", "Excel 8.0;"...).

#include <optional>
#include <string_view>

namespace core::flatfile {

enum class FileFormat { Dbase, Text, Excel };

// The format named by a driver text, compared case-insensitively; nothing
// for a text this driver does not serve.
std::optional<FileFormat> FormatOfDriverText(std::string_view driverText);

}  // namespace core::flatfile
