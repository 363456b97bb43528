// The saved inputs of tests/regression/inputs/<target>/, each once more
// through the entry point of its fuzz target. An entry swallows the errors
// the engine reports by design; a crash, a sanitizer report or a broken
// invariant (abort) fails the suite.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "FuzzEntries.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/Error.h"
#include "common/engine/sqlite/SqliteTypes.h"

namespace {

namespace fs = std::filesystem;

fs::path InputsRoot() { return fs::path(AGENCY_SOURCE_DIR) / "tests" / "regression" / "inputs"; }

std::string ReadAllBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<fs::path> InputsOf(const std::string& target) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(InputsRoot() / target, ec))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

namespace fuzz {
// Test names show the target, never the bytes of the structure.
void PrintTo(const Target& target, std::ostream* os) { *os << target.name; }
}  // namespace fuzz

namespace {

class SavedInputs : public testing::TestWithParam<fuzz::Target> {};

TEST_P(SavedInputs, RunWithoutFailing) {
    const fuzz::Target& target = GetParam();
    for (const fs::path& file : InputsOf(target.name)) {
        SCOPED_TRACE(file.string());
        target.entry(ReadAllBytes(file));
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, SavedInputs, testing::ValuesIn(fuzz::Targets()),
                         [](const testing::TestParamInfo<fuzz::Target>& info) {
                             return std::string(info.param.name);
                         });

// A folder whose name is no target would be skipped without a word.
TEST(SavedInputsFolders, EachNamesATarget) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(InputsRoot(), ec)) {
        if (!entry.is_directory()) continue;
        const std::string name = entry.path().filename().string();
        const auto& targets = fuzz::Targets();
        EXPECT_TRUE(std::any_of(targets.begin(), targets.end(),
                                [&](const fuzz::Target& t) { return name == t.name; }))
            << name;
    }
}

// Inputs that the entries must take in their stride: nothing, one byte,
// and the small files the readers start from. Makes sure the entries
// themselves work in the normal build.
TEST(SavedInputsFolders, EntriesTakeEmptyAndTinyInputs) {
    for (const auto& target : fuzz::Targets()) {
        SCOPED_TRACE(target.name);
        target.entry("");
        target.entry(std::string(1, '\0'));
        target.entry("[CFG]\nSTD=3\n");
    }
}

// The fault behind the saved Excel inputs, made by hand: a directory entry
// whose stored name length (offset 0x40 of the entry) exceeds the 64 bytes
// a name holds. Such a workbook must be refused as damaged before FreeXL
// reads the name; without sanitizers its over-reads go unseen, so the
// refusal itself is checked.
TEST(SavedInputsFolders, WorkbookWithOverlongDirectoryNameIsRefused) {
    std::string book = ReadAllBytes(fs::path(AGENCY_SOURCE_DIR) / "fuzz" / "corpus" / "excel" / "header-only.xls");
    ASSERT_GT(book.size(), 0x442u);
    // First directory sector of the seed: sector 1, at 512 + 512. Its root
    // entry's name gets length 66: FreeXL alone would open this file, the
    // name simply running into the length field behind it.
    book[0x400 + 0x40] = '\x42';
    book[0x400 + 0x41] = '\x00';
    const fs::path file = fs::temp_directory_path() / ("agency-regression-" + std::to_string(::getpid()) + ".xls");
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(book.data(), static_cast<std::streamsize>(book.size()));
    }
    try {
        core::Workspace::OpenDatabase(file.string(), false, true, "Excel 8.0;");
        ADD_FAILURE() << "damaged workbook opened";
    } catch (const core::Error& e) {
        EXPECT_NE(std::string(e.what()).find("danneggiata"), std::string::npos) << e.what();
    }
    fs::remove(file);
}

// A sheet with a second, short DIMENSION record (found by fuzzing): FreeXL
// re-sizes the sheet's cells from it and reads past its buffer. Refused as
// damaged; the same file with that record turned into a blank cell opens.
TEST(SavedInputsFolders, WorkbookWithASecondDimensionIsRefused) {
    std::string book = ReadAllBytes(InputsRoot() / "excel" /
                                    "freexl-second-dimension-7fa1df0a04f52d90ce17534eb2e42c2a9af16a3b");
    constexpr std::size_t kSecondDimension = 0x1851;  // record header in this file
    ASSERT_GT(book.size(), kSecondDimension + 2);
    ASSERT_EQ(book.substr(kSecondDimension, 2), std::string("\x00\x02", 2));
    const fs::path file = fs::temp_directory_path() / ("agency-regression-" + std::to_string(::getpid()) + ".xls");
    auto write = [&] {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(book.data(), static_cast<std::streamsize>(book.size()));
    };
    write();
    try {
        core::Workspace::OpenDatabase(file.string(), false, true, "Excel 8.0;");
        ADD_FAILURE() << "damaged workbook opened";
    } catch (const core::Error& e) {
        EXPECT_NE(std::string(e.what()).find("danneggiata"), std::string::npos) << e.what();
    }
    core::Engine::Instance().Prune();
    // The sheet's last record, made its EOF (the fuzzer took the real one).
    book[kSecondDimension] = '\x0A';
    book[kSecondDimension + 1] = '\x00';
    write();
    EXPECT_NO_THROW(core::Workspace::OpenDatabase(file.string(), false, true, "Excel 8.0;"));
    core::Engine::Instance().Prune();
    fs::remove(file);
}

// Texts and names that SQLite hands back hold whatever bytes the file had;
// the driver passes well-formed UTF-8 through untouched and turns each
// stray byte into U+FFFD.
TEST(SavedInputsFolders, SqliteTextsAreMadeValidUtf8) {
    using core::sqlite::ToValidUtf8;
    const std::string kBad = "\xEF\xBF\xBD";
    EXPECT_EQ(ToValidUtf8("Citt\xC3\xA0 \xF0\x9F\x98\x80"), "Citt\xC3\xA0 \xF0\x9F\x98\x80");
    EXPECT_EQ(ToValidUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(ToValidUtf8("Citt\xE0"), "Citt" + kBad);                  // Windows-1252 byte
    EXPECT_EQ(ToValidUtf8("\xC3"), kBad);                                // cut sequence
    EXPECT_EQ(ToValidUtf8("\xC0\xAF"), kBad + kBad);                     // overlong form
    EXPECT_EQ(ToValidUtf8("\xED\xA0\x80x"), kBad + kBad + kBad + "x");   // surrogate
    EXPECT_EQ(ToValidUtf8("\xF4\x90\x80\x80"), kBad + kBad + kBad + kBad);  // past U+10FFFF
    // Long texts are scanned eight bytes at a time: stray bytes and
    // sequences on and across those boundaries.
    EXPECT_EQ(ToValidUtf8("abcdefgh\xE0" "ijklmnopqrstuvw"), "abcdefgh" + kBad + "ijklmnopqrstuvw");
    EXPECT_EQ(ToValidUtf8("abcdefg\xC3\xA0" "xyzuvwqrstklmnop"), "abcdefg\xC3\xA0" "xyzuvwqrstklmnop");
    EXPECT_EQ(ToValidUtf8("abcdefghijklmnop\xC3"), "abcdefghijklmnop" + kBad);
}

}  // namespace
