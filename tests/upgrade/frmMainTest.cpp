// Quillon's window driven headless: the load sequence with its refusals,
// and a run pressed through its buttons.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/Paths.h"
#include "common/Prefs.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/ui/QtTestApp.h"
#include "tests/upgrade/UpgradeTestSupport.h"
#include "ui/ProgressCaption.h"
#include "ui/ctrProgress.h"
#include "upgrade/frmMain.h"

using namespace upgradetest;
using testsupport::ScopedScriptedDialogs;

namespace {

class frmMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::EnsureQtApp();
        core::SetProgramFolderForTesting(folder.Path().string());
        core::InitPrefs("Quillon", "Quillon.ini");
    }
    void TearDown() override { core::SetProgramFolderForTesting({}); }

    void WriteIni(const std::string& dbPath, const std::string& dbFile = "archivio.db") {
        WriteBytes(folder.File("Quillon.ini"), "[CFG]\r\nAPPNAME=Agenzia\r\nDBPATH=" + dbPath + "\r\nDBFILE=" + dbFile +
                                                    "\r\nDBPWD=\r\n");
    }
    std::string Archive() const { return (folder.Path() / "Dati" / "archivio.db").string(); }
    void MakeArchive() {
        fs::create_directories(folder.Path() / "Dati");
        core::sqlite::CreateDatabase(Archive(), R"(CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));
INSERT INTO "tblAree" VALUES (1, 'N');)");
    }
    void MakeTemplate() {
        core::sqlite::CreateDatabase(Archive() + ".upg", R"(CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));)");
    }
    template <typename T>
    T* Child(upgrade::frmMain& w, const char* name) {
        auto* child = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void ExpectOnlyRefusal(const std::string& firstSentence) {
        ASSERT_EQ(dialogs->MessageCount(), 1) << dialogs->Transcript();
        const auto m = dialogs->LastMessage();
        EXPECT_EQ(m.text, firstSentence + " L'applicazione verr\xC3\xA0 terminata!");
        EXPECT_EQ(m.icon, core::MsgIcon::Critical);
        EXPECT_EQ(m.title, "Quillon");
    }

    TempFolder folder;
    ScopedScriptedDialogs dialogs;
};

TEST_F(frmMainTest, WithoutConfigurationNothingElseIsCheckedAndTheCaptionIsNotSet) {
    upgrade::frmMain w;
    EXPECT_FALSE(w.Load());
    ExpectOnlyRefusal("Il file di configurazione non \xC3\xA8 stato trovato!");
    EXPECT_TRUE(w.windowTitle().isEmpty());
    EXPECT_TRUE(Child<QLabel>(w, "lblTbl")->text().isEmpty());
    EXPECT_FALSE(Child<QLabel>(w, "lblData")->text().isEmpty());
}

TEST_F(frmMainTest, AMissingArchiveIsRefusedSecond) {
    WriteIni("Dati\\");
    upgrade::frmMain w;
    EXPECT_FALSE(w.Load());
    ExpectOnlyRefusal("il file archivio non è stato trovato ('" + Archive() + "'): la cartella '" +
                      (folder.Path() / "Dati").string() + "' non esiste!");
    EXPECT_EQ(w.windowTitle(), "Quillon - Agenzia");
}

TEST_F(frmMainTest, DbPathWithoutSeparatorIsJoinedAsItStandsAndMissesTheArchive) {
    WriteIni("Dati");
    MakeArchive();
    upgrade::frmMain w;
    EXPECT_FALSE(w.Load());
    ExpectOnlyRefusal("il file archivio non è stato trovato ('" + (folder.Path() / "Datiarchivio.db").string() +
                      "'): DBPATH ('Dati') non termina con '\\'!");
    EXPECT_EQ(core::ThePrefs().destinationPath, (folder.Path() / "Datiarchivio.db").string());
}

TEST_F(frmMainTest, AMissingTemplateIsRefusedThirdWithBothPathsShown) {
    WriteIni("Dati\\");
    MakeArchive();
    upgrade::frmMain w;
    EXPECT_FALSE(w.Load());
    ExpectOnlyRefusal("il file archivio di destinazione non è stato trovato ('" + Archive() + ".upg')!");
    EXPECT_EQ(Child<QLineEdit>(w, "txtSourceDb")->text().toStdString(), Archive());
    EXPECT_EQ(Child<QLineEdit>(w, "txtTargetDb")->text().toStdString(), Archive() + ".upg");
}

TEST_F(frmMainTest, ALoadedWindowShowsBothPathsReadOnly) {
    WriteIni("Dati\\");
    MakeArchive();
    MakeTemplate();
    upgrade::frmMain w;
    ASSERT_TRUE(w.Load());
    EXPECT_EQ(dialogs->MessageCount(), 0);
    for (const char* name : {"txtSourceDb", "txtTargetDb"}) EXPECT_FALSE(Child<QLineEdit>(w, name)->isEnabled());
    for (const char* name : {"cmdSourceDb", "cmdTargetDb"}) EXPECT_FALSE(Child<QPushButton>(w, name)->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(w, "cmdAvvia")->isEnabled());
    EXPECT_EQ(Child<QPushButton>(w, "cmdAvvia")->geometry(), QRect(268, 136, 81, 25));
    EXPECT_EQ(Child<ui::ctrProgress>(w, "pbrMain")->geometry(), QRect(8, 176, 425, 9));
    EXPECT_EQ(w.size(), QSize(441, 194));
    EXPECT_EQ(Child<QLineEdit>(w, "txtTargetDb")->text().toStdString(), Archive() + ".upg");
}

TEST_F(frmMainTest, AvviaRunsTheUpgradeAndTheWindowStaysReady) {
    WriteIni("Dati\\");
    MakeArchive();
    MakeTemplate();
    upgrade::frmMain w;
    ASSERT_TRUE(w.Load());
    dialogs->AnswerMessage(core::MsgResult::Yes);
    Child<QPushButton>(w, "cmdAvvia")->click();

    EXPECT_EQ(dialogs->LastMessage().text, "Operazione eseguita con successo!") << dialogs->Transcript();
    // At the end the caption says the run is over.
    EXPECT_EQ(Child<ui::ProgressCaption>(w, "lblTbl")->FullText().toStdString(),
              "Aggiornamento completato.\n1 tabella copiata, 1 record scritto.");
    EXPECT_EQ(Child<ui::ctrProgress>(w, "pbrMain")->Value(), 0);
    EXPECT_TRUE(Exists(Archive() + ".bak"));
    EXPECT_FALSE(Exists(Archive() + ".upg"));
    EXPECT_EQ(Rows(Archive(), "", "SELECT * FROM [tblAree]").size(), 1u);
}

// The states an upgrade stopped half-way can leave, as the next start finds
// them, and what the window does about each with the user's answer.
TEST_F(frmMainTest, AtStartWhatAnInterruptedUpgradeLeftIsPutRight) {
    const std::string original = R"(CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));
INSERT INTO "tblAree" VALUES (1, 'N'); INSERT INTO "tblAree" VALUES (2, 'S');)";
    // Filled by the run: the same rows and the new structure's table.
    const std::string filled = original + R"(CREATE TABLE "tblNuova" ("ID" INTEGER PRIMARY KEY);)";
    const std::string halfFilled = R"(CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));
INSERT INTO "tblAree" VALUES (1, 'N'); CREATE TABLE "tblNuova" ("ID" INTEGER PRIMARY KEY);)";
    enum class Is { Missing, Original, Filled };
    const struct Case {
        const char* name;
        std::string archive, backup, upg;  // scripts, "" for no file
        std::vector<core::MsgResult> answers;
        core::MsgButtons offered;  // Ok: no question
        bool loads;
        Is archiveAfter;
        bool backupAfter;
    } cases[] = {
        {"archive beside an old backup: nothing to do", original, original, filled, {}, core::MsgButtons::Ok, true,
         Is::Original, true},
        {"between the renames, swap completed", "", original, filled, {core::MsgResult::Yes},
         core::MsgButtons::YesNoCancel, false /* the template is gone now */, Is::Filled, true},
        {"between the renames, original put back", "", original, filled, {core::MsgResult::No},
         core::MsgButtons::YesNoCancel, true, Is::Original, false},
        {"between the renames, left as it is", "", original, filled, {core::MsgResult::Cancel},
         core::MsgButtons::YesNoCancel, false, Is::Missing, true},
        {"between the renames, a template that fails the checks", "", original, halfFilled, {core::MsgResult::Yes},
         core::MsgButtons::YesNo, true, Is::Original, false},
        {"only the backup", "", original, "", {core::MsgResult::Yes}, core::MsgButtons::YesNo,
         false /* no template */, Is::Original, false},
        {"nothing to recover from", "", "", filled, {}, core::MsgButtons::Ok, false, Is::Missing, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder.Path() / "Dati");
        fs::create_directories(folder.Path() / "Dati");
        WriteIni("Dati\\");
        if (!c.archive.empty()) core::sqlite::CreateDatabase(Archive(), c.archive);
        if (!c.backup.empty()) core::sqlite::CreateDatabase(Archive() + ".bak", c.backup);
        if (!c.upg.empty()) core::sqlite::CreateDatabase(Archive() + ".upg", c.upg);
        dialogs->ClearLog();
        for (auto answer : c.answers) dialogs->AnswerMessage(answer);

        upgrade::frmMain w;
        EXPECT_EQ(w.Load(), c.loads) << dialogs->Transcript();
        const auto messages = dialogs->Messages();
        if (c.offered == core::MsgButtons::Ok) {
            for (const auto& m : messages) EXPECT_EQ(m.buttons, core::MsgButtons::Ok) << m.Describe();
        } else {
            ASSERT_FALSE(messages.empty());
            EXPECT_EQ(messages[0].buttons, c.offered);
            EXPECT_NE(messages[0].text.find(Archive() + ".bak"), std::string::npos) << messages[0].text;
        }
        EXPECT_TRUE(dialogs->AllAnswersUsed());
        switch (c.archiveAfter) {
        case Is::Missing: EXPECT_FALSE(Exists(Archive())); break;
        case Is::Original: EXPECT_EQ(TableNames(Archive(), ""), std::vector<std::string>{"tblAree"}); break;
        case Is::Filled: EXPECT_EQ(TableNames(Archive(), "").size(), 2u); break;
        }
        EXPECT_EQ(Exists(Archive() + ".bak"), c.backupAfter);
        core::Engine::Instance().Prune();
    }
}

// The caption as each stage of the run is reached.
class WatchedWindow : public upgrade::frmMain {
public:
    std::vector<std::string> atStages;
    void StageReached(upgrade::UpgradeStage stage) override {
        frmMain::StageReached(stage);
        atStages.push_back(findChild<ui::ProgressCaption*>("lblTbl")->FullText().toStdString());
    }
};

const char* kLongName = "tblRigheDocumentoConUnNomeCheNonStaAccantoAdAvvia";

std::string Numbered(const std::string& table, int n) {
    return "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < " + std::to_string(n) +
           ") INSERT INTO \"" + table + "\" SELECT i, 'R' || i FROM k;";
}

TEST_F(frmMainTest, TheCaptionNamesTheTableTheRowsAndTheFinalPhases) {
    WriteIni("Dati\\");
    fs::create_directories(folder.Path() / "Dati");
    const std::string structure = std::string("CREATE TABLE \"tblAree\" (\"ID\" INTEGER PRIMARY KEY, \"sCodice\" VARCHAR(10));") +
                                  "CREATE TABLE \"" + kLongName + "\" (\"ID\" INTEGER PRIMARY KEY, \"sCodice\" VARCHAR(10));";
    core::sqlite::CreateDatabase(Archive(), structure + Numbered("tblAree", 1) + Numbered(kLongName, 50));
    core::sqlite::CreateDatabase(Archive() + ".upg", structure);
    WatchedWindow w;
    ASSERT_TRUE(w.Load());
    w.Pacer().SetInterval({});
    auto* caption = Child<ui::ProgressCaption>(w, "lblTbl");
    std::vector<std::string> seen;
    std::vector<QString> shown;
    dialogs->OnYield([&] {
        seen.push_back(caption->FullText().toStdString());
        shown.push_back(caption->text());
    });
    dialogs->AnswerMessage(core::MsgResult::Yes);
    w.cmdAvvia_Click();
    ASSERT_EQ(dialogs->LastMessage().text, "Operazione eseguita con successo!") << dialogs->Transcript();

    // During the copy: the table, its place among the tables, the rows written.
    ASSERT_GE(seen.size(), 51u);
    EXPECT_EQ(seen.front(), "Tabella 1 di 2: tblAree\n1 record scritto");
    EXPECT_EQ(seen.back(), std::string("Tabella 2 di 2: ") + kLongName + "\n50 record scritti");
    // A long name is shortened in the middle, within the caption's width.
    const QString line = shown.back().split('\n').front();
    EXPECT_TRUE(line.contains(QChar(0x2026))) << line.toStdString();
    EXPECT_TRUE(line.startsWith("Tabella 2 di 2: tbl")) << line.toStdString();
    EXPECT_TRUE(line.endsWith("Avvia")) << line.toStdString();
    EXPECT_LE(caption->fontMetrics().horizontalAdvance(line), caption->width());
    // After the copy: the checks, then the swap; at the end, how it went.
    ASSERT_FALSE(w.atStages.empty());
    EXPECT_EQ(w.atStages.front(), "Verifica del database aggiornato\xE2\x80\xA6");
    EXPECT_NE(std::find(w.atStages.begin(), w.atStages.end(), "Sostituzione dei file\xE2\x80\xA6"), w.atStages.end());
    EXPECT_EQ(caption->FullText().toStdString(), "Aggiornamento completato.\n2 tabelle copiate, 51 record scritti.");
}

// Interrompi, or closing the window and answering Yes, stops the copy at a
// row: the archive is untouched, the template as far as the copy got.
TEST_F(frmMainTest, AStopLeavesTheArchiveAndSaysSo) {
    for (const bool byClosing : {false, true}) {
        SCOPED_TRACE(byClosing ? "closing the window" : "Interrompi");
        fs::remove_all(folder.Path() / "Dati");
        fs::create_directories(folder.Path() / "Dati");
        WriteIni("Dati\\");
        const std::string structure = R"(CREATE TABLE "tblAree" ("ID" INTEGER PRIMARY KEY, "sCodice" VARCHAR(10));)";
        core::sqlite::CreateDatabase(Archive(), structure + Numbered("tblAree", 300));
        core::sqlite::CreateDatabase(Archive() + ".upg", structure);
        const std::string archive = ReadBytes(Archive());
        dialogs->ClearLog();

        upgrade::frmMain w;
        int ended = 0;
        w.SetEndProgram([&] { ++ended; });
        ASSERT_TRUE(w.Load());
        w.show();
        w.Pacer().SetInterval({});
        int yields = 0;
        dialogs->OnYield([&] {
            if (++yields != 20) return;
            if (byClosing) {
                dialogs->AnswerMessage(core::MsgResult::Yes);
                w.close();
            } else {
                Child<QPushButton>(w, "cmdAvvia")->click();
            }
        });
        dialogs->AnswerMessage(core::MsgResult::Yes);
        w.cmdAvvia_Click();
        dialogs->OnYield({});

        const auto end = dialogs->LastMessage();
        EXPECT_EQ(end.title, "Quillon") << dialogs->Transcript();
        EXPECT_EQ(end.icon, core::MsgIcon::Exclamation);
        EXPECT_EQ(end.text.rfind("Operazione interrotta dall'utente. L'archivio non \xC3\xA8 stato modificato", 0), 0u)
            << end.text;
        EXPECT_FALSE(end.details.empty());
        EXPECT_EQ(ReadBytes(Archive()), archive);
        EXPECT_FALSE(Exists(Archive() + ".bak"));
        // The template holds what an error at that row would have left.
        EXPECT_LT(Rows(Archive() + ".upg", "", "SELECT * FROM [tblAree]").size(), 300u);
        EXPECT_EQ(Child<ui::ProgressCaption>(w, "lblTbl")->FullText().toStdString(),
                  "Aggiornamento interrotto dall'utente.\nL'archivio non \xC3\xA8 stato modificato.");
        EXPECT_EQ(Child<QPushButton>(w, "cmdAvvia")->text(), "Avvia");
        EXPECT_EQ(ended, byClosing ? 1 : 0);
        core::Engine::Instance().Prune();
    }
}

TEST_F(frmMainTest, ChiudiEndsTheProgram) {
    upgrade::frmMain w;
    int ended = 0;
    w.SetEndProgram([&] { ++ended; });
    Child<QPushButton>(w, "cmdChiudi")->click();
    EXPECT_EQ(ended, 1);
}

}  // namespace
