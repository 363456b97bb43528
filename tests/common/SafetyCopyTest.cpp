// The safety copies of a destination file: their names, how many each
// program keeps, and putting one back.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <ctime>
#include <filesystem>

#include "common/SafetyCopy.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"

namespace {

namespace fs = std::filesystem;

long long Rows(const std::string& path, const std::string& key) {
    auto db = core::Workspace::OpenDatabase(path, false, true, ";PWD=" + key);
    auto rs = db->OpenRecordset("SELECT COUNT(*) AS [n] FROM [tblAree]");
    const long long n = rs->Fields().Item(0).Value().ToInteger();
    rs->Close();
    db->Close();
    core::Engine::Instance().Prune();
    return n;
}

void AddRow(const std::string& path, const std::string& key) {
    auto db = core::Workspace::OpenDatabase(path, false, false, ";PWD=" + key);
    db->Execute("INSERT INTO [tblAree] ([sCodice]) VALUES ('X')");
    core::Engine::Instance().FlushAll();
    db->Close();
    core::Engine::Instance().Prune();
}

TEST(SafetyCopyTest, NamedByProgramAndTimeBesideTheFile) {
    std::tm when{};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 7;
    when.tm_hour = 9;
    when.tm_min = 5;
    when.tm_sec = 3;
    when.tm_isdst = -1;
    EXPECT_EQ(core::SafetyCopyPath("/dati/archivio5.db", "Varnel", std::mktime(&when)),
              "/dati/archivio5.db.prima-varnel-20240307-090503");
}

// Each program keeps its own last three; a copy put back restores the data,
// encrypted or plain.
TEST(SafetyCopyTest, KeepsTheLastThreeOfEachProgramAndPutsOneBack) {
    for (const std::string key : {"chiave", ""}) {
        SCOPED_TRACE(key.empty() ? "plain" : "encrypted");
        QTemporaryDir dir;
        const std::string file = dir.path().toStdString() + "/archivio.db";
        core::sqlite::CreateDatabase(file, "CREATE TABLE tblAree (ID INTEGER PRIMARY KEY, sCodice VARCHAR(10));", key);
        const auto tessily = core::SafetyCopy::Make(file, key, "Tessily");
        std::vector<std::string> made;
        for (int i = 0; i < 5; ++i) {
            AddRow(file, key);
            made.push_back(core::SafetyCopy::Make(file, key, "Varnel").Path());
        }
        EXPECT_EQ(core::SafetyCopies(file, "Varnel"), std::vector<std::string>(made.end() - 3, made.end()));
        EXPECT_EQ(core::SafetyCopies(file, "Tessily"), std::vector<std::string>{tessily.Path()});
        EXPECT_EQ(Rows(made.back(), key), 5);

        AddRow(file, key);
        AddRow(file, key);
        ASSERT_EQ(Rows(file, key), 7);
        tessily.Restore();
        EXPECT_EQ(Rows(file, key), 0);
        EXPECT_TRUE(core::sqlite::CheckIntegrity(file, key).ok);
        EXPECT_TRUE(fs::exists(tessily.Path()));  // the copy stays
    }
}

TEST(SafetyCopyTest, ACopyThatCannotBeMadeLeavesNothing) {
    QTemporaryDir dir;
    const std::string file = dir.path().toStdString() + "/archivio.db";
    core::sqlite::CreateDatabase(file, "CREATE TABLE tblAree (ID INTEGER PRIMARY KEY);", "chiave");
    EXPECT_THROW(core::SafetyCopy::Make(file, "sbagliata", "Varnel"), core::Error);
    // Abandoned half-way (a stop during the copy): nothing either.
    EXPECT_THROW(core::SafetyCopy::Make(file, "chiave", "Varnel", [](int, int) { throw core::Error(18, "stop"); }),
                 core::Error);
    EXPECT_TRUE(core::SafetyCopies(file, "Varnel").empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path().toStdString()), fs::directory_iterator{}), 1);
}

}  // namespace
