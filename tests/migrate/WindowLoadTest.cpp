// Varnel's window: its load sequence and refusals, its layout and the
// states of its buttons.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "common/DateLabel.h"
#include "common/Startup.h"
#include "tests/migrate/SampleRows.h"
#include "tests/migrate/WindowDriver.h"
#include "ui/ctrProgress.h"

namespace migratetest {
namespace {

using WindowLoad = WindowTest;

TEST_F(WindowLoad, ShowsTheDestinationDisabledAndWaitsForASource) {
    MakeDestination();
    auto form = core::LoadedWindow<migrate::frmMain>();
    ASSERT_TRUE(form);
    EXPECT_EQ(dialogs_->Calls().size(), 0u) << dialogs_->Transcript();
    EXPECT_EQ(form->windowTitle().toStdString(), "Varnel - Agenzia Prova");
    EXPECT_EQ(form->lblData()->text().toStdString(), core::TodayLabel());
    EXPECT_EQ(std::filesystem::path(form->txtTargetDb()->text().toStdString()), std::filesystem::path(DestinationPath()));
    EXPECT_FALSE(form->txtTargetDb()->isEnabled());
    EXPECT_FALSE(form->cmdTargetDb()->isEnabled());
    EXPECT_FALSE(form->cmdAvvia()->isEnabled());
    EXPECT_TRUE(form->txtSourceDb()->text().isEmpty());
    EXPECT_TRUE(form->txtSourceDb()->isReadOnly());
    EXPECT_EQ(core::ThePrefs().destinationPassword, kDestinationKey);
    EXPECT_EQ(core::ThePrefs().previousFileName, "ARCHIVIO4.sqlite");
    EXPECT_EQ(core::ThePrefs().previousPassword, "vup");
    EXPECT_FALSE(form->dcFrom().HasRecordset());  // no database opened while loading
}

TEST_F(WindowLoad, MissingConfigurationEndsBeforeAnyOtherCheck) {
    std::filesystem::remove(folder_ + "/Varnel.ini");
    EXPECT_FALSE(core::LoadedWindow<migrate::frmMain>());
    ASSERT_EQ(dialogs_->MessageCount(), 1);
    const auto m = dialogs_->LastMessage();
    EXPECT_EQ(m.text, "Il file di configurazione non \xC3\xA8 stato trovato! L'applicazione verr\xC3\xA0 terminata!");
    EXPECT_EQ(m.icon, core::MsgIcon::Critical);
    EXPECT_EQ(m.title, "Varnel");
}

TEST_F(WindowLoad, MissingArchiveEndsTheProgram) {
    // No destination database; then one whose DBPATH lacks its separator.
    EXPECT_FALSE(core::LoadedWindow<migrate::frmMain>());
    MakeDestination();
    WriteIni(Replace(DefaultIni(), "DBPATH=Dati\\", "DBPATH=Dati"));
    EXPECT_FALSE(core::LoadedWindow<migrate::frmMain>());
    const auto messages = dialogs_->Messages();
    ASSERT_EQ(messages.size(), 2u);
    // Each names the path tried, the second also what is wrong with it.
    const char* ends[] = {"/Dati/archivio5.db')! L'applicazione verrà terminata!",
                          "/Datiarchivio5.db'): DBPATH ('Dati') non termina con '\\'! L'applicazione verrà terminata!"};
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string& text = messages[i].text;
        EXPECT_EQ(text.rfind("il file archivio non è stato trovato ('", 0), 0u) << text;
        EXPECT_TRUE(text.ends_with(ends[i])) << text;
        EXPECT_EQ(messages[i].icon, core::MsgIcon::Critical);
    }
}

TEST_F(WindowLoad, LayoutInPixelsFromTwipsAndTabOrder) {
    MakeDestination();
    auto form = core::LoadedWindow<migrate::frmMain>();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->size(), QSize(441, 228));
    EXPECT_EQ(form->txtSourceDb()->geometry(), QRect(8, 56, 401, 21));
    EXPECT_EQ(form->cmdSourceDb()->geometry(), QRect(412, 56, 21, 21));
    EXPECT_EQ(form->chkSvuota()->geometry(), QRect(16, 128, 409, 21));
    EXPECT_EQ(form->cmdAvvia()->geometry(), QRect(268, 172, 81, 25));
    EXPECT_EQ(form->cmdChiudi()->geometry(), QRect(352, 172, 81, 25));
    EXPECT_EQ(form->pbrMain()->geometry(), QRect(8, 212, 425, 9));
    EXPECT_EQ(form->chkSvuota()->text().toStdString(), "Svuota le tabelle di destinazione prima della copia");
    EXPECT_TRUE(form->cmdAvvia()->isDefault());
    EXPECT_EQ(form->pbrMain()->Value(), 0);
    EXPECT_FALSE(form->pbrMain()->Show3D());
    for (const char* name : {"Picture1", "Label1", "Label2", "Label3", "Label4", "Shape1", "Line1", "Line4",
                             "txtTargetDb", "cmdTargetDb", "lblData"})
        EXPECT_TRUE(form->findChild<QWidget*>(name)) << name;
    QWidget* expected[] = {form->txtSourceDb(), form->cmdSourceDb(), form->txtTargetDb(), form->cmdTargetDb(),
                           form->chkSvuota(),   form->cmdAvvia(),    form->cmdChiudi()};
    // The next control that takes focus by Tab, labels and frames skipped.
    auto nextTabStop = [](QWidget* w) {
        QWidget* next = w->nextInFocusChain();
        while (next != w && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
        return next;
    };
    for (int i = 0; i + 1 < 7; ++i) EXPECT_EQ(nextTabStop(expected[i]), expected[i + 1]) << i;
}

TEST_F(WindowLoad, ChoosingTheArchiveUsesTheKnownPasswordAndEnablesAvvia) {
    MakeDestination();
    MakeArchive(BaseRows());
    auto form = core::LoadedWindow<migrate::frmMain>();
    ASSERT_TRUE(form);
    dialogs_->CancelFile();
    form->cmdSourceDb_Click();
    EXPECT_FALSE(form->cmdAvvia()->isEnabled());
    EXPECT_TRUE(form->txtSourceDb()->text().isEmpty());
    // Protected, and named as PREFILE but for the letter case: no question.
    dialogs_->AnswerFile(ArchivePath(), 2);
    form->cmdSourceDb_Click();
    EXPECT_TRUE(form->cmdAvvia()->isEnabled()) << dialogs_->Transcript();
    EXPECT_EQ(form->txtSourceDb()->text().toStdString(), ArchivePath());
    EXPECT_EQ(dialogs_->Count(testsupport::DialogCall::Kind::InputBox), 0);
}

}  // namespace
}  // namespace migratetest
