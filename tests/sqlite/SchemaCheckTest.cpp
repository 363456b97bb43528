// Plain files with a forged or damaged schema are refused as damaged by the
// library itself (SQLCipher 3.4 read through a null pointer on a table made
// from a query and needed a look at the schema pages of its own); every real
// schema still opens.

#include <gtest/gtest.h>
#include <sqlcipher/sqlite3.h>

#include <string>

#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "tests/sqlite/DatabaseFactory.h"
#include "tests/sqlite/EngineTestSupport.h"

namespace {

void Exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
}

// A plain database with `tables` tables (each statement padded to about
// `padding` bytes, so long ones spill onto overflow pages), then, when
// forged is given, the statement of table number `victim` replaced in the
// schema table, as only a damaged or forged file would hold it.
std::string MakeDatabase(const TempDir& dir, const std::string& name, int tables, int padding, int pageSize,
                         const std::string& forged = {}, int victim = 0) {
    const std::string path = dir.File(name);
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    Exec(db, "PRAGMA page_size = " + std::to_string(pageSize));
    Exec(db, "BEGIN");
    for (int i = 0; i < tables; ++i) {
        std::string columns = "ID INTEGER PRIMARY KEY";
        for (int c = 0; static_cast<int>(columns.size()) < padding; ++c)
            columns += ", sCampo" + std::to_string(c) + " TEXT(50)";
        Exec(db, "CREATE TABLE tbl" + std::to_string(i) + " (" + columns + ")");
    }
    Exec(db, "CREATE VIEW vista AS SELECT * FROM tbl0");
    Exec(db, "COMMIT");
    if (!forged.empty()) {
        Exec(db, "PRAGMA writable_schema = ON");
        std::string quoted;
        for (char c : forged) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        Exec(db, "UPDATE sqlite_master SET sql = '" + quoted + "' WHERE name = 'tbl" + std::to_string(victim) + "'");
    }
    sqlite3_close(db);
    return path;
}

int OpenError(const std::string& path) {
    return ErrorNumber([&] { core::Workspace::OpenDatabase(path, false, true, ";")->TableDefs(); });
}

TEST(SchemaCheck, ForgedStatementIsFoundWhereverItSits) {
    TempDir dir;
    const std::string forged = "CREATE TABLE tbl AS SELECT * FROM tbl1";
    // First record of a one-page schema; the last of a schema spread over
    // interior and leaf pages; a record whose statement runs onto overflow
    // pages; a 64 KiB page.
    const std::string paths[] = {
        MakeDatabase(dir, "primo.db", 3, 40, 1024, forged, 0),
        MakeDatabase(dir, "ultimo.db", 300, 200, 512, forged, 299),
        MakeDatabase(dir, "lungo.db", 5, 3000, 1024, forged + " WHERE '' = '" + std::string(2000, 'x') + "'", 3),
        MakeDatabase(dir, "grande.db", 40, 100, 65536, forged, 20),
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(OpenError(path), 3049);
    }
}

TEST(SchemaCheck, RealSchemasOfEveryShapeOpen) {
    TempDir dir;
    const std::string paths[] = {
        MakeDatabase(dir, "vuoto.db", 0, 0, 4096),
        MakeDatabase(dir, "piccolo.db", 3, 40, 1024),
        MakeDatabase(dir, "molte.db", 300, 200, 512),
        MakeDatabase(dir, "lunghe.db", 5, 5000, 1024),
        MakeDatabase(dir, "grande.db", 40, 100, 65536),
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(OpenError(path), 0);
    }
}

// Pages that do not hold together are damage too.
TEST(SchemaCheck, OtherDamageIsLeftToTheLibrary) {
    TempDir dir;
    const std::string path = MakeDatabase(dir, "rotto.db", 300, 200, 512);
    {
        std::FILE* file = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(file, nullptr);
        // Page 1's b-tree header: an interior page pointing past the file.
        std::fseek(file, 100 + 8, SEEK_SET);
        const unsigned char beyond[4] = {0x7F, 0xFF, 0xFF, 0xFF};
        std::fwrite(beyond, 1, sizeof beyond, file);
        std::fclose(file);
    }
    EXPECT_EQ(OpenError(path), 3049);
}

}  // namespace
