// What only the SQLite driver does: files that are not (readable)
// databases, plain files and passwords, the index behind look-ups, the
// batching of writes, and the guard against values SQLite would store in
// the wrong form.

#include <gtest/gtest.h>
#include <sqlcipher/sqlite3.h>

#include <filesystem>
#include <fstream>

#ifdef __unix__
#include <unistd.h>
#endif

#include "common/engine/Drivers.h"
#include "common/engine/Engine.h"
#include "common/engine/sqlite/SqlDialect.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "tests/sqlite/DatabaseFactory.h"
#include "tests/sqlite/EngineTestSupport.h"
#include "tests/support/FilePermissionsHold.h"

using core::Variant;
namespace fs = std::filesystem;

namespace {

constexpr const char* kAreas =
    "CREATE TABLE tblAree (ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " sCodice TEXT(10) COLLATE NOCASE NOT NULL, sDescrizione TEXT(50));"
    "CREATE UNIQUE INDEX ixCodice ON tblAree (sCodice);"
    "CREATE TABLE tblBinario (ID INTEGER PRIMARY KEY, sCodice TEXT(10), nValore LONG);"
    "CREATE INDEX ixBinario ON tblBinario (sCodice);"
    "INSERT INTO tblAree (sCodice, sDescrizione) VALUES ('ABC', 'prima');"
    "INSERT INTO tblBinario (sCodice, nValore) VALUES ('XYZ', 1);";

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

class SqliteDriverTest : public ::testing::Test {
protected:
    void TearDown() override { core::Engine::Instance().FlushAll(); }
    std::string Plain() {
        const std::string path = dir_.File("plain.db");
        if (!fs::exists(path)) core::sqlite::CreateDatabase(path, kAreas);
        return path;
    }
    TempDir dir_;
};

TEST(SqliteDriver, DriverTextsHeaderAndDefault) {
    auto driver = core::MakeSqliteDriver();
    ASSERT_TRUE(driver);
    for (const char* text : {"SQLite", "sqlite3", "SQLite 3", "SQLCipher"})
        EXPECT_TRUE(driver->HandlesDriverText(text)) << text;
    for (const char* text : {"Access 2000", "dBASE IV", "SQLiteX", "Text", ""})
        EXPECT_FALSE(driver->HandlesDriverText(text)) << text;
    EXPECT_TRUE(driver->RecognisesHeader(std::string("SQLite format 3\0more", 20)));
    EXPECT_FALSE(driver->RecognisesHeader("SQLite format 3"));
    EXPECT_FALSE(driver->RecognisesHeader(std::string("\0\1\0\0Standard Jet DB", 19)));
    EXPECT_TRUE(driver->IsDefault());
}

TEST_F(SqliteDriverTest, PlainFileOpensWithAnyPassword) {
    const std::string path = Plain();
    for (const char* connect : {"", ";", ";PWD=qualsiasi", "SQLite;PWD=x"}) {
        auto dc = OpenControl(path, connect, "SELECT * FROM [tblAree]");
        EXPECT_FALSE(dc->Recordset().Eof()) << connect;
    }
}

TEST_F(SqliteDriverTest, FilesThatAreNoDatabaseGetTheirOwnNumbers) {
    EXPECT_EQ(ErrorNumber([&] { core::Workspace::OpenDatabase(dir_.Path().string(), false, false, ";"); }),
              3044);

    const std::string empty = dir_.File("vuoto.db");
    WriteFile(empty, "");
    EXPECT_EQ(ErrorNumber([&] { core::Workspace::OpenDatabase(empty, false, false, ";"); }), 3343);
    EXPECT_EQ(fs::file_size(empty), 0u);  // not turned into a database

    const std::string text = dir_.File("testo.db");
    WriteFile(text, "Codice;Descrizione\nA;Prima\n");
    EXPECT_EQ(ErrorNumber([&] { core::Workspace::OpenDatabase(text, false, false, ";PWD=x"); }), 3343);

    // A real database whose schema page is damaged.
    const std::string corrupt = dir_.File("rotto.db");
    fs::copy_file(Plain(), corrupt);
    {
        std::fstream f(corrupt, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(100);
        const std::string junk(800, '\x5a');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    EXPECT_EQ(ErrorNumber([&] {
                  auto db = core::Workspace::OpenDatabase(corrupt, false, false, ";");
                  db->OpenRecordset("tblAree");
              }),
              3049);
}

TEST_F(SqliteDriverTest, UnreadableFileGives3051) {
    const std::string path = Plain();
    testsupport::FilePermissionsHold hold;
    fs::permissions(path, fs::perms::none);
    if (!testsupport::CannotOpenForReading(path)) {
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
        GTEST_SKIP() << "this process reads files whatever their permissions";
    }
    EXPECT_EQ(ErrorNumber([&] { core::Workspace::OpenDatabase(path, false, false, ";"); }), 3051);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(SqliteDriverTest, EncryptedFileUsesTheExplicitCipherSettings) {
    const std::string path = dir_.File("cifrato.db");
    core::sqlite::CreateDatabase(path, kAreas, "segreta");
    std::ifstream in(path, std::ios::binary);
    std::string header(16, '\0');
    in.read(header.data(), 16);
    EXPECT_NE(header, std::string("SQLite format 3\0", 16));
    EXPECT_EQ(fs::file_size(path) % 1024, 0u);
    // Another tool opens it given the same settings explicitly.
    const std::string script = dir_.File("leggi.sql");
    WriteFile(script,
              "PRAGMA key = 'segreta'; PRAGMA cipher_compatibility = 3; SELECT sCodice FROM tblAree;\n");
    // The shell answers "ok" to the key.
    EXPECT_EQ(RunCommand("sqlcipher -batch '" + path + "' < '" + script + "'"), "ok\nABC\n");
}

TEST_F(SqliteDriverTest, LookUpUsesTheIndexAndIgnoresCaseWithoutNocase) {
    const std::string path = Plain();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
    auto plan = [&](const std::string& sql) {
        const std::string explain = "EXPLAIN QUERY PLAN " + core::sqlite::TranslateSql(sql);
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db.get(), explain.c_str(), -1, &stmt, nullptr), SQLITE_OK);
        std::string detail;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            detail += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3));
        sqlite3_finalize(stmt);
        return detail;
    };
    EXPECT_NE(plan("SELECT * FROM [tblAree] WHERE [sCodice] = 'abc'").find("INDEX ixCodice"),
              std::string::npos);

    // A column declared without NOCASE still compares without case (its
    // index cannot serve that comparison; the sample structures declare
    // NOCASE for that reason).
    auto dc = OpenControl(path, ";", "SELECT * FROM [tblBinario] WHERE [sCodice] = 'xyz'");
    EXPECT_FALSE(dc->Recordset().Eof());
}

// A look-up reads the rest of a row by its rowid only when a field other
// than the key is asked for: every field, and the rows and their order,
// are what the same statement gives read whole (a tail that is no look-up).
TEST_F(SqliteDriverTest, LookUpGivesWhatTheWholeRowGives) {
    const struct {
        const char* name;
        const char* table;
    } cases[] = {
        {"counter", "CREATE TABLE t (ID INTEGER PRIMARY KEY AUTOINCREMENT, c TEXT(5) COLLATE NOCASE, d TEXT(9), n DOUBLE);"
                    "CREATE INDEX ic ON t (c);"},
        {"rowid key", "CREATE TABLE t (ID INTEGER PRIMARY KEY, c TEXT(5), d TEXT(9), n DOUBLE);"},
        {"no key", "CREATE TABLE t (c TEXT(5), d TEXT(9), n DOUBLE); CREATE INDEX ic ON t (c);"},
        {"key that is no rowid", "CREATE TABLE t (ID INTEGER PRIMARY KEY DESC, c TEXT(5), d TEXT(9), n DOUBLE);"},
        {"without rowid", "CREATE TABLE t (c TEXT(5) PRIMARY KEY, d TEXT(9), n DOUBLE) WITHOUT ROWID;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_.File(std::string(c.name) + ".db");
        const bool unique = std::string(c.table).find("WITHOUT ROWID") != std::string::npos;
        core::sqlite::CreateDatabase(
            path, std::string(c.table) + "INSERT INTO t (c, d, n) VALUES ('B', 'primo', 1.5), ('a''b', 'apice', NULL)," +
                      (unique ? "" : " ('b', 'secondo', -2), ('B', 'terzo', 3),") + " ('x', NULL, 0);");
        auto db = core::Workspace::OpenDatabase(path, false, false, ";");
        for (const char* code : {"b", "a''b", "x", "nessuno"}) {
            SCOPED_TRACE(code);
            const std::string lookup = std::string("SELECT * FROM [t] WHERE [c] = '") + code + "'";
            auto rows = [&](const std::string& sql, bool keyFirst) {
                std::vector<std::string> out;
                for (auto rs = db->OpenRecordset(sql); !rs->Eof(); rs->MoveNext()) {
                    std::string row;
                    const int n = rs->Fields().Count();
                    // The key alone first, as Varnel reads a look-up; then every field.
                    if (keyFirst) row += core::Describe(rs->GetValue(0)) + " /";
                    for (int i = 0; i < n; ++i) row += " " + core::Describe(rs->GetValue(i));
                    out.push_back(row.substr(keyFirst ? row.find('/') + 1 : 0));
                }
                return out;
            };
            const auto whole = rows(lookup + " AND 1 = 1", false);
            EXPECT_EQ(rows(lookup, true), whole);
            EXPECT_EQ(rows(lookup, false), whole);
        }
        db->Close();
    }
}

TEST_F(SqliteDriverTest, WritesAreCommittedInBatchesAndAtFlush) {
    const std::string path = Plain();
    auto dc = OpenControl(path, ";", "SELECT * FROM [tblBinario]");
    auto& rs = dc->Recordset();
    const int batch = 20000;
    for (int i = 0; i <= batch; ++i) {
        rs.AddNew();
        rs.Fields()["nValore"] = i;
        rs.Update();
    }
    TestDatabase db{path, ";"};
    const long long outside = WritableDatabaseFactories()[0]->CountRowsOutside(db, "tblBinario");
    EXPECT_GE(outside, batch);
    EXPECT_LE(outside, batch + 1);
    core::Engine::Instance().FlushAll();
    EXPECT_EQ(WritableDatabaseFactories()[0]->CountRowsOutside(db, "tblBinario"), batch + 2);
    EXPECT_FALSE(fs::exists(path + "-journal"));
}

// Closing commits; a control destroyed without closing commits nothing
// (nobody could be told if that failed) and rolls its writes back.
TEST_F(SqliteDriverTest, ClosingCommitsAndDestroyingRollsBackLeavingNoSideFiles) {
    const std::string path = Plain();
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "closed" : "destroyed");
        {
            auto dc = OpenControl(path, ";", "SELECT * FROM [tblAree]");
            auto& rs = dc->Recordset();
            rs.AddNew();
            rs.Fields()["sCodice"] = close ? "CHIUSO" : "DISTRUTTO";
            rs.Update();
            EXPECT_TRUE(fs::exists(path + "-journal"));  // the implicit transaction
            if (close) dc->Close();
        }
        EXPECT_FALSE(core::sqlite::HasSideFiles(path));
        auto dc = OpenControl(path, ";", std::string("SELECT * FROM [tblAree] WHERE [sCodice] = '") +
                                             (close ? "chiuso" : "distrutto") + "'");
        EXPECT_EQ(dc->Recordset().Eof(), !close);
    }
}

TEST_F(SqliteDriverTest, CursorRefusesValuesSqliteWouldStoreInTheWrongForm) {
    // Straight to the driver, past the engine's own conversion.
    core::OpenRequest request;
    request.path = Plain();
    auto connection = core::MakeSqliteDriver()->Open(request);
    auto cursor = connection->OpenCursor("SELECT * FROM [tblBinario]");
    ASSERT_TRUE(cursor->Updatable());
    std::vector<std::optional<Variant>> values(3);
    values[2] = Variant("abc");
    EXPECT_EQ(ErrorNumber([&] { cursor->Insert(values); }), 3421);
    values[2].reset();
    values[1] = Variant("12345678901");
    EXPECT_EQ(ErrorNumber([&] { cursor->Insert(values); }), 3163);
    values[1] = Variant("1234567890");
    cursor->Insert(values);
    connection->Flush();
    auto check = connection->OpenCursor("SELECT * FROM [tblBinario] WHERE [sCodice] = '1234567890'");
    ASSERT_FALSE(check->AtEnd());
    EXPECT_TRUE(check->Get(2).IsNull());
}

TEST_F(SqliteDriverTest, TableNamesLeaveOutSqliteOwnTables) {
    core::OpenRequest request;
    request.path = Plain();
    auto connection = core::MakeSqliteDriver()->Open(request);
    // AUTOINCREMENT made sqlite_sequence.
    auto internal = connection->OpenCursor("SELECT name FROM sqlite_master WHERE name = 'sqlite_sequence'");
    EXPECT_FALSE(internal->AtEnd());
    EXPECT_EQ(connection->TableNames(), (std::vector<std::string>{"tblAree", "tblBinario"}));
}

TEST_F(SqliteDriverTest, StatementErrorsAreReportedNotRun) {
    auto database = core::Workspace::OpenDatabase(Plain(), false, false, ";");
    // A second statement after a semicolon is refused as a whole.
    EXPECT_EQ(ErrorNumber([&] { database->Execute("DELETE FROM [tblAree] WHERE [sCodice] = 'x'; DELETE FROM [tblBinario]"); }),
              3134);
    EXPECT_EQ(ErrorNumber([&] { database->Execute("DELETE FROM [tblAree] WHERE [sCodice] = = 'x'"); }), 3134);
    // An unknown name in a condition is the original engine's missing parameter.
    EXPECT_EQ(ErrorNumber([&] { database->OpenRecordset("SELECT * FROM [tblAree] WHERE [sNessuno] = 'x'"); }),
              3061);
    auto rs = database->OpenRecordset("tblBinario");
    EXPECT_FALSE(rs->Eof());
}

}  // namespace
