#pragma once
// Writes a small Excel 97-2003 workbook byte by byte: a BIFF8 "Workbook"
// stream inside a compound document with one FAT sector and one directory
// sector. Enough for the reader's tests: texts (shared strings), numbers,
// integers, dates, blanks, several sheets.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace flatfiletest {

struct XlsDate {
    double serial;  // days since 30/12/1899, time as a fraction
    bool withTime = false;
};
struct XlsRk {
    int value;  // stored as an RK integer, as Excel stores small whole numbers
};
using XlsCell = std::variant<std::monostate, std::u16string, double, XlsRk, XlsDate>;

struct XlsSheet {
    std::u16string name;
    std::vector<std::vector<XlsCell>> rows;
};

// The complete file.
std::string BuildXls(const std::vector<XlsSheet>& sheets);

}  // namespace flatfiletest
