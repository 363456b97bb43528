#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "common/engine/Error.h"
#include "tests/support/ScriptedDialogs.h"

using testsupport::DialogCall;

namespace {

TEST(ScriptedDialogsTest, AnswersInOrderAndLogsEveryCall) {
    testsupport::ScopedScriptedDialogs dialogs;
    dialogs->AnswerMessage(core::MsgResult::Yes).AnswerMessage(core::MsgResult::No).AnswerInput("pwd").AnswerFile(
        "/data/a.mdb", 2);
    core::Dialogs& d = core::TheDialogs();
    EXPECT_EQ(d.MessageBox("Procedo?", core::MsgButtons::YesNo, core::MsgIcon::Exclamation, "Varnel"),
              core::MsgResult::Yes);
    // An OK-only box needs no answer and leaves the queue alone.
    EXPECT_EQ(d.MessageBox("Fatto", core::MsgButtons::Ok, core::MsgIcon::Information, "Varnel"), core::MsgResult::Ok);
    EXPECT_EQ(d.MessageBox("Ancora?", core::MsgButtons::YesNo, core::MsgIcon::Exclamation, "Varnel"),
              core::MsgResult::No);
    EXPECT_EQ(d.InputBox("Password", "Varnel", "", true), "pwd");
    const core::FileDialogResult file = d.ShowFileDialog(core::FileDialogRequest{});
    EXPECT_TRUE(file.accepted);
    EXPECT_EQ(file.fileName, "/data/a.mdb");
    EXPECT_EQ(file.filterIndex, 2);
    d.SetBusy(true);
    EXPECT_TRUE(dialogs->Busy());

    EXPECT_TRUE(dialogs->AllAnswersUsed());
    EXPECT_FALSE(dialogs->AnyUnscripted());
    EXPECT_EQ(dialogs->MessageCount(), 3);
    EXPECT_EQ(dialogs->Count(DialogCall::Kind::InputBox), 1);
    EXPECT_TRUE(dialogs->CallsOf(DialogCall::Kind::InputBox)[0].password);
    EXPECT_EQ(dialogs->LastMessage().text, "Ancora?");
    EXPECT_EQ(dialogs->Messages()[1].icon, core::MsgIcon::Information);
    EXPECT_EQ(dialogs->Calls().back().kind, DialogCall::Kind::SetBusy);
    EXPECT_NE(dialogs->Transcript().find("InputBox(\"Password\""), std::string::npos) << dialogs->Transcript();
}

TEST(ScriptedDialogsTest, UnscriptedCallsFailTheTestAndAnswerCancel) {
    testsupport::ScopedScriptedDialogs dialogs;
    core::MsgResult result = core::MsgResult::Yes;
    EXPECT_NONFATAL_FAILURE(
        result = core::TheDialogs().MessageBox("?", core::MsgButtons::YesNo, core::MsgIcon::Question, "t"),
        "unscripted dialog");
    EXPECT_EQ(result, core::MsgResult::No);
    dialogs->SetStrict(false);
    EXPECT_EQ(core::TheDialogs().InputBox("p", "t"), "");
    EXPECT_FALSE(core::TheDialogs().ShowFileDialog({}).accepted);
    EXPECT_TRUE(dialogs->AnyUnscripted());
}

TEST(ScriptedDialogsTest, ResponderAndRestoreOnScopeEnd) {
    {
        testsupport::ScopedScriptedDialogs dialogs;
        dialogs->OnMessage([](const DialogCall& call) -> std::optional<core::MsgResult> {
            if (call.text.find("Svuoto") != std::string::npos) return core::MsgResult::Yes;
            return std::nullopt;
        });
        EXPECT_EQ(core::TheDialogs().MessageBox("Svuoto la tabella?", core::MsgButtons::YesNo,
                                                core::MsgIcon::Exclamation, "t"),
                  core::MsgResult::Yes);
    }
    // Outside the scope nobody answers for the user.
    EXPECT_THROW(core::TheDialogs().MessageBox("x", core::MsgButtons::Ok, core::MsgIcon::None, "t"), core::Error);
}

}  // namespace
