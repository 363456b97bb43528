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

#include "FuzzEntries.h"

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

}  // namespace
