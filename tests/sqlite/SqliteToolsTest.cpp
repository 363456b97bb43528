#include <gtest/gtest.h>
#include <sqlcipher/sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "tests/sqlite/DatabaseFactory.h"
#include "tests/sqlite/EngineTestSupport.h"

namespace fs = std::filesystem;
using namespace core::sqlite;

namespace {

constexpr const char* kScript =
    "CREATE TABLE T (ID INTEGER PRIMARY KEY, sNome TEXT(20));"
    "INSERT INTO T (sNome) VALUES ('uno'), ('due');"
    "PRAGMA user_version = 7;";

TEST(SqliteTools, CreateRefusesAnExistingFileAndCleansUpAFailedScript) {
    TempDir dir;
    const std::string path = dir.File("a.db");
    CreateDatabase(path, kScript);
    EXPECT_EQ(ErrorNumber([&] { CreateDatabase(path, kScript); }), 3204);
    const std::string bad = dir.File("b.db");
    EXPECT_EQ(ErrorNumber([&] { CreateDatabase(bad, "CREATE TABLE (", "k"); }), 3134);
    EXPECT_FALSE(fs::exists(bad));
}

TEST(SqliteTools, ExportEncryptsAPlainDatabase) {
    TempDir dir;
    const std::string plain = dir.File("plain.db");
    const std::string secret = dir.File("secret.db");
    CreateDatabase(plain, kScript);
    ExportDatabase(plain, "ignorata", secret, "chiave");
    EXPECT_EQ(ErrorNumber([&] { core::Workspace::OpenDatabase(secret, false, false, ";"); }), 3031);
    auto dc = OpenControl(secret, ";PWD=chiave", "SELECT * FROM [T]");
    auto& rs = dc->Recordset();
    std::vector<std::string> names;
    for (; !rs.Eof(); rs.MoveNext()) names.push_back(rs.Fields()["sNome"].Value().ToText());
    EXPECT_EQ(names, (std::vector<std::string>{"uno", "due"}));
    dc->Close();
    // The version number of the structure travels with the data.
    const std::string script = dir.File("v.sql");
    std::ofstream(script) << ".output /dev/null\nPRAGMA key = 'chiave';\n.output stdout\n"
                             "PRAGMA cipher_compatibility = 3; PRAGMA user_version;\n";
    EXPECT_EQ(RunCommand("sqlcipher -batch '" + secret + "' < '" + script + "'"), "7\n");
    EXPECT_EQ(ErrorNumber([&] { ExportDatabase(plain, "", secret, "x"); }), 3204);
}

TEST(SqliteTools, IntegrityCheckFindsDamage) {
    TempDir dir;
    const std::string path = dir.File("c.db");
    std::string script = "CREATE TABLE T (ID INTEGER PRIMARY KEY, sNome TEXT(200));"
                         "CREATE INDEX ixNome ON T (sNome);";
    for (int i = 0; i < 300; ++i)
        script += "INSERT INTO T (sNome) VALUES ('nome numero " + std::to_string(i) + " con un testo lungo');";
    CreateDatabase(path, script, "k");
    const auto good = CheckIntegrity(path, "k");
    EXPECT_TRUE(good.ok);
    EXPECT_EQ(good.text, "ok");
    EXPECT_EQ(ErrorNumber([&] { CheckIntegrity(path, "sbagliata"); }), 3031);

    // Damage a page of the plain copy's index.
    const std::string copy = dir.File("d.db");
    ExportDatabase(path, "k", copy, "");
    {
        // Change one stored text behind the index's back.
        std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        const auto at = bytes.find("nome numero 150 ");
        ASSERT_NE(at, std::string::npos);
        f.seekp(static_cast<std::streamoff>(at + 12));
        f.write("XYZ", 3);
    }
    const auto bad = CheckIntegrity(copy);
    EXPECT_FALSE(bad.ok);
    EXPECT_FALSE(bad.text.empty());
}

TEST(SqliteTools, SettleFoldsALeftOverWalIntoTheFile) {
    TempDir dir;
    const std::string path = dir.File("w.db");
    CreateDatabase(path, kScript);
    const std::string copy = dir.File("w-copia.db");
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
        ASSERT_EQ(sqlite3_exec(db.get(), "PRAGMA journal_mode = WAL; INSERT INTO T (sNome) VALUES ('tre');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        // A copy taken while the -wal holds the last commit, as after a crash.
        fs::copy_file(path, copy);
        fs::copy_file(path + "-wal", copy + "-wal");
    }
    EXPECT_TRUE(HasSideFiles(copy));
    EXPECT_TRUE(SettleFile(copy));
    EXPECT_FALSE(HasSideFiles(copy));
    TestDatabase db{copy, ";"};
    EXPECT_EQ(WritableDatabaseFactories()[0]->CountRowsOutside(db, "T"), 3);
}

}  // namespace
