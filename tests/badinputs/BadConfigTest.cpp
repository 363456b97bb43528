// Damaged INI files and import templates: each program either refuses with
// an Italian message or goes on as if the damaged part were absent; none
// crashes, hangs or writes to its destination.

#include <gtest/gtest.h>

#include "tests/badinputs/Installations.h"

using namespace badinputstest;

namespace {

// 4 MiB is the reader's cap; a file past it counts as unreadable.
std::string Huge(const std::string& good) { return good + "; " + std::string(5u * 1024u * 1024u, 'x') + "\n"; }
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

struct IniCase {
    const char* name;
    std::string ini;
    // Completion rules are read after the records are copied: a damaged
    // rule stops the run with the copied records in place, and says so.
    bool rulesAfterCopy = false;
};
void PrintTo(const IniCase& c, std::ostream* os) { *os << c.name; }
std::string CaseName(const ::testing::TestParamInfo<IniCase>& info) { return info.param.name; }

// ---- Varnel ----

std::vector<IniCase> VarnelCases() {
    const std::string good = VarnelHome::DefaultIni();
    return {
        {"Empty", ""},
        {"Binary", Noise(3000)},
        {"Huge", Huge(good)},
        {"NoKeys", "[CFG]\r\n[FORMATS]\r\n"},
        {"FormatsNegative", Replaced(good, "FORMATS=2", "FORMATS=-3")},
        {"FormatsHuge", Replaced(good, "FORMATS=2", "FORMATS=99999999")},
        {"FormatsNearLimit", Replaced(good, "FORMATS=2", "FORMATS=32000")},
        {"FormatsNotANumber", Replaced(good, "FORMATS=2", "FORMATS=due")},
        {"FormatEntryOfOnePart", Replaced(good, "2=SQLite,,.sqlite", "2=SQLite")},
        {"PasswordNotHex", Replaced(good, "DBPWD=63686961766535", "DBPWD=zz'];--")},
    };
}

class VarnelIni : public ::testing::TestWithParam<IniCase> {};

TEST_P(VarnelIni, RefusesOrLoadsWithoutTouchingTheDestination) {
    VarnelHome home;
    home.MakeDestination();
    home.WriteIni(GetParam().ini);
    const std::string before = Bytes(home.Destination());
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    {
        Watchdog dog(std::string("Varnel ini ") + GetParam().name);
        auto w = home.Load();
        if (w) {
            // Loaded: the source dialog must still open and a cancel leave all as it was.
            dialogs->CancelFile();
            w->cmdSourceDb_Click();
            EXPECT_FALSE(w->cmdAvvia()->isEnabled());
        } else {
            EXPECT_GE(dialogs->MessageCount(), 1) << "ended without a word";
        }
    }
    List("Varnel", std::string("INI ") + GetParam().name, *dialogs);
    ExpectItalianMessages(*dialogs);
    EXPECT_TRUE(Bytes(home.Destination()) == before) << "the destination changed";
}
INSTANTIATE_TEST_SUITE_P(Catalogue, VarnelIni, ::testing::ValuesIn(VarnelCases()), CaseName);

// ---- Quillon ----

std::vector<IniCase> QuillonCases() {
    const std::string good = QuillonHome::DefaultIni();
    return {
        {"Empty", ""},
        {"Binary", Noise(3000, 11)},
        {"Huge", Huge(good)},
        {"NoKeys", "[CFG]\r\n"},
        {"PasswordNotHex", Replaced(good, "DBPWD=", "DBPWD=GG\x01\x02")},
    };
}

class QuillonIni : public ::testing::TestWithParam<IniCase> {};

TEST_P(QuillonIni, RefusesOrLoadsWithoutTouchingTheArchive) {
    QuillonHome home;
    home.MakeArchiveAndTemplate();
    home.WriteIni(GetParam().ini);
    const std::string before = Bytes(home.Destination());
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    bool loaded = false;
    {
        Watchdog dog(std::string("Quillon ini ") + GetParam().name);
        upgrade::frmMain w;
        loaded = w.Load();
        if (!loaded) {
            EXPECT_GE(dialogs->MessageCount(), 1) << "ended without a word";
        }
    }
    List("Quillon", std::string("INI ") + GetParam().name, *dialogs);
    ExpectItalianMessages(*dialogs);
    EXPECT_TRUE(Bytes(home.Destination()) == before) << "the destination changed";
}
INSTANTIATE_TEST_SUITE_P(Catalogue, QuillonIni, ::testing::ValuesIn(QuillonCases()), CaseName);

// ---- Tessily: its INI ----

std::vector<IniCase> TessilyCases() {
    const std::string tables = TessilyHome::kTables;
    return {
        {"Empty", ""},
        {"Binary", Noise(3000, 5)},
        {"Huge", Huge(TessilyHome::Ini("2", tables))},
        {"NoKeys", "[CFG]\n[FORMATS]\n[TABLES]\n"},
        {"TablesNegative", TessilyHome::Ini("-2", tables)},
        {"TablesHuge", TessilyHome::Ini("4000000000", tables)},
        {"TablesNearLimit", TessilyHome::Ini("32767", tables)},
        {"TablesNotANumber", TessilyHome::Ini("dodici", tables)},
        {"TableEntryOfOnePart", TessilyHome::Ini("2", "1=Clienti,tblAnClienti\n2=Mandanti\n")},
        {"FormatsNegative", TessilyHome::Ini("2", tables, "-1")},
        {"FormatsHuge", TessilyHome::Ini("2", tables, "70000")},
        {"FormatsNotANumber", TessilyHome::Ini("2", tables, "nove")},
        {"FormatEntryOfOnePart", TessilyHome::Ini("2", tables, "9", "[FORMATS]\n1=Microsoft Access\n")},
        {"TableThatDoesNotExist", TessilyHome::Ini("1", "1=Clienti,tblFantasma\n")},
    };
}

class TessilyIni : public ::testing::TestWithParam<IniCase> {};

TEST_P(TessilyIni, RefusesOrImportsNothingWrong) {
    TessilyHome home;
    home.MakeDestination();
    home.WriteIni(GetParam().ini);
    const std::string source =
        home.MakeSqliteSource("CREATE TABLE Anagrafe (Codice TEXT(10)); INSERT INTO Anagrafe VALUES ('A1');");
    const std::string before = Bytes(home.Destination());
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    bool imported = false;
    {
        Watchdog dog(std::string("Tessily ini ") + GetParam().name);
        auto w = home.Load();
        if (w) {
            TessilyHome::ChooseAndRun(*w, *dialogs, source, TessilyHome::Sqlite);
            const auto messages = dialogs->Messages();
            imported = !messages.empty() && messages.back().text == "Operazione eseguita con successo!";
        } else {
            EXPECT_GE(dialogs->MessageCount(), 1) << "ended without a word";
        }
    }
    List("Tessily", std::string("INI ") + GetParam().name, *dialogs);
    ExpectItalianMessages(*dialogs);
    if (!imported) {
        EXPECT_TRUE(Bytes(home.Destination()) == before) << "the destination changed";
    }
}
INSTANTIATE_TEST_SUITE_P(Catalogue, TessilyIni, ::testing::ValuesIn(TessilyCases()), CaseName);

// ---- Tessily: templates ----

std::vector<IniCase> TemplateCases() {
    return {
        {"Empty", ""},
        {"Binary", Noise(2000, 3)},
        {"StdNegative", "[CFG]\nSTD=-4\n[STD]\n1=Codice,sCodice\n"},
        {"StdHuge", "[CFG]\nSTD=99999\n[STD]\n1=Codice,sCodice\n"},
        {"StdPastTheSlots", "[CFG]\nSTD=30\n[STD]\n1=Codice,sCodice\n"},
        {"StdNotANumber", "[CFG]\nSTD=quattro\n[STD]\n1=Codice,sCodice\n"},
        {"StdEntryOfOnePart", "[CFG]\nSTD=2\n[STD]\n1=Codice\n2=Denominazione,sDenominazione\n"},
        {"ReqNegative", "[CFG]\nSTD=1\nREQ=-1\n[STD]\n1=Codice,sCodice\n"},
        {"ReqEntryOfOnePart", "[CFG]\nSTD=1\nREQ=1\n[STD]\n1=Codice,sCodice\n[REQ]\n1=sDenominazione\n", true},
        {"FieldThatDoesNotExist", "[CFG]\nSTD=1\n[STD]\n1=Codice,sFantasma\n"},
        {"FieldNameWithBrackets", "[CFG]\nSTD=1\n[STD]\n1=Codice,sCodice]; DROP TABLE tblAnClienti; --\n"},
        {"ReqNamingAFieldThatDoesNotExist",
         "[CFG]\nSTD=1\nREQ=1\n[STD]\n1=Codice,sCodice\n[REQ]\n1=sFantasma,&,sCodice,sCodice\n", true},
    };
}

class TessilyTemplate : public ::testing::TestWithParam<IniCase> {};

TEST_P(TessilyTemplate, RefusesOrImportsNothingWrong) {
    TessilyHome home;
    home.MakeDestination();
    home.WriteTemplate("Clienti", GetParam().ini);
    const std::string source = home.MakeSqliteSource(
        "CREATE TABLE Anagrafe (Codice TEXT(10), Denominazione TEXT(50)); INSERT INTO Anagrafe VALUES ('A1', 'Ditta');");
    const std::string before = Bytes(home.Destination());
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    bool imported = false;
    {
        Watchdog dog(std::string("Tessily template ") + GetParam().name);
        auto w = home.Load();
        if (w && !w->Ended()) {
            TessilyHome::ChooseAndRun(*w, *dialogs, source, TessilyHome::Sqlite);
            const auto messages = dialogs->Messages();
            imported = !messages.empty() && messages.back().text == "Operazione eseguita con successo!";
        } else {
            EXPECT_GE(dialogs->MessageCount(), 1) << "ended without a word";
        }
    }
    List("Tessily", std::string("modello ") + GetParam().name, *dialogs);
    ExpectItalianMessages(*dialogs);
    if (GetParam().rulesAfterCopy) {
        // The source's one record and nothing else, and the details say the
        // rules stopped after the copy.
        EXPECT_FALSE(imported);
        EXPECT_NE(dialogs->LastMessage().details.find("dopo la copia"), std::string::npos)
            << dialogs->LastMessage().details;
        auto db = core::Workspace::OpenDatabase(home.Destination(), false, true,
                                                std::string(";PWD=") + TessilyHome::kKey);
        auto rs = db->OpenRecordset("SELECT [sCodice] FROM [tblAnClienti]");
        ASSERT_FALSE(rs->Eof());
        EXPECT_EQ(rs->Fields()[0].Value().ToTextOrEmpty(), "A1");
        rs->MoveNext();
        EXPECT_TRUE(rs->Eof());
    } else if (!imported) {
        EXPECT_TRUE(Bytes(home.Destination()) == before) << "the destination changed";
    }
    // The table itself is never dropped or damaged by a field name.
    auto db = core::Workspace::OpenDatabase(home.Destination(), false, true, std::string(";PWD=") + TessilyHome::kKey);
    EXPECT_NO_THROW(db->OpenRecordset("SELECT * FROM [tblAnClienti]"));
}
INSTANTIATE_TEST_SUITE_P(Catalogue, TessilyTemplate, ::testing::ValuesIn(TemplateCases()), CaseName);

}  // namespace
