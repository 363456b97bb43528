// Damaged files of every format, made by cutting and overwriting bytes of a
// good one: each must be read or refused with a core::Error, never crash,
// hang or hand out a row with the wrong number of values.

#include <random>

#include "FlatFileTestSupport.h"
#include "XlsBuilder.h"
#include "common/engine/flatfile/DbfTable.h"
#include "common/engine/flatfile/TextTable.h"
#include "common/engine/flatfile/XlsWorkbook.h"

using namespace flatfiletest;
using namespace core::flatfile;

// FreeXL 1.0.6 leaks a few kilobytes inside itself on some damaged
// workbooks (its handle is closed); keep the sanitizer build's leak check
// about our own code.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfreexl\n"; }

namespace {

void ReadWhole(const std::function<std::vector<std::unique_ptr<core::Cursor>>()>& open) {
    try {
        for (auto& cursor : open()) {
            const std::size_t width = cursor->Columns().size();
            for (int n = 0; !cursor->AtEnd(); cursor->Next(), ++n) {
                ASSERT_LT(n, 100000) << "endless table";
                for (std::size_t i = 0; i < width; ++i) cursor->Get(int(i));
            }
        }
    } catch (const core::Error&) {
        // refused: fine
    }
}

void Torture(const std::string& file, const std::string& good,
             const std::function<std::vector<std::unique_ptr<core::Cursor>>()>& open) {
    std::mt19937 random(20240229);
    for (std::size_t keep = 0; keep < good.size(); keep += 1 + good.size() / 97) {
        WriteBytes(file, good.substr(0, keep));
        ReadWhole(open);
    }
    for (int round = 0; round < 300; ++round) {
        std::string bytes = good;
        const int changes = 1 + int(random() % 4);
        for (int i = 0; i < changes; ++i) bytes[random() % bytes.size()] = char(random() % 256);
        WriteBytes(file, bytes);
        ReadWhole(open);
    }
}

TEST(Robustness, DamagedDbaseTables) {
    ScratchFolder folder;
    const std::string file = folder.Path("t.dbf");
    std::vector<DbfRow> rows;
    for (int i = 0; i < 30; ++i)
        rows.push_back({std::to_string(i), "nome\x85", "12.5", "20200101", "T", "         1"});
    WriteDbf(file, 0x02, {{"N", 'N', 4, 0}, {"C", 'C', 12}, {"D", 'N', 8, 2}, {"DT", 'D', 8},
                          {"L", 'L', 1}, {"M", 'M', 10}},
             rows);
    std::string dbt(512, '\0');
    dbt += "memo\x1A";
    WriteBytes(folder.Path("t.dbt"), dbt);
    const std::string good = ReadBytes(file);
    Torture(file, good, [&] {
        std::vector<std::unique_ptr<core::Cursor>> c;
        c.push_back(OpenDbfTable(file));
        return c;
    });
}

TEST(Robustness, DamagedTextFiles) {
    ScratchFolder folder;
    const std::string file = folder.Path("t.csv");
    std::string good = "A;B;\"C\"\r\n";
    for (int i = 0; i < 30; ++i) good += std::to_string(i) + ";\"x\"\"y\r\nz\";Citt\xE0\r\n";
    Torture(file, good, [&] {
        std::vector<std::unique_ptr<core::Cursor>> c;
        c.push_back(OpenTextTable(file, ScanTextFile(file)));
        return c;
    });
}

TEST(Robustness, DamagedWorkbooks) {
    ScratchFolder folder;
    const std::string file = folder.Path("t.xls");
    XlsSheet sheet;
    sheet.name = u"Dati";
    sheet.rows.push_back({u"Codice", u"Nome", u"Data"});
    for (int i = 0; i < 30; ++i)
        sheet.rows.push_back({XlsRk{i}, u"nome " + std::u16string(1, char16_t(u'a' + i % 26)), XlsDate{40000.0 + i}});
    const std::string good = BuildXls({sheet, sheet});
    Torture(file, good, [&] {
        std::vector<std::unique_ptr<core::Cursor>> c;
        auto book = XlsWorkbook::Open(file);
        for (int i = 0; i < int(book->SheetNames().size()); ++i) c.push_back(XlsWorkbook::OpenSheet(book, i));
        return c;
    });
}

}  // namespace
