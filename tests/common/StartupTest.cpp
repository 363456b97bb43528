#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <string>

#include "common/Prefs.h"
#include "common/Startup.h"
#include "common/engine/Error.h"
#include "tests/common/InstanceHolder.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

char programName[] = "common_startup_tests";
char* programArgv[] = {programName, nullptr};

struct Seen {
    bool dialogsMade = false;
    bool windowMade = false;
    testsupport::ScriptedDialogs* dialogs = nullptr;
};

core::DialogsFactory ScriptedFactory(Seen& seen) {
    return [&seen] {
        seen.dialogsMade = true;
        auto dialogs = std::make_unique<testsupport::ScriptedDialogs>();
        seen.dialogs = dialogs.get();
        return dialogs;
    };
}

TEST(RunProgramTest, SecondInstanceEndsAtOnceAndSilently) {
    const std::string title = testsupport::UniqueProgramName("Second");
    testsupport::InstanceHolder first(title);
    ASSERT_TRUE(first.Holds());
    Seen seen;
    const int rc = core::RunProgram(1, programArgv, title, "Second.ini", ScriptedFactory(seen), [&seen] {
        seen.windowMade = true;
        return std::unique_ptr<QWidget>();
    });
    EXPECT_EQ(rc, core::kExitSecondInstance);
    EXPECT_FALSE(seen.dialogsMade);  // nothing was even prepared to be shown
    EXPECT_FALSE(seen.windowMade);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

TEST(RunProgramTest, ShowsTheWindowRunsTheLoopAndCleansUp) {
    const std::string title = testsupport::UniqueProgramName("Run");
    Seen seen;
    bool shown = false;
    std::string yes, iniPath;
    bool previous = true;
    const int rc = core::RunProgram(1, programArgv, title, "Prog.ini", ScriptedFactory(seen), [&] {
        seen.windowMade = true;
        iniPath = core::ThePrefs().iniPath;
        previous = core::PreviousInstance();
        // Qt's own standard buttons speak Italian.
        yes = QCoreApplication::translate("QPlatformTheme", "&Yes").toStdString();
        auto window = std::make_unique<QWidget>();
        QTimer::singleShot(0, [&shown, w = window.get()] {
            shown = w->isVisible();
            core::EndProgram(7);
        });
        return window;
    });
    EXPECT_EQ(rc, 7);
    EXPECT_TRUE(seen.windowMade);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(previous);
    EXPECT_EQ(yes, "&S\xC3\xAC");
    EXPECT_EQ(core::ThePrefs().programTitle, title);
    const auto exeFolder = std::filesystem::canonical("/proc/self/exe").parent_path();
    EXPECT_EQ(iniPath, (exeFolder / "Prog.ini").string());
    // The program's dialogs are gone with it.
    EXPECT_THROW(core::TheDialogs().MessageBox("x", core::MsgButtons::Ok, core::MsgIcon::None, "t"), core::Error);
}

TEST(RunProgramTest, ALoadThatEndsTheProgramNeverShowsAWindow) {
    const std::string title = testsupport::UniqueProgramName("Refused");
    Seen seen;
    const int rc = core::RunProgram(1, programArgv, title, "Refused.ini", ScriptedFactory(seen), [] {
        core::TheDialogs().MessageBox("Il file di configurazione non \xC3\xA8 stato trovato! L'applicazione verr\xC3\xA0 terminata!",
                                      core::MsgButtons::Ok, core::MsgIcon::Critical, core::ThePrefs().programTitle);
        return std::unique_ptr<QWidget>();
    });
    EXPECT_EQ(rc, core::kExitRefusedAtLoad);
    // The lock went with the program: a new start is possible.
    testsupport::InstanceHolder next(title);
    EXPECT_TRUE(next.Holds());
}

TEST(RunProgramTest, AnErrorDuringLoadIsShownAsTheRuntimeShowsIt) {
    const std::string title = testsupport::UniqueProgramName("Failing");
    std::vector<testsupport::DialogCall> messages;
    const int rc = core::RunProgram(
        1, programArgv, title, "Failing.ini",
        [&messages] {
            auto dialogs = std::make_unique<testsupport::ScriptedDialogs>();
            dialogs->OnCall([&messages](const testsupport::DialogCall& call) { messages.push_back(call); });
            return dialogs;
        },
        []() -> std::unique_ptr<QWidget> {
            throw core::Error(core::err::TypeMismatch, "Tipo non corrispondente: TABLES");
        });
    EXPECT_EQ(rc, core::kExitRefusedAtLoad);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Errore di run-time '13':\n\nTipo non corrispondente: TABLES");
    EXPECT_EQ(messages[0].icon, core::MsgIcon::Critical);
    EXPECT_EQ(messages[0].title, title);
}

}  // namespace
