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
    ExpectOnlyRefusal("il file archivio non \xC3\xA8 stato trovato!");
    EXPECT_EQ(w.windowTitle(), "Quillon - Agenzia");
}

TEST_F(frmMainTest, DbPathWithoutSeparatorIsJoinedAsItStandsAndMissesTheArchive) {
    WriteIni("Dati");
    MakeArchive();
    upgrade::frmMain w;
    EXPECT_FALSE(w.Load());
    ExpectOnlyRefusal("il file archivio non \xC3\xA8 stato trovato!");
    EXPECT_EQ(core::ThePrefs().destinationPath, (folder.Path() / "Datiarchivio.db").string());
}

TEST_F(frmMainTest, AMissingTemplateIsRefusedThirdWithBothPathsShown) {
    WriteIni("Dati\\");
    MakeArchive();
    upgrade::frmMain w;
    EXPECT_FALSE(w.Load());
    ExpectOnlyRefusal("il file archivio di destinazione non \xC3\xA8 stato trovato!");
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
    EXPECT_EQ(Child<QLabel>(w, "lblTbl")->text(), "Copia della tabella tblAree in corso...");
    EXPECT_EQ(Child<ui::ctrProgress>(w, "pbrMain")->Value(), 0);
    EXPECT_TRUE(Exists(Archive() + ".bak"));
    EXPECT_FALSE(Exists(Archive() + ".upg"));
    EXPECT_EQ(Rows(Archive(), "", "SELECT * FROM [tblAree]").size(), 1u);
}

TEST_F(frmMainTest, ChiudiEndsTheProgram) {
    upgrade::frmMain w;
    int ended = 0;
    w.SetEndProgram([&] { ++ended; });
    Child<QPushButton>(w, "cmdChiudi")->click();
    EXPECT_EQ(ended, 1);
}

}  // namespace
