// The driver on the real fixture files: choice by connect text and header,
// the password rules, the errors it reports, types and sizes, and values
// whose exact form matters (accents, currency, dates, Null against empty).

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <functional>

#include "common/engine/Drivers.h"
#include "common/engine/Error.h"
#include "common/engine/access/AccessConnection.h"
#include "common/engine/access/JetHeader.h"
#include "tests/access/AccessFixtures.h"

using namespace core;
using accesstest::FixturePath;
using core::access::AccessConnection;
using core::access::ReadJetHeader;

namespace {

int ErrorNumber(const std::function<void()>& action, std::string* description = nullptr) {
    try {
        action();
    } catch (const Error& e) {
        if (description) *description = e.Description();
        return e.Number();
    }
    return 0;
}

std::shared_ptr<Connection> OpenFile(const std::string& relative, const std::string& password = "") {
    auto driver = MakeAccessDriver();
    OpenRequest request;
    request.path = FixturePath(relative);
    request.connect = ConnectText::Parse(";PWD=" + password);
    return driver->Open(request);
}

std::string ReadPrefix(const std::string& path, std::size_t n) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(n, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(n));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

int ColumnIndex(const Cursor& cursor, const std::string& name) {
    const auto& columns = cursor.Columns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == name) return static_cast<int>(i);
    ADD_FAILURE() << "no column " << name;
    return 0;
}

const FieldInfo& Column(const Cursor& cursor, const std::string& name) {
    return cursor.Columns()[static_cast<std::size_t>(ColumnIndex(cursor, name))];
}

// ---- choice of the driver --------------------------------------------------

TEST(AccessDriverChoice, ServesTheUsualAccessDriverTexts) {
    auto driver = MakeAccessDriver();
    ASSERT_TRUE(driver);
    for (const char* text : {"Access", "access 2000", "Access 97", "MS Access", "Jet 3.x", "jet 4.x",
                             "Microsoft Access"})
        EXPECT_TRUE(driver->HandlesDriverText(text)) << text;
    for (const char* text : {"dBASE IV", "Text", "Excel 8.0", "ODBC", "Paradox 5.x", "", "SQLite"})
        EXPECT_FALSE(driver->HandlesDriverText(text)) << text;
}

TEST(AccessDriverChoice, RecognisesEveryAccessFormatByItsHeaderOnly) {
    auto driver = MakeAccessDriver();
    for (const char* file : {"access/V1997_test.mdb", "access/V2000_test.mdb", "access/V2007_test.accdb",
                             "access/V2010_with-password.accdb", "v4/archivio4.mdb"})
        EXPECT_TRUE(driver->RecognisesHeader(ReadPrefix(FixturePath(file), 4096))) << file;
    EXPECT_FALSE(driver->RecognisesHeader(std::string("SQLite format 3\0", 16) + std::string(100, '\0')));
    EXPECT_FALSE(driver->RecognisesHeader(ReadPrefix(FixturePath("access/README.md"), 4096)));
}

// ---- password ---------------------------------------------------------------

TEST(AccessPassword, ProtectedFilesNeedTheirExactPassword) {
    for (const char* file : {"access/V2000_with-password.mdb", "access/V2003_with-password.mdb"}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(ErrorNumber([&] { OpenFile(file); }), err::BadPassword);
        EXPECT_EQ(ErrorNumber([&] { OpenFile(file, "wrong"); }), err::BadPassword);
        EXPECT_EQ(ErrorNumber([&] { OpenFile(file, "Password"); }), err::BadPassword);
        EXPECT_EQ(ErrorNumber([&] { OpenFile(file, "password "); }), err::BadPassword);
        EXPECT_EQ(ErrorNumber([&] { OpenFile(file, "password"); }), 0);
    }
    EXPECT_EQ(ErrorNumber([] { OpenFile("v4/archivio4.mdb"); }), err::BadPassword);
    EXPECT_EQ(ErrorNumber([] { OpenFile("v4/archivio4.mdb", "VUP"); }), err::BadPassword);
    EXPECT_EQ(ErrorNumber([] { OpenFile("v4/archivio4.mdb", "vup"); }), 0);
}

TEST(AccessPassword, UnprotectedFilesOpenWithAnyPassword) {
    for (const char* file : {"access/V1997_test.mdb", "access/V2000_test.mdb", "access/V2010_test.accdb"}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(ErrorNumber([&] { OpenFile(file); }), 0);
        EXPECT_EQ(ErrorNumber([&] { OpenFile(file, "password"); }), 0);
    }
}

TEST(AccessPassword, EncryptedAceFileIsRefusedClearlyWhateverThePassword) {
    for (const char* password : {"", "password", "wrong"}) {
        std::string description;
        EXPECT_EQ(ErrorNumber([&] { OpenFile("access/V2010_with-password.accdb", password); }, &description),
                  err::NotADatabase);
        EXPECT_NE(description.find("cifrato"), std::string::npos) << description;
        EXPECT_NE(description.find("V2010_with-password.accdb"), std::string::npos) << description;
    }
}

// ---- files that cannot be opened -------------------------------------------

class AccessBadFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = QDir(dir.path()).filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static int Open(const std::string& path, std::string* description = nullptr) {
        return ErrorNumber([&] { AccessConnection::Open(path, ""); }, description);
    }
};

TEST_F(AccessBadFiles, MissingFileForeignFileAndFolder) {
    std::string description;
    EXPECT_EQ(Open(QDir(dir.path()).filePath("nessuno.mdb").toStdString(), &description), err::FileNotFoundDb);
    EXPECT_NE(description.find("nessuno.mdb"), std::string::npos);
    EXPECT_EQ(Open(Write("testo.mdb", "questo non \xC3\xA8 un database")), err::NotADatabase);
    EXPECT_EQ(Open(Write("vuoto.mdb", "")), err::NotADatabase);
    EXPECT_EQ(Open(dir.path().toStdString()), err::NotADatabase);
}

TEST_F(AccessBadFiles, TruncatedOrDamagedCatalogueIsADamagedDatabase) {
    const std::string whole = ReadPrefix(FixturePath("access/V2000_test.mdb"), 64 * 4096);
    std::string description;
    EXPECT_EQ(Open(Write("corto.mdb", whole.substr(0, 4096)), &description), err::CorruptDatabase);
    EXPECT_NE(description.find("corto.mdb"), std::string::npos);

    std::string damaged = whole;
    damaged[2 * 4096] = 0x01;  // the catalogue page no longer says "table definition"
    EXPECT_EQ(Open(Write("rotto.mdb", damaged)), err::CorruptDatabase);
}

// Files whose catalogue holds damaged property blobs (found by fuzzing):
// the blobs are never parsed, so the file opens, lists its tables and reads
// them, or reports the damage; it never hangs.
TEST_F(AccessBadFiles, DamagedPropertyBlobsInTheCatalogueDoNotStopTheTableList) {
    const std::filesystem::path inputs =
        std::filesystem::path(AGENCY_SOURCE_DIR) / "tests" / "regression" / "inputs" / "access";
    int opened = 0;
    for (const char* prefix : {"libmdb-props-hang-", "libmdb-props-oom-"}) {
        for (const auto& entry : std::filesystem::directory_iterator(inputs)) {
            if (entry.path().filename().string().rfind(prefix, 0) != 0) continue;
            SCOPED_TRACE(entry.path().string());
            std::shared_ptr<AccessConnection> connection;
            const int openError = ErrorNumber([&] { connection = AccessConnection::Open(entry.path().string(), ""); });
            ++opened;
            // A catalogue naming a table beyond the end of the file is damage.
            if (openError == err::CorruptDatabase) continue;
            ASSERT_EQ(openError, 0);
            const auto names = connection->TableNames();
            EXPECT_NE(std::find(names.begin(), names.end(), "MSysObjects"), names.end());
            for (const auto& name : names) {
                const int number = ErrorNumber([&] {
                    auto cursor = connection->OpenCursor(name);
                    while (!cursor->AtEnd()) cursor->Next();
                });
                EXPECT_TRUE(number == 0 || number == err::CorruptDatabase) << name << ": " << number;
            }
        }
    }
    EXPECT_EQ(opened, 2);
}

// A catalogue whose definition points its usage map at an empty row (found
// by fuzzing): libmdb would walk a map it never copied; the file is damaged.
TEST_F(AccessBadFiles, EmptyUsageMapIsADamagedDatabase) {
    const std::filesystem::path inputs =
        std::filesystem::path(AGENCY_SOURCE_DIR) / "tests" / "regression" / "inputs" / "access";
    int tried = 0;
    for (const auto& entry : std::filesystem::directory_iterator(inputs)) {
        if (entry.path().filename().string().rfind("usage-map-empty-", 0) != 0) continue;
        SCOPED_TRACE(entry.path().string());
        // The file was grown from the protected archive and keeps its password.
        const std::string page0 = ReadPrefix(entry.path().string(), 4096);
        const auto header =
            ReadJetHeader({reinterpret_cast<const std::uint8_t*>(page0.data()), page0.size()});
        ASSERT_TRUE(header);
        std::string description;
        EXPECT_EQ(ErrorNumber([&] { AccessConnection::Open(entry.path().string(), header->password); }, &description),
                  err::CorruptDatabase);
        EXPECT_NE(description.find("mappa delle pagine"), std::string::npos) << description;
        ++tried;
    }
    EXPECT_EQ(tried, 1);
}

// ---- tables and statements ---------------------------------------------------

TEST(AccessTables, ListsUserAndSystemTablesButNotQueries) {
    auto connection = OpenFile("access/nwind.mdb");
    const auto names = connection->TableNames();
    auto has = [&](const std::string& n) { return std::find(names.begin(), names.end(), n) != names.end(); };
    EXPECT_TRUE(has("MSysObjects"));
    EXPECT_TRUE(has("Order Details"));
    EXPECT_TRUE(has("Ums\xC3\xA4tze"));  // a Jet 3 name in code page 1252
    EXPECT_EQ(names.front(), "MSysObjects");
    // nwind holds queries (MSysQueries has rows); none is listed.
    EXPECT_FALSE(has("Alphabetical List of Products"));
    EXPECT_FALSE(has("Invoices"));
}

TEST(AccessTables, ArchiveHoldsTheThirteenVersionFourTables) {
    auto connection = OpenFile("v4/archivio4.mdb", "vup");
    std::vector<std::string> user;
    for (const auto& name : connection->TableNames())
        if (name.rfind("MSys", 0) != 0) user.push_back(name);
    const std::vector<std::string> expected = {"Fornitori", "Area",    "Zona",   "Pagamenti", "ModalitaPagamento",
                                               "CatArt",    "IVA",     "Listini", "Unita",    "Agenti",
                                               "Clienti",   "Articoli", "ArtList"};
    EXPECT_EQ(user, expected);
}

TEST(AccessStatements, TableByNameOrSelectCaseInsensitively) {
    auto connection = OpenFile("access/V2000_test.mdb");
    for (const char* source : {"Table1", "table1", "SELECT * FROM [TABLE1]", "select * from Table1"}) {
        auto cursor = connection->OpenCursor(source);
        int rows = 0;
        for (; !cursor->AtEnd(); cursor->Next()) ++rows;
        EXPECT_EQ(rows, 2) << source;
    }
}

TEST(AccessStatements, ErrorsForMissingTablesAndUnsupportedShapes) {
    auto connection = OpenFile("access/V2000_test.mdb");
    std::string description;
    EXPECT_EQ(ErrorNumber([&] { connection->OpenCursor("SELECT * FROM [Nessuna]"); }, &description),
              err::TableNotFound);
    EXPECT_NE(description.find("Nessuna"), std::string::npos);
    EXPECT_EQ(ErrorNumber([&] { connection->OpenCursor("Nessuna"); }), err::TableNotFound);
    EXPECT_EQ(ErrorNumber([&] { connection->OpenCursor("SELECT A, B FROM [Table1]"); }), err::SyntaxErrorSql);
    EXPECT_EQ(ErrorNumber([&] { connection->OpenCursor("SELECT * FROM [Table1] ORDER BY [A]"); }),
              err::SyntaxErrorSql);
    EXPECT_EQ(ErrorNumber([&] { connection->OpenCursor("SELECT * FROM [Table1] WHERE [Manca] = 'x'"); }),
              err::TooFewParameters);
}

TEST(AccessStatements, WhereComparesTextCaseInsensitively) {
    auto connection = OpenFile("access/V2000_test.mdb");
    auto cursor = connection->OpenCursor("SELECT * FROM [Table1] WHERE [A] = 'ABCDEFG'");
    ASSERT_FALSE(cursor->AtEnd());
    EXPECT_EQ(cursor->Get(ColumnIndex(*cursor, "B")), Variant("hijklmnop"));
    cursor->Next();
    EXPECT_TRUE(cursor->AtEnd());
    EXPECT_TRUE(connection->OpenCursor("SELECT * FROM [Table1] WHERE [A] = 'abcdef'")->AtEnd());
    // Numbers compare by their text.
    EXPECT_FALSE(connection->OpenCursor("SELECT * FROM [Table1] WHERE [D] = '222'")->AtEnd());
}

TEST(AccessStatements, WhereLooksUpACodeAmongThousandsOfRows) {
    auto connection = OpenFile("v4/archivio4.mdb", "vup");
    auto cursor = connection->OpenCursor("SELECT * FROM [Clienti] WHERE [id] = 'c01234'");
    ASSERT_FALSE(cursor->AtEnd());
    EXPECT_EQ(cursor->Get(ColumnIndex(*cursor, "id")), Variant("C01234"));
    cursor->Next();
    EXPECT_TRUE(cursor->AtEnd());
}

// ---- writing -------------------------------------------------------------------

TEST(AccessReadOnly, EveryWriteGivesTheReadOnlyError) {
    auto connection = OpenFile("access/V2000_test.mdb");
    EXPECT_TRUE(connection->ReadOnly());
    std::string description;
    EXPECT_EQ(ErrorNumber([&] { connection->Execute("DELETE FROM [Table1]"); }, &description),
              err::ReadOnlyDatabase);
    EXPECT_NE(description.find("V2000_test.mdb"), std::string::npos);
    EXPECT_EQ(ErrorNumber([&] { connection->Execute("UPDATE [Table1] SET [A] = 'x'"); }), err::ReadOnlyDatabase);
    EXPECT_EQ(ErrorNumber([&] { connection->OpenCursor("DELETE FROM [Table1]"); }), err::ReadOnlyDatabase);
    // A query that returns rows cannot be executed, here as in the original engine.
    EXPECT_EQ(ErrorNumber([&] { connection->Execute("SELECT * FROM [Table1]"); }), 3065);

    auto cursor = connection->OpenCursor("SELECT * FROM [Table1]");
    EXPECT_FALSE(cursor->Updatable());
    std::vector<std::optional<Variant>> values(cursor->Columns().size());
    EXPECT_EQ(ErrorNumber([&] { cursor->Insert(values); }), err::ReadOnlyDatabase);
    EXPECT_EQ(ErrorNumber([&] { cursor->DeleteCurrent(); }), err::ReadOnlyDatabase);
    // Nothing changed.
    int rows = 0;
    for (; !cursor->AtEnd(); cursor->Next()) ++rows;
    EXPECT_EQ(rows, 2);
}

// ---- types, sizes and values ----------------------------------------------------

TEST(AccessTypes, EveryBasicTypeWithItsSizeInJet3Jet4AndAce) {
    for (const char* file : {"access/V1997_test.mdb", "access/V2000_test.mdb", "access/V2010_test.accdb"}) {
        SCOPED_TRACE(file);
        auto cursor = OpenFile(file)->OpenCursor("Table1");
        struct Expected {
            const char* name;
            DataType type;
            int size;
        } expected[] = {{"A", DataType::Text, 50},  {"B", DataType::Text, 100},    {"C", DataType::Byte, 1},
                        {"D", DataType::Integer, 2}, {"E", DataType::Long, 4},     {"F", DataType::Double, 8},
                        {"G", DataType::Date, 8},    {"H", DataType::Currency, 8}, {"I", DataType::Boolean, 1}};
        ASSERT_EQ(cursor->Columns().size(), std::size(expected));
        for (std::size_t i = 0; i < std::size(expected); ++i) {
            EXPECT_EQ(cursor->Columns()[i].name, expected[i].name);
            EXPECT_EQ(cursor->Columns()[i].type, expected[i].type) << expected[i].name;
            EXPECT_EQ(cursor->Columns()[i].size, expected[i].size) << expected[i].name;
        }
        // The row "abcdefg", "hijklmnop", 2, 222, ... (first or second in the file).
        while (!cursor->AtEnd() && cursor->Get(0) != Variant("abcdefg")) cursor->Next();
        ASSERT_FALSE(cursor->AtEnd());
        EXPECT_EQ(cursor->Get(0), Variant("abcdefg"));
        EXPECT_EQ(cursor->Get(2), Variant(2));
        EXPECT_EQ(cursor->Get(3), Variant(222));
        EXPECT_EQ(cursor->Get(4), Variant(333333333));
        EXPECT_EQ(cursor->Get(5), Variant(444.555));
        EXPECT_EQ(cursor->Get(6), Variant(DateTime::FromParts(1974, 9, 21)));
        EXPECT_EQ(cursor->Get(7), Variant(Currency{35000}));
        EXPECT_EQ(cursor->Get(8), Variant(true));
    }
}

TEST(AccessTypes, MemoOleSingleAndGuidColumns) {
    auto nwind = OpenFile("access/nwind.mdb");
    auto employees = nwind->OpenCursor("Employees");
    EXPECT_EQ(Column(*employees, "Photo").type, DataType::LongBinary);
    EXPECT_EQ(Column(*employees, "Notes").type, DataType::Memo);
    EXPECT_EQ(Column(*employees, "Notes").size, 0);
    const Variant photo = employees->Get(ColumnIndex(*employees, "Photo"));
    ASSERT_EQ(photo.kind(), Variant::Kind::Binary);
    EXPECT_GT(photo.AsBytes().size(), 16u * 1024);  // a picture spread over several pages

    auto details = nwind->OpenCursor("Order Details");
    EXPECT_EQ(Column(*details, "Discount").type, DataType::Single);
    EXPECT_EQ(Column(*details, "UnitPrice").type, DataType::Currency);

    auto guids = OpenFile("access/V2010_test.accdb")->OpenCursor("Table4");
    EXPECT_EQ(Column(*guids, "data").type, DataType::Guid);
}

TEST(AccessValues, ArchiveTextsCurrencyAndNulls) {
    auto connection = OpenFile("v4/archivio4.mdb", "vup");
    auto cursor = connection->OpenCursor("SELECT * FROM [Clienti]");
    EXPECT_EQ(Column(*cursor, "id").size, 20);
    EXPECT_EQ(Column(*cursor, "Fido").type, DataType::Currency);
    EXPECT_EQ(Column(*cursor, "Note").type, DataType::Memo);
    EXPECT_EQ(Column(*cursor, "DataInserimento").type, DataType::Date);
    EXPECT_EQ(Column(*cursor, "Sct1").type, DataType::Double);

    // First customer, as mdb-export prints it.
    EXPECT_EQ(cursor->Get(ColumnIndex(*cursor, "id")), Variant("C00001"));
    EXPECT_EQ(cursor->Get(ColumnIndex(*cursor, "Denominazione")), Variant("Osteria Rossi S.p.A."));
    EXPECT_EQ(cursor->Get(ColumnIndex(*cursor, "Fido")), Variant(Currency{10000000}));
    EXPECT_EQ(cursor->Get(ColumnIndex(*cursor, "Sct2")), Variant(12.5));
    cursor->Next();
    EXPECT_EQ(cursor->Get(ColumnIndex(*cursor, "IndirizzoSC")), Variant("Viale della Libert\xC3\xA0 113"));

    // Null and the empty text both occur and stay apart (counted from the
    // rows' null flags; mdb-export prints both alike).
    struct Count {
        const char* table;
        const char* field;
        int nulls;
        int empties;
    } counts[] = {{"Clienti", "Denominazione", 19, 9},
                  {"Fornitori", "Denominazione", 1, 1},
                  {"ModalitaPagamento", "Scad12", 11, 9}};
    for (const auto& c : counts) {
        int nulls = 0, empties = 0;
        cursor = connection->OpenCursor(c.table);
        const int field = ColumnIndex(*cursor, c.field);
        for (; !cursor->AtEnd(); cursor->Next()) {
            const Variant& v = cursor->Get(field);
            if (v.IsNull()) ++nulls;
            else if (v.AsText().empty()) ++empties;
        }
        EXPECT_EQ(nulls, c.nulls) << c.table << "." << c.field;
        EXPECT_EQ(empties, c.empties) << c.table << "." << c.field;
    }
}

TEST(AccessValues, SystemCatalogueDatesKeepTheirTimeOfDay) {
    auto cursor = OpenFile("v4/archivio4.mdb", "vup")->OpenCursor("MSysObjects");
    const int created = ColumnIndex(*cursor, "DateCreate");
    int withTime = 0;
    for (; !cursor->AtEnd(); cursor->Next()) {
        const Variant& v = cursor->Get(created);
        if (v.kind() == Variant::Kind::Date && v.AsDate().HasTime()) ++withTime;
    }
    EXPECT_GT(withTime, 0);
}

TEST(AccessCursorBehaviour, PercentGrowsFromZeroToOneHundred) {
    auto cursor = OpenFile("v4/archivio4.mdb", "vup")->OpenCursor("ArtList");
    EXPECT_EQ(cursor->Percent(), 0.0);
    double last = 0;
    int rows = 0;
    for (; !cursor->AtEnd(); cursor->Next(), ++rows) {
        EXPECT_GE(cursor->Percent(), last);
        EXPECT_LT(cursor->Percent(), 100.0);
        last = cursor->Percent();
        if (rows == 5000) {
            EXPECT_NEAR(cursor->Percent(), 50.0, 0.1);
        }
    }
    EXPECT_EQ(rows, 10000);
    EXPECT_EQ(cursor->Percent(), 100.0);
}

TEST(AccessCursorBehaviour, CursorsOnOneConnectionDoNotDisturbEachOther) {
    auto connection = OpenFile("v4/archivio4.mdb", "vup");
    auto a = connection->OpenCursor("Clienti");
    auto b = connection->OpenCursor("Articoli");
    auto againA = connection->OpenCursor("Clienti");
    const int idA = ColumnIndex(*a, "id");
    int rows = 0;
    while (!a->AtEnd()) {
        ASSERT_FALSE(againA->AtEnd());
        EXPECT_EQ(a->Get(idA), againA->Get(idA));
        a->Next();
        if (!b->AtEnd()) b->Next();
        againA->Next();
        ++rows;
    }
    EXPECT_EQ(rows, 2000);
    EXPECT_TRUE(againA->AtEnd());
}

TEST(AccessCursorBehaviour, EmptyDatabaseHasOnlySystemTables) {
    auto connection = OpenFile("access/V2000_empty.mdb");
    for (const auto& name : connection->TableNames()) EXPECT_EQ(name.rfind("MSys", 0), 0u) << name;
}

}  // namespace
