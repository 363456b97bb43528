#include <clocale>

#include "FlatFileTestSupport.h"
#include "common/engine/flatfile/DbfTable.h"

using namespace flatfiletest;
using core::DataType;
using core::DateTime;
using core::Variant;
using core::flatfile::OpenDbfTable;

namespace {

const std::vector<DbfFieldSpec> kCustomerFields = {
    {"CODICE", 'N', 5, 0},  {"NOME", 'C', 30},    {"IMPORTO", 'N', 12, 2},
    {"GRANDE", 'N', 10, 0}, {"SCONTO", 'F', 8, 3}, {"NATO", 'D', 8},
    {"ATTIVO", 'L', 1},
};

class DbfTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string file = folder.Path("clienti.dbf");
};

TEST_F(DbfTest, FieldNamesTypesAndSizes) {
    WriteDbf(file, 0x57, kCustomerFields, {});
    auto cursor = OpenDbfTable(file);
    const auto& c = cursor->Columns();
    ASSERT_EQ(c.size(), 7u);
    EXPECT_EQ(c[0].name, "CODICE");
    EXPECT_EQ(c[0].type, DataType::Long);  // no decimals, at most 9 digits
    EXPECT_EQ(c[0].size, 4);
    EXPECT_EQ(c[1].type, DataType::Text);
    EXPECT_EQ(c[1].size, 30);
    EXPECT_EQ(c[2].type, DataType::Double);  // decimals
    EXPECT_EQ(c[3].type, DataType::Double);  // 10 digits do not fit a Long
    EXPECT_EQ(c[4].type, DataType::Double);
    EXPECT_EQ(c[5].type, DataType::Date);
    EXPECT_EQ(c[5].size, 8);
    EXPECT_EQ(c[6].type, DataType::Boolean);
    EXPECT_TRUE(cursor->AtEnd());  // no records
}

TEST_F(DbfTest, ValuesWithAccentsNullsDatesAndDeletedRecords) {
    // Italian DOS page: "Caffè Perù" is 0x8A and 0x97.
    WriteDbf(file, 0x02, kCustomerFields,
             {
                 {"1", "Caff\x8A Per\x97", "1234.50", "1234567890", "0.125", "20240229", "T"},
                 {"2", "cancellato", "1", "1", "1", "20000101", "F"},
                 {"3", "  rientro  ", std::nullopt, std::nullopt, std::nullopt, std::nullopt, "?"},
                 {"-42", std::nullopt, "-0.5", "0", "2.5", "19991231", "N"},
             },
             {1});
    // A comma-decimal locale must not change how numbers are read.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "it_IT.UTF-8");
    auto cursor = OpenDbfTable(file);
    const Rows rows = ReadAll(*cursor);
    std::setlocale(LC_NUMERIC, previous.c_str());

    ASSERT_EQ(rows.size(), 3u);  // the deleted record is skipped
    EXPECT_EQ(rows[0][0], Variant(1));
    EXPECT_EQ(rows[0][1], Variant("Caffè Perù"));
    EXPECT_EQ(rows[0][2], Variant(1234.5));
    EXPECT_EQ(rows[0][3], Variant(1234567890.0));
    EXPECT_EQ(rows[0][4], Variant(0.125));
    EXPECT_EQ(rows[0][5], Variant(DateTime::FromParts(2024, 2, 29)));
    EXPECT_EQ(rows[0][6], Variant(true));

    EXPECT_EQ(rows[1][0], Variant(3));
    EXPECT_EQ(rows[1][1], Variant("  rientro"));  // trailing blanks only
    for (int i : {2, 3, 4, 5, 6}) EXPECT_TRUE(rows[1][i].IsNull()) << i;

    EXPECT_EQ(rows[2][0], Variant(-42));
    EXPECT_TRUE(rows[2][1].IsNull());  // a blank character field
    EXPECT_EQ(rows[2][2], Variant(-0.5));
    EXPECT_EQ(rows[2][5], Variant(DateTime::FromParts(1999, 12, 31)));
    EXPECT_EQ(rows[2][6], Variant(false));
}

TEST_F(DbfTest, CodePagesFromTheLanguageDriverByte) {
    const std::vector<DbfFieldSpec> fields = {{"CITTA", 'C', 20}};
    WriteDbf(file, 0x57, fields, {{"Citt\xE0 \x80"}});
    EXPECT_EQ(ReadAll(*OpenDbfTable(file))[0][0], Variant("Città €"));

    WriteDbf(file, 0x01, fields, {{"Citt\x85 \x9B"}});
    EXPECT_EQ(ReadAll(*OpenDbfTable(file))[0][0], Variant("Città ¢"));

    WriteDbf(file, 0x00, fields, {{"\xB7NCORA"}});  // unmarked: DOS 850
    EXPECT_EQ(ReadAll(*OpenDbfTable(file))[0][0], Variant("ÀNCORA"));
}

TEST_F(DbfTest, DeletedFirstAndLastRecordsAndPosition) {
    std::vector<DbfRow> rows;
    for (int i = 1; i <= 10; ++i) rows.push_back({std::to_string(i)});
    WriteDbf(file, 0x57, {{"N", 'N', 3, 0}}, rows, {0, 9});
    auto cursor = OpenDbfTable(file);
    std::vector<long long> seen;
    double last = -1;
    for (; !cursor->AtEnd(); cursor->Next()) {
        EXPECT_GE(cursor->Percent(), last);
        last = cursor->Percent();
        seen.push_back(cursor->Get(0).AsInteger());
    }
    EXPECT_EQ(seen, (std::vector<long long>{2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_LT(last, 100.0);
}

// Memo texts live in the .dbt beside the table; the table holds the block.
TEST_F(DbfTest, MemoFieldsFromDbaseThreeAndFourMemoFiles) {
    WriteDbf(file, 0x57, {{"NOME", 'C', 10}, {"NOTE", 'M', 10}},
             {{"a", "         1"}, {"b", std::nullopt}, {"c", "         2"}});
    PatchByte(file, 0, 0x83);

    std::string dbt(512, '\0');  // dBASE III: 512-byte blocks, 0x1A ends a text
    dbt += std::string("Cliente storico, pi\xF9 righe\r\nseconda") + "\x1A\x1A";
    dbt.resize(1024, '\0');
    dbt += std::string("breve") + "\x1A\x1A";
    dbt.resize(1536, '\0');
    WriteBytes(folder.Path("CLIENTI.DBT"), dbt);  // DOS programs wrote capitals

    auto cursor = OpenDbfTable(file);
    EXPECT_EQ(cursor->Columns()[1].type, DataType::Memo);
    EXPECT_EQ(cursor->Columns()[1].size, 0);
    Rows rows = ReadAll(*cursor);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1], Variant("Cliente storico, più righe\r\nseconda"));
    EXPECT_TRUE(rows[1][1].IsNull());
    EXPECT_EQ(rows[2][1], Variant("breve"));

    // dBASE IV: block size in the header, each text with its length.
    std::string dbt4(512, '\0');
    dbt4[20] = 0x00;
    dbt4[21] = 0x02;  // 512
    const std::string text = "nota \x1A con il carattere 1A dentro";
    std::string block("\xFF\xFF\x08\x00", 4);
    const std::uint32_t length = std::uint32_t(text.size() + 8);
    for (int i = 0; i < 4; ++i) block += char((length >> (8 * i)) & 0xFF);
    dbt4 += block + text;
    dbt4.resize(1536, '\0');
    std::remove(folder.Path("CLIENTI.DBT").c_str());
    WriteBytes(folder.Path("clienti.dbt"), dbt4);
    PatchByte(file, 0, 0x8B);
    rows = ReadAll(*OpenDbfTable(file));
    EXPECT_EQ(rows[0][1], Variant(text));
}

TEST_F(DbfTest, MemoFieldWithoutItsMemoFileNamesTheField) {
    WriteDbf(file, 0x57, {{"NOME", 'C', 10}, {"NOTE", 'M', 10}}, {{"a", "         1"}});
    const core::Error e = CaughtError([&] { OpenDbfTable(file); });
    EXPECT_EQ(e.Number(), core::err::CannotOpenFile);
    EXPECT_NE(e.Description().find("'NOTE'"), std::string::npos) << e.Description();
    EXPECT_NE(e.Description().find("clienti.dbt"), std::string::npos) << e.Description();
}

TEST_F(DbfTest, MemoPointingPastItsFileIsDamage) {
    WriteDbf(file, 0x57, {{"NOTE", 'M', 10}}, {{"        99"}});
    WriteBytes(folder.Path("clienti.dbt"), std::string(1024, '\0'));
    const core::Error e = CaughtError([&] { ReadAll(*OpenDbfTable(file)); });
    EXPECT_EQ(e.Number(), core::err::CorruptDatabase);
}

TEST_F(DbfTest, DamagedFilesGiveAnErrorNamingTheFile) {
    std::vector<DbfRow> rows;
    for (int i = 0; i < 20; ++i) rows.push_back({"nome " + std::to_string(i), "12"});
    WriteDbf(file, 0x57, {{"NOME", 'C', 20}, {"N", 'N', 4, 0}}, rows);
    const std::string good = ReadBytes(file);
    auto expectError = [&](const std::string& bytes, int number) {
        WriteBytes(file, bytes);
        const core::Error e = CaughtError([&] { ReadAll(*OpenDbfTable(file)); });
        EXPECT_EQ(e.Number(), number) << e.Description();
        EXPECT_NE(e.Description().find(file), std::string::npos) << e.Description();
    };
    expectError(Cut(good, good.size() - 30), core::err::CorruptDatabase);  // records missing
    expectError(Cut(good, 70), core::err::CorruptDatabase);                // inside the fields
    expectError(Cut(good, 10), core::err::NotADatabase);                   // header cut short
    expectError("", core::err::NotADatabase);                              // zero bytes
    expectError("Codice;Nome\r\n1;Rossi\r\n" + std::string(100, 'x'), core::err::NotADatabase);

    std::string badLength = good;
    badLength[10] = char(badLength[10] + 1);  // record length not the fields' total
    expectError(badLength, core::err::CorruptDatabase);

    std::string cyrillic = good;
    cyrillic[29] = char(0xC9);
    expectError(cyrillic, core::err::NotADatabase);

    const core::Error missing = CaughtError([&] { OpenDbfTable(folder.Path("assente.dbf")); });
    EXPECT_EQ(missing.Number(), core::err::FileNotFoundDb);
}

TEST_F(DbfTest, UnsupportedFieldTypeNamesTheField) {
    WriteDbf(file, 0x57, {{"NOME", 'C', 10}, {"FOTO", 'C', 10}}, {{"a", "b"}});
    PatchByte(file, 32 + 32 + 11, 'G');  // second descriptor's type: OLE picture
    const core::Error e = CaughtError([&] { OpenDbfTable(file); });
    EXPECT_NE(e.Description().find("'FOTO'"), std::string::npos) << e.Description();
}

}  // namespace
