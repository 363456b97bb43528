#pragma once
// A delimited text file (.csv, .txt) as a table: the first line names the
// fields, every later line is a record. Read with libcsv, one chunk at a
// time, so memory stays flat whatever the number of lines.
//
// What a read verifies (a text file declares no length, so a file cut at a
// line break cannot be told from a shorter one): no NUL byte (3343), no
// quote left open at the end, no line with more values than the header has
// names, every value valid in the encoding the scan chose (3049).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/flatfile/CodePage.h"

namespace core::flatfile {

// What one pass over the file finds out before any record is handed out.
struct TextLayout {
    CodePage page = CodePage::Utf8;
    char separator = ',';  // '\0' for a file of one field
    std::size_t bomLength = 0;  // bytes of the UTF-8 byte-order mark, 0 or 3
    // All text: size 255, or a memo (size 0) where some value is longer.
    std::vector<FieldInfo> columns;
    std::uint64_t fileSize = 0;
    std::int64_t modified = 0;  // last write time, to notice a changed file
};

// Reads the whole file once: the separator (the most frequent of ';', tab
// and ',' outside quotes on the first line), the encoding (UTF-8 when every
// byte sequence is valid UTF-8, otherwise Windows-1252), the field names
// and the longest value of each field. Raises an error naming the file for
// an empty, binary, UTF-16 or damaged file (a quote left open at the end,
// a line with more values than the header has names).
TextLayout ScanTextFile(const std::string& file);

// The table's records, first record current.
std::unique_ptr<Cursor> OpenTextTable(const std::string& file, const TextLayout& layout);

}  // namespace core::flatfile
