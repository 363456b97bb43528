#include "FlatFileTestSupport.h"
#include "common/engine/flatfile/TextTable.h"

using namespace flatfiletest;
using core::DataType;
using core::Variant;
using namespace core::flatfile;
using namespace std::string_literals;

namespace {

class TextTest : public ::testing::Test {
protected:
    Rows Read(const std::string& bytes) {
        WriteBytes(file, bytes);
        layout = ScanTextFile(file);
        return ReadAll(*OpenTextTable(file, layout));
    }
    core::Error ErrorFor(const std::string& bytes) {
        WriteBytes(file, bytes);
        return CaughtError([&] { ReadAll(*OpenTextTable(file, ScanTextFile(file))); });
    }

    ScratchFolder folder;
    std::string file = folder.Path("clienti.csv");
    TextLayout layout;
};

TEST_F(TextTest, SemicolonsAndWindows1252) {
    const Rows rows = Read("Codice;Ragione sociale;Citt\xE0\r\n"
                           "1;Caff\xE8 Rossi;Forl\xEC\r\n"
                           "2;L'\x80uro s.r.l.;Milano\r\n");
    EXPECT_EQ(layout.separator, ';');
    EXPECT_EQ(layout.page, CodePage::Windows1252);
    ASSERT_EQ(layout.columns.size(), 3u);
    EXPECT_EQ(layout.columns[2].name, "Città");
    for (const auto& c : layout.columns) {
        EXPECT_EQ(c.type, DataType::Text);
        EXPECT_EQ(c.size, 255);
    }
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<Variant>{"1", "Caffè Rossi", "Forlì"}));
    EXPECT_EQ(rows[1][1], Variant("L'€uro s.r.l."));
}

TEST_F(TextTest, Utf8WithByteOrderMarkQuotesAndLineBreaksInside) {
    const Rows rows = Read("\xEF\xBB\xBF" "Nome,Note,Città\n"
                           "\"Rossi, Mario\",\"dice \"\"ciao\"\"\nsu due righe\",Forlì\n"
                           "Bianchi,\"\",\n");
    EXPECT_EQ(layout.separator, ',');
    EXPECT_EQ(layout.page, CodePage::Utf8);
    EXPECT_EQ(layout.columns[0].name, "Nome");  // the mark is not part of the name
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], Variant("Rossi, Mario"));
    EXPECT_EQ(rows[0][1], Variant("dice \"ciao\"\nsu due righe"));
    EXPECT_EQ(rows[0][2], Variant("Forlì"));
    // Quoted empty: an empty text; nothing between separators: Null.
    EXPECT_EQ(rows[1][1], Variant(""));
    EXPECT_TRUE(rows[1][2].IsNull());
}

TEST_F(TextTest, ShortLinesBlankLinesAndBlanksAroundValues) {
    const Rows rows = Read("A;B;C\n1;2\n\n  x  ; \" y \" ;z\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], Variant("2"));
    EXPECT_TRUE(rows[0][2].IsNull());  // missing at the end of a short line
    EXPECT_EQ(rows[1][0], Variant("x"));
    EXPECT_EQ(rows[1][1], Variant(" y "));  // blanks inside quotes stay
}

TEST_F(TextTest, TabsKeepTheirEmptyFields) {
    const Rows rows = Read("A\tB\tC\r\n1\t\t3\r\n\t\t\r\n");
    EXPECT_EQ(layout.separator, '\t');
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], Variant("1"));
    EXPECT_TRUE(rows[0][1].IsNull());
    EXPECT_EQ(rows[0][2], Variant("3"));
    EXPECT_TRUE(rows[1][0].IsNull());
}

TEST_F(TextTest, SeparatorIsCountedOutsideQuotesOnTheFirstLine) {
    Read("\"Nome;Cognome\",Citt\xC3\xA0,Cap\n\"a;b\",c,d\n");
    EXPECT_EQ(layout.separator, ',');
    EXPECT_EQ(layout.columns[0].name, "Nome;Cognome");
    // No separator on the first line: one field, whatever the lines hold.
    const Rows one = Read("Unico\nvalore, con virgola; e punto e virgola\n");
    EXPECT_EQ(layout.columns.size(), 1u);
    EXPECT_EQ(one.at(0).at(0), Variant("valore, con virgola; e punto e virgola"));
}

TEST_F(TextTest, LongValuesMakeAMemoAndNamesAreCompleted) {
    const std::string accented(300, 'a');
    std::string exactly255;
    for (int i = 0; i < 255; ++i) exactly255 += "\xC3\xA8";  // 255 characters, 510 bytes
    const Rows rows = Read("Breve;;Note;breve\n" + exactly255 + ";x;" + accented + ";y\n");
    ASSERT_EQ(layout.columns.size(), 4u);
    EXPECT_EQ(layout.columns[0].type, DataType::Text);  // counted in characters
    EXPECT_EQ(layout.columns[1].name, "F2");             // empty header
    EXPECT_EQ(layout.columns[2].type, DataType::Memo);
    EXPECT_EQ(layout.columns[2].size, 0);
    EXPECT_EQ(layout.columns[3].name, "F4");  // repeats "Breve" ignoring case
    EXPECT_EQ(rows[0][2], Variant(accented));
}

TEST_F(TextTest, TrailingEmptyValuesBeyondTheHeaderAreAccepted) {
    const Rows rows = Read("A;B\n1;2;\n3;4;;\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][1], Variant("4"));
}

TEST_F(TextTest, UnreadableFilesGiveAnErrorNamingTheFile) {
    auto check = [&](const std::string& bytes, int number, const std::string& words) {
        const core::Error e = ErrorFor(bytes);
        EXPECT_EQ(e.Number(), number) << e.Description();
        EXPECT_NE(e.Description().find(file), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find(words), std::string::npos) << e.Description();
    };
    check("", core::err::CorruptDatabase, "vuoto");
    check("\n\r\n", core::err::CorruptDatabase, "nomi dei campi");
    check("A;B\n1;\"non chiuso\n2;3\n", core::err::CorruptDatabase, "virgolette");
    check("A;B\n1;2\n1;2;3\n", core::err::CorruptDatabase, "riga di dati 2");
    check("A;B\n1;2\x00\x01\x02\n"s, core::err::NotADatabase, "non è un file di testo");
    check("\xFF\xFE" "A\0;\0B\0"s, core::err::NotADatabase, "UTF-16");
    const core::Error missing = CaughtError([&] { ScanTextFile(folder.Path("assente.csv")); });
    EXPECT_EQ(missing.Number(), core::err::FileNotFoundDb);
}

TEST_F(TextTest, ManyRecordsAreStreamedInOrder) {
    std::string bytes = "N;Testo\r\n";
    const int count = 60000;
    for (int i = 0; i < count; ++i) bytes += std::to_string(i) + ";\"riga\r\n" + std::to_string(i) + "\"\r\n";
    WriteBytes(file, bytes);
    auto cursor = OpenTextTable(file, ScanTextFile(file));
    int expected = 0;
    double last = 0;
    for (; !cursor->AtEnd(); cursor->Next(), ++expected) {
        ASSERT_EQ(cursor->Get(0), Variant(std::to_string(expected)));
        ASSERT_GE(cursor->Percent(), last);
        last = cursor->Percent();
    }
    EXPECT_EQ(expected, count);
    EXPECT_GT(last, 99.0);
}

}  // namespace
