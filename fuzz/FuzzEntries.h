#pragma once
// One entry point per fuzz target. The libFuzzer executables call them for
// each generated input, and the regression tests feed them every saved
// crashing input, so a fixed finding stays fixed in the normal suite.
//
// Each entry reads the bytes the way the programs would and swallows only
// core::Error (a refused input is a good outcome). Anything else escapes:
// a crash, a sanitizer report, an uncaught exception or a broken invariant
// (checked with FuzzCheck, which aborts) is a finding.

#include <string_view>
#include <vector>

namespace fuzz {

using Entry = void (*)(std::string_view data);

struct Target {
    const char* name;  // also the folder of its corpus and regression inputs
    Entry entry;
};

void IniInput(std::string_view data);      // INI values and counts
void ParsersInput(std::string_view data);  // number, date, hex, SQL, connect, filter, Jet header
void AccessInput(std::string_view data);   // an Access file through the engine
void DbaseInput(std::string_view data);    // a dBASE table (and memo file)
void TextInput(std::string_view data);     // a delimited text file
void ExcelInput(std::string_view data);    // an Excel 97-2003 workbook
void SqliteInput(std::string_view data);   // a SQLite file, with and without a password

const std::vector<Target>& Targets();

}  // namespace fuzz
