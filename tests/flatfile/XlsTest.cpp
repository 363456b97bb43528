#include "FlatFileTestSupport.h"
#include "XlsBuilder.h"
#include "common/engine/flatfile/XlsWorkbook.h"

using namespace flatfiletest;
using core::DataType;
using core::DateTime;
using core::Variant;
using core::flatfile::XlsWorkbook;

namespace {

const XlsCell kEmpty{};

XlsSheet Customers() {
    XlsSheet s;
    s.name = u"Clienti";
    s.rows = {
        {u"Codice", u"Ragione sociale", u"Fido", u"Dal", u"Note", kEmpty, u"Ultimo ordine"},
        {XlsRk{1}, u"Caffè Perù", 1500.5, XlsDate{45351}, u"prima", kEmpty, XlsDate{45285.6041666667, true}},
        {kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty},  // a gap, not a record
        {2.0, u"Città & Co", XlsRk{200}, kEmpty, 12.5, kEmpty, kEmpty},
    };
    return s;
}

class XlsTest : public ::testing::Test {
protected:
    std::shared_ptr<XlsWorkbook> Open(const std::vector<XlsSheet>& sheets) {
        WriteBytes(file, BuildXls(sheets));
        return XlsWorkbook::Open(file);
    }
    ScratchFolder folder;
    std::string file = folder.Path("listino.xls");
};

TEST_F(XlsTest, SheetNamesAndColumnTypesFromTheCells) {
    XlsSheet empty;
    empty.name = u"Foglio vuoto";
    auto book = Open({Customers(), empty});
    EXPECT_EQ(book->SheetNames(), (std::vector<std::string>{"Clienti", "Foglio vuoto"}));

    auto cursor = XlsWorkbook::OpenSheet(book, 0);
    const auto& c = cursor->Columns();
    ASSERT_EQ(c.size(), 7u);
    EXPECT_EQ(c[0].name, "Codice");
    EXPECT_EQ(c[0].type, DataType::Long);  // RK integer and a whole double
    EXPECT_EQ(c[1].type, DataType::Text);
    EXPECT_EQ(c[1].size, 255);
    EXPECT_EQ(c[2].type, DataType::Double);  // 1500.5 and the integer 200
    EXPECT_EQ(c[3].type, DataType::Date);
    EXPECT_EQ(c[4].type, DataType::Text);    // text and number mixed
    EXPECT_EQ(c[5].name, "F6");              // no header, no values
    EXPECT_EQ(c[5].type, DataType::Text);
    EXPECT_EQ(c[6].type, DataType::Date);

    EXPECT_TRUE(XlsWorkbook::OpenSheet(book, 1)->AtEnd());
}

TEST_F(XlsTest, ValuesAccentsNullsAndDates) {
    auto book = Open({Customers()});
    auto cursor = XlsWorkbook::OpenSheet(book, 0);
    const Rows rows = ReadAll(*cursor);
    ASSERT_EQ(rows.size(), 2u);  // the empty row is skipped
    EXPECT_EQ(rows[0][0], Variant(1));
    EXPECT_EQ(rows[0][1], Variant("Caffè Perù"));
    EXPECT_EQ(rows[0][2], Variant(1500.5));
    EXPECT_EQ(rows[0][3], Variant(DateTime::FromParts(2024, 2, 29)));
    EXPECT_EQ(rows[0][4], Variant("prima"));
    EXPECT_TRUE(rows[0][5].IsNull());
    EXPECT_EQ(rows[0][6], Variant(DateTime::FromParts(2023, 12, 25, 14, 30, 0)));

    EXPECT_EQ(rows[1][0], Variant(2));
    EXPECT_EQ(rows[1][1], Variant("Città & Co"));
    EXPECT_EQ(rows[1][2], Variant(200.0));
    EXPECT_TRUE(rows[1][3].IsNull());
    EXPECT_EQ(rows[1][4], Variant(Variant(12.5).ToText()));  // a number in a text column
    EXPECT_TRUE(rows[1][6].IsNull());
}

TEST_F(XlsTest, TwoCursorsOnDifferentSheetsDoNotDisturbEachOther) {
    XlsSheet second;
    second.name = u"Zone";
    second.rows = {{u"Zona"}, {u"Nord"}, {u"Sud"}};
    auto book = Open({Customers(), second});
    auto customers = XlsWorkbook::OpenSheet(book, 0);
    auto zones = XlsWorkbook::OpenSheet(book, 1);
    EXPECT_EQ(zones->Get(0), Variant("Nord"));
    customers->Next();
    EXPECT_EQ(customers->Get(1), Variant("Città & Co"));
    zones->Next();
    EXPECT_EQ(zones->Get(0), Variant("Sud"));
}

TEST_F(XlsTest, DamagedOrForeignFilesGiveAnErrorNamingTheFile) {
    const std::string good = BuildXls({Customers()});
    auto check = [&](const std::string& bytes, int number) {
        WriteBytes(file, bytes);
        const core::Error e = CaughtError([&] {
            auto book = XlsWorkbook::Open(file);
            for (int i = 0; i < int(book->SheetNames().size()); ++i) ReadAll(*XlsWorkbook::OpenSheet(book, i));
        });
        EXPECT_EQ(e.Number(), number) << e.Description() << " / " << e.NativeText();
        EXPECT_NE(e.Description().find(file), std::string::npos) << e.Description();
    };
    check(Cut(good, 1500), core::err::CorruptDatabase);  // stream cut off
    check(Cut(good, 300), core::err::CorruptDatabase);   // header only
    check("", core::err::NotADatabase);
    check("Codice;Nome\r\n1;Rossi\r\n", core::err::NotADatabase);
    check("PK\x03\x04 a newer workbook" + std::string(600, '\0'), core::err::NotADatabase);
    const core::Error missing = CaughtError([&] { XlsWorkbook::Open(folder.Path("assente.xls")); });
    EXPECT_EQ(missing.Number(), core::err::FileNotFoundDb);
}

}  // namespace
