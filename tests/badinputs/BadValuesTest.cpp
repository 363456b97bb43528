// Codes and texts that would break a program building SQL text or cutting
// bytes carelessly: quotes, brackets, semicolons, SQL words, NUL and control
// characters, 64 KB texts. They travel through Varnel's migration and
// Tessily's import as plain values, cut only to the field's size.

#include <gtest/gtest.h>

#include "common/engine/FieldConvert.h"
#include "tests/badinputs/Installations.h"

using namespace badinputstest;

namespace {

struct Value {
    const char* name;
    std::string code;
    std::string text;
};

const std::string k64K = [] {
    std::string s;
    while (s.size() < 65536) s += "Testo lungo, àèìòù; ";
    return s.substr(0, 65536);
}();

std::vector<Value> Values() {
    return {
        {"Apostrophes", "D'ALFA''", "L'agenzia dell''Emilia"},
        {"Brackets", "[A]]B[", "[tblAree]] ]["},
        {"Semicolons", "A;B;C", "uno; due;; tre"},
        {"SqlWords", "DROP", "'); DROP TABLE tblAree; --"},
        {"SqlWordsInCode", "' OR 1=1", "SELECT * FROM [tblAree] WHERE 1=1"},
        {"Controls", "C\t\x01\x1f", std::string("riga\r\nnuova\x07\x1b[0m")},
        {"Nul", std::string("N\0UL", 4), std::string("prima\0dopo", 10)},
        {"Long64K", "L64K", k64K},
        {"PercentAndUnderscore", "%_*?", "100% _vero_"},
    };
}

// SQL text literal, quotes doubled, NUL and controls through a blob.
std::string Literal(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out = "CAST(X'";
    for (unsigned char c : s) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out + "' AS TEXT)";
}

// A value as it may come back: whole and cut to the field, or cut at a NUL
// by a reader that stops there (the rest then must not turn into garbage).
::testing::AssertionResult Arrived(const core::Variant& got, const std::string& sent, int size) {
    const std::string text = got.IsNull() ? std::string() : got.ToTextOrEmpty();
    const std::string whole = size > 0 ? core::CutChars(sent, size) : sent;
    const std::string untilNul = whole.substr(0, whole.find('\0'));
    if (text == whole || text == untilNul) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "stored " << text.size() << " bytes \"" << text.substr(0, 60)
                                         << "\" for \"" << sent.substr(0, 60) << "\"";
}

TEST(BadValues, VarnelMigratesThemAsPlainValues) {
    VarnelHome home;
    home.MakeDestination();
    std::string rows;
    for (const auto& v : Values())
        rows += "INSERT INTO \"Area\" VALUES (" + Literal(v.code) + "," + Literal(v.text) + ");\n";
    const std::string archive = home.MakeArchive(rows);
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    {
        Watchdog dog("Varnel values");
        auto w = home.Load();
        ASSERT_TRUE(w) << dialogs->Transcript();
        ASSERT_TRUE(VarnelHome::Choose(*w, *dialogs, archive, 2)) << dialogs->Transcript();
        EXPECT_EQ(w->cmdAvvia_Click(), migrate::RunOutcome::Succeeded) << dialogs->Transcript();
    }
    List("Varnel", "valori con apici, parentesi, ;, SQL, NUL, controlli, 64 KB", *dialogs);
    ExpectItalianMessages(*dialogs);
    core::Engine::Instance().FlushAll();
    auto db = core::Workspace::OpenDatabase(home.Destination(), false, true, std::string(";PWD=") + VarnelHome::kKey);
    auto rs = db->OpenRecordset("SELECT * FROM [tblAree] ORDER BY [ID]");
    std::size_t i = 0;
    const auto values = Values();
    for (; !rs->Eof(); rs->MoveNext(), ++i) {
        ASSERT_LT(i, values.size());
        SCOPED_TRACE(values[i].name);
        EXPECT_TRUE(Arrived(rs->Fields()["sCodice"].Value(), values[i].code, 10));
        EXPECT_TRUE(Arrived(rs->Fields()["sDescrizione"].Value(), values[i].text, 30));
    }
    EXPECT_EQ(i, values.size());
}

TEST(BadValues, TessilyImportsThemAsPlainValues) {
    TessilyHome home;
    home.MakeDestination();
    std::string script = "CREATE TABLE Anagrafe (Codice TEXT, Cognome TEXT, Denominazione TEXT, Note TEXT);";
    for (const auto& v : Values())
        script += "INSERT INTO Anagrafe VALUES (" + Literal(v.code) + "," + Literal(v.text) + "," + Literal(v.text) +
                  "," + Literal(v.text) + ");";
    const std::string source = home.MakeSqliteSource(script);
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    {
        Watchdog dog("Tessily values");
        auto w = home.Load();
        ASSERT_TRUE(w) << dialogs->Transcript();
        TessilyHome::ChooseAndRun(*w, *dialogs, source, TessilyHome::Sqlite);
        // The 64 KB value is cut to the sizes of the three text fields.
        EXPECT_EQ(dialogs->LastMessage().text, "Operazione eseguita con successo!\n\n3 valori troncati")
            << dialogs->Transcript();
    }
    List("Tessily", "valori con apici, parentesi, ;, SQL, NUL, controlli, 64 KB", *dialogs);
    ExpectItalianMessages(*dialogs);
    core::Engine::Instance().FlushAll();
    auto db = core::Workspace::OpenDatabase(home.Destination(), false, true, std::string(";PWD=") + TessilyHome::kKey);
    auto rs = db->OpenRecordset("SELECT * FROM [tblAnClienti] ORDER BY [ID]");
    std::size_t i = 0;
    const auto values = Values();
    for (; !rs->Eof(); rs->MoveNext(), ++i) {
        ASSERT_LT(i, values.size());
        SCOPED_TRACE(values[i].name);
        EXPECT_TRUE(Arrived(rs->Fields()["sCodice"].Value(), values[i].code, 10));
        EXPECT_TRUE(Arrived(rs->Fields()["sCognome"].Value(), values[i].text, 30));
        EXPECT_TRUE(Arrived(rs->Fields()["sDenominazione"].Value(), values[i].text, 100));
        EXPECT_TRUE(Arrived(rs->Fields()["sNote"].Value(), values[i].text, 0));
    }
    EXPECT_EQ(i, values.size());
}

}  // namespace
