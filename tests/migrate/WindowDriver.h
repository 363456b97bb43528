#pragma once
// Drives Varnel's window as a user would, headless: load, choose the
// source through the shared selection, tick the box, Avvia, answer.

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "common/Startup.h"
#include "migrate/frmMain.h"
#include "tests/migrate/MigrationFixture.h"
#include "tests/support/ScriptedDialogs.h"

namespace migratetest {

inline QApplication& EnsureApp() {
    static int argc = 1;
    static char name[] = "migrate_tests";
    static char* argv[] = {name, nullptr};
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    return *new QApplication(argc, argv);
}

// Fails the test when a field name is not in the record (a typo would
// otherwise read as Null).
inline core::Variant At(const Row& row, const std::string& field) {
    auto it = row.find(field);
    EXPECT_NE(it, row.end()) << "no field " << field;
    return it == row.end() ? core::Variant() : it->second;
}
inline std::string Text(const Row& row, const std::string& field) { return At(row, field).ToTextOrEmpty(); }
inline double Number(const Row& row, const std::string& field) {
    const core::Variant v = At(row, field);
    EXPECT_FALSE(v.IsNull()) << field << " is Null";
    return v.IsNull() ? -99999 : v.ToDouble();
}
inline bool IsNull(const Row& row, const std::string& field) { return At(row, field).IsNull(); }

class WindowTest : public MigrationFixture {
protected:
    void SetUp() override {
        EnsureApp();
        MigrationFixture::SetUp();
    }
    void TearDown() override {
        form_.reset();
        MigrationFixture::TearDown();
    }

    // Loads the window and chooses the archive (SQLite, second file type).
    void OpenWindow(const std::string& archive = {}, int filterIndex = 2) {
        form_ = core::LoadedWindow<migrate::frmMain>();
        ASSERT_TRUE(form_) << dialogs_->Transcript();
        dialogs_->AnswerFile(archive.empty() ? ArchivePath() : archive, filterIndex);
        form_->cmdSourceDb_Click();
        ASSERT_TRUE(form_->cmdAvvia()->isEnabled()) << dialogs_->Transcript();
        dialogs_->ClearLog();
    }
    // Ticks or clears the box, presses Avvia and answers Yes.
    migrate::RunOutcome Avvia(bool empty) {
        form_->chkSvuota()->setChecked(empty);
        dialogs_->AnswerMessage(core::MsgResult::Yes);
        return form_->cmdAvvia_Click();
    }
    // Archive with the base rows, destination from the sample structure,
    // one run through the window.
    void MigrateBase(const std::string& destination = V5Script());

    testsupport::ScopedScriptedDialogs dialogs_;
    std::unique_ptr<migrate::frmMain> form_;
};

}  // namespace migratetest
