// Writes the Excel seeds of fuzz/corpus/excel: small workbooks with the
// cell kinds the reader knows (shared strings, numbers, RK integers, dates,
// blanks) on one and on several sheets. Usage: fuzz_make_seeds <folder>
#include <cstdio>
#include <fstream>
#include <string>

#include "XlsBuilder.h"
#include "common/engine/Drivers.h"

using namespace flatfiletest;

namespace {

void Save(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    core::RegisterBuiltInDrivers();
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    Save(folder + "/one-sheet.xls",
         BuildXls({{u"Foglio1",
                    {{std::u16string(u"Codice"), std::u16string(u"Nome"), std::u16string(u"Data"),
                      std::u16string(u"Prezzo")},
                     {XlsRk{1}, std::u16string(u"Città"), XlsDate{45000.0}, 12.5},
                     {XlsRk{-2}, std::monostate{}, XlsDate{45000.75, true}, 1e300},
                     {std::u16string(u"x"), std::u16string(u"àèìòù"), std::monostate{}, XlsRk{0}}}}}));
    Save(folder + "/two-sheets.xls",
         BuildXls({{u"Clienti", {{std::u16string(u"A"), std::u16string(u"B")}, {1.0, std::u16string(u"b")}}},
                   {u"Vuoto", {}}}));
    Save(folder + "/header-only.xls", BuildXls({{u"S", {{std::u16string(u"Solo intestazione")}}}}));
    return 0;
}
