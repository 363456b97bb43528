// The rename that never replaces, and the swap built on it.

#include <gtest/gtest.h>

#include "common/engine/Error.h"
#include "common/platform/FileRename.h"
#include "tests/upgrade/UpgradeTestSupport.h"
#include "upgrade/FileSwap.h"

using core::platform::FileOpResult;
using namespace upgradetest;

namespace {

TEST(RenameNoReplace, MovesAFileToAFreeName) {
    TempFolder folder;
    WriteBytes(folder.File("a"), "A");
    const auto result = core::platform::RenameNoReplace(folder.File("a"), folder.File("b"));
    EXPECT_TRUE(result.Ok()) << result.systemText;
    EXPECT_FALSE(Exists(folder.File("a")));
    EXPECT_EQ(ReadBytes(folder.File("b")), "A");
}

TEST(RenameNoReplace, RefusesAnExistingTargetAndLeavesBothFiles) {
    TempFolder folder;
    WriteBytes(folder.File("a"), "A");
    WriteBytes(folder.File("b"), "B");
    const auto result = core::platform::RenameNoReplace(folder.File("a"), folder.File("b"));
    EXPECT_EQ(result.outcome, FileOpResult::Outcome::TargetExists);
    EXPECT_EQ(ReadBytes(folder.File("a")), "A");
    EXPECT_EQ(ReadBytes(folder.File("b")), "B");
}

TEST(RenameNoReplace, ReportsAMissingSource) {
    TempFolder folder;
    const auto result = core::platform::RenameNoReplace(folder.File("nessuno"), folder.File("b"));
    EXPECT_EQ(result.outcome, FileOpResult::Outcome::SourceMissing);
    EXPECT_FALSE(Exists(folder.File("b")));
    EXPECT_FALSE(result.systemText.empty());
}

TEST(SyncFiles, FlushesAFileAndItsFolderAndReportsAMissingFile) {
    TempFolder folder;
    WriteBytes(folder.File("a"), "A");
    EXPECT_TRUE(core::platform::SyncFile(folder.File("a")).Ok());
    EXPECT_TRUE(core::platform::SyncFolder(folder.Path().string()).Ok());
    EXPECT_EQ(core::platform::SyncFile(folder.File("nessuno")).outcome, FileOpResult::Outcome::SourceMissing);
}

TEST(RenameErrors, CarryTheRuntimeNumbersAndNameBothFiles) {
    const std::pair<FileOpResult::Outcome, int> cases[] = {
        {FileOpResult::Outcome::TargetExists, 58},
        {FileOpResult::Outcome::SourceMissing, 53},
        {FileOpResult::Outcome::Denied, 70},
        {FileOpResult::Outcome::Failed, 75},
    };
    for (const auto& [outcome, number] : cases) {
        FileOpResult result;
        result.outcome = outcome;
        try {
            upgrade::ThrowRenameError(result, "/d/archivio.db", "/d/archivio.db.bak");
            ADD_FAILURE() << number;
        } catch (const core::Error& e) {
            EXPECT_EQ(e.Number(), number);
            EXPECT_NE(e.Description().find("archivio.db.bak"), std::string::npos) << e.Description();
            EXPECT_NE(e.Description().find("'/d/archivio.db'"), std::string::npos) << e.Description();
        }
    }
}

TEST(FileSwap, PutsTheFilledFileInPlaceAndKeepsTheOldOneAsBackup) {
    TempFolder folder;
    WriteBytes(folder.File("arc"), "old");
    WriteBytes(folder.File("arc.upg"), "new");
    bool between = false;
    upgrade::FileSwap().Swap(folder.File("arc"), folder.File("arc.upg"), folder.File("arc.bak"), [&] {
        between = true;
        // Between the renames the old data sits complete under the backup name.
        EXPECT_FALSE(Exists(folder.File("arc")));
        EXPECT_EQ(ReadBytes(folder.File("arc.bak")), "old");
    });
    EXPECT_TRUE(between);
    EXPECT_EQ(ReadBytes(folder.File("arc")), "new");
    EXPECT_EQ(ReadBytes(folder.File("arc.bak")), "old");
    EXPECT_FALSE(Exists(folder.File("arc.upg")));
}

TEST(FileSwap, AFailingFlushIsAnError) {
    TempFolder folder;
    upgrade::FileOps ops;
    ops.syncFile = [](const std::string&) { return FileOpResult{FileOpResult::Outcome::Failed, 5, "I/O"}; };
    try {
        upgrade::FileSwap(ops).Flush(folder.File("x"));
        ADD_FAILURE();
    } catch (const core::Error& e) {
        EXPECT_EQ(e.Number(), core::err::DiskIo);
        EXPECT_NE(e.Description().find(folder.File("x")), std::string::npos);
    }
}

TEST(FileSwap, FolderOfABarePathIsEmpty) {
    EXPECT_EQ(upgrade::FolderOf("archivio.db"), "");
    EXPECT_EQ(upgrade::FolderOf("/d/e/archivio.db"), "/d/e");
}

}  // namespace
