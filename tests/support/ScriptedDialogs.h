#pragma once
// A core::Dialogs for tests: answers come from queues the test fills in
// advance, and every call is logged with its texts, icon and buttons, so a
// test can check both what the user was asked and what happened after each
// answer.
//
//   ScopedScriptedDialogs dialogs;             // installed until scope end
//   dialogs->AnswerMessage(core::MsgResult::Yes)
//          .AnswerInput("secret")
//          .AnswerFile("/data/old.mdb", 1);
//   RunTheThing();
//   EXPECT_EQ(dialogs->MessageCount(), 2);
//   EXPECT_EQ(dialogs->LastMessage().title, "Errore n. 3078");
//   EXPECT_TRUE(dialogs->AllAnswersUsed());
//
// Message boxes with only an OK button need no scripted answer: OK is the
// only possible one, so they are answered Ok without touching the queue.
// Any other call with an empty queue is "unscripted": it is logged, answered
// with the cancel-like default (Cancel/No, empty text, dialog cancelled) and,
// in strict mode (the default), fails the current test.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/Dialogs.h"

namespace testsupport {

inline const char* ToString(core::MsgIcon icon) {
    switch (icon) {
    case core::MsgIcon::None: return "None";
    case core::MsgIcon::Critical: return "Critical";
    case core::MsgIcon::Question: return "Question";
    case core::MsgIcon::Exclamation: return "Exclamation";
    case core::MsgIcon::Information: return "Information";
    }
    return "?";
}

inline const char* ToString(core::MsgButtons buttons) {
    switch (buttons) {
    case core::MsgButtons::Ok: return "Ok";
    case core::MsgButtons::OkCancel: return "OkCancel";
    case core::MsgButtons::YesNo: return "YesNo";
    case core::MsgButtons::YesNoCancel: return "YesNoCancel";
    case core::MsgButtons::OkRestore: return "OkRestore";
    case core::MsgButtons::RetryCancel: return "RetryCancel";
    }
    return "?";
}

inline const char* ToString(core::MsgResult result) {
    switch (result) {
    case core::MsgResult::Ok: return "Ok";
    case core::MsgResult::Cancel: return "Cancel";
    case core::MsgResult::Yes: return "Yes";
    case core::MsgResult::No: return "No";
    case core::MsgResult::Restore: return "Restore";
    case core::MsgResult::Retry: return "Retry";
    }
    return "?";
}

struct DialogCall {
    enum class Kind { MessageBox, InputBox, FileDialog, SetBusy, ProcessEvents };
    Kind kind = Kind::MessageBox;

    // MessageBox: text, title, details, icon, buttons. InputBox: text is the
    // prompt, plus title, defaultText, password.
    std::string text;
    std::string title;
    std::string details;
    core::MsgIcon icon = core::MsgIcon::None;
    core::MsgButtons buttons = core::MsgButtons::Ok;
    std::string defaultText;
    bool password = false;
    core::FileDialogRequest fileRequest;  // FileDialog
    bool busy = false;                    // SetBusy

    bool scripted = true;  // false when answered by the default
    // The answer given, as text: "Yes", the typed text, the chosen file or
    // "(cancelled)".
    std::string answer;

    std::string Describe() const {
        std::ostringstream out;
        switch (kind) {
        case Kind::MessageBox:
            out << "MessageBox(\"" << text << "\", " << ToString(buttons) << ", " << ToString(icon) << ", title \""
                << title << "\")";
            break;
        case Kind::InputBox:
            out << "InputBox(\"" << text << "\", title \"" << title << "\", default \"" << defaultText << "\""
                << (password ? ", password" : "") << ")";
            break;
        case Kind::FileDialog:
            out << "FileDialog(" << (fileRequest.kind == core::FileDialogRequest::Kind::Open ? "Open" : "Save")
                << ", title \"" << fileRequest.title << "\", " << fileRequest.filters.size() << " filters, dir \""
                << fileRequest.initialDir << "\")";
            break;
        case Kind::SetBusy: out << "SetBusy(" << (busy ? "true" : "false") << ")"; break;
        case Kind::ProcessEvents: out << "ProcessEvents()"; break;
        }
        if (kind == Kind::MessageBox || kind == Kind::InputBox || kind == Kind::FileDialog)
            out << " -> " << answer << (scripted ? "" : " [unscripted]");
        return out.str();
    }
};

inline void PrintTo(const DialogCall& call, std::ostream* os) { *os << call.Describe(); }

class ScriptedDialogs : public core::Dialogs {
public:
    // Answers, used in order, one queue per kind of dialog.
    ScriptedDialogs& AnswerMessage(core::MsgResult result) {
        messageAnswers_.push_back(result);
        return *this;
    }
    // The empty text is what a cancelled input box gives.
    ScriptedDialogs& AnswerInput(std::string text) {
        inputAnswers_.push_back(std::move(text));
        return *this;
    }
    ScriptedDialogs& AnswerFile(std::string fileName, int filterIndex = 1) {
        core::FileDialogResult result;
        result.accepted = true;
        result.fileName = std::move(fileName);
        result.filterIndex = filterIndex;
        fileAnswers_.push_back(std::move(result));
        return *this;
    }
    // The next message offering "Ripristina" (OkRestore) is answered with
    // it; without this such messages are answered OK like plain ones.
    ScriptedDialogs& AnswerRestore() {
        restoreAnswers_ += 1;
        return *this;
    }
    // Runs at every Yield of a run (between two records, every so often):
    // what the user does while the run works (Interrompi, closing).
    ScriptedDialogs& OnYield(std::function<void()> hook) {
        yieldHook_ = std::move(hook);
        return *this;
    }
    int YieldCount() const { return yields_; }
    ScriptedDialogs& CancelFile() {
        fileAnswers_.push_back(core::FileDialogResult{});
        return *this;
    }
    // Called for each message box before the queue is consulted; returning
    // an answer takes the place of the queue (e.g. answer by the text).
    ScriptedDialogs& OnMessage(std::function<std::optional<core::MsgResult>(const DialogCall&)> responder) {
        messageResponder_ = std::move(responder);
        return *this;
    }
    // Called for every call after it is logged (e.g. to check the state of
    // a database at the moment the user is asked).
    ScriptedDialogs& OnCall(std::function<void(const DialogCall&)> observer) {
        observer_ = std::move(observer);
        return *this;
    }
    // Strict (default): an unscripted call fails the test.
    ScriptedDialogs& SetStrict(bool strict) {
        strict_ = strict;
        return *this;
    }

    // core::Dialogs
    core::MsgResult MessageBox(const std::string& text, core::MsgButtons buttons, core::MsgIcon icon,
                               const std::string& title, const std::string& details = {}) override {
        DialogCall call;
        call.kind = DialogCall::Kind::MessageBox;
        call.text = text;
        call.title = title;
        call.details = details;
        call.icon = icon;
        call.buttons = buttons;
        core::MsgResult result = DefaultAnswer(buttons);
        std::optional<core::MsgResult> chosen;
        if (messageResponder_) chosen = messageResponder_(call);
        const bool okOnly = buttons == core::MsgButtons::Ok || buttons == core::MsgButtons::OkRestore;
        if (!chosen && buttons == core::MsgButtons::OkRestore && restoreAnswers_ > 0) {
            --restoreAnswers_;
            chosen = core::MsgResult::Restore;
        }
        if (!chosen && !okOnly && !messageAnswers_.empty()) {
            chosen = messageAnswers_.front();
            messageAnswers_.pop_front();
        }
        if (chosen) result = *chosen;
        else if (!okOnly) call.scripted = false;
        call.answer = ToString(result);
        Log(std::move(call));
        return result;
    }

    std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText = {},
                         bool password = false) override {
        DialogCall call;
        call.kind = DialogCall::Kind::InputBox;
        call.text = prompt;
        call.title = title;
        call.defaultText = defaultText;
        call.password = password;
        std::string result;
        if (!inputAnswers_.empty()) {
            result = std::move(inputAnswers_.front());
            inputAnswers_.pop_front();
        } else {
            call.scripted = false;
        }
        call.answer = "\"" + result + "\"";
        Log(std::move(call));
        return result;
    }

    core::FileDialogResult ShowFileDialog(const core::FileDialogRequest& request) override {
        DialogCall call;
        call.kind = DialogCall::Kind::FileDialog;
        call.title = request.title;
        call.fileRequest = request;
        core::FileDialogResult result;
        if (!fileAnswers_.empty()) {
            result = std::move(fileAnswers_.front());
            fileAnswers_.pop_front();
        } else {
            call.scripted = false;
        }
        call.answer = result.accepted ? result.fileName : "(cancelled)";
        Log(std::move(call));
        return result;
    }

    void SetBusy(bool busy) override {
        DialogCall call;
        call.kind = DialogCall::Kind::SetBusy;
        call.busy = busy;
        busy_ = busy;
        Log(std::move(call));
    }

    void ProcessEvents() override {
        DialogCall call;
        call.kind = DialogCall::Kind::ProcessEvents;
        Log(std::move(call));
    }

    // Not logged: how many there are depends on the machine's speed.
    void Yield() override {
        ++yields_;
        if (yieldHook_) yieldHook_();
    }

    // What happened.
    const std::vector<DialogCall>& Calls() const { return calls_; }
    std::vector<DialogCall> CallsOf(DialogCall::Kind kind) const {
        std::vector<DialogCall> out;
        for (const auto& c : calls_)
            if (c.kind == kind) out.push_back(c);
        return out;
    }
    std::vector<DialogCall> Messages() const { return CallsOf(DialogCall::Kind::MessageBox); }
    int MessageCount() const { return Count(DialogCall::Kind::MessageBox); }
    int Count(DialogCall::Kind kind) const {
        int n = 0;
        for (const auto& c : calls_) n += c.kind == kind ? 1 : 0;
        return n;
    }
    // The last message box; fails the test (and gives an empty call) when
    // there was none.
    DialogCall LastMessage() const {
        for (auto it = calls_.rbegin(); it != calls_.rend(); ++it)
            if (it->kind == DialogCall::Kind::MessageBox) return *it;
        ADD_FAILURE() << "no message box was shown";
        return {};
    }
    bool Busy() const { return busy_; }
    bool AllAnswersUsed() const {
        return messageAnswers_.empty() && inputAnswers_.empty() && fileAnswers_.empty() && restoreAnswers_ == 0;
    }
    bool AnyUnscripted() const {
        for (const auto& c : calls_)
            if (!c.scripted) return true;
        return false;
    }
    // Every call, one per line, for failure messages.
    std::string Transcript() const {
        std::string out;
        for (const auto& c : calls_) out += c.Describe() + "\n";
        return out;
    }
    void ClearLog() { calls_.clear(); }

private:
    static core::MsgResult DefaultAnswer(core::MsgButtons buttons) {
        switch (buttons) {
        case core::MsgButtons::Ok: return core::MsgResult::Ok;
        case core::MsgButtons::OkCancel: return core::MsgResult::Cancel;
        case core::MsgButtons::YesNo: return core::MsgResult::No;
        case core::MsgButtons::YesNoCancel: return core::MsgResult::Cancel;
        case core::MsgButtons::OkRestore: return core::MsgResult::Ok;
        case core::MsgButtons::RetryCancel: return core::MsgResult::Cancel;
        }
        return core::MsgResult::Cancel;
    }

    void Log(DialogCall call) {
        if (!call.scripted && strict_) ADD_FAILURE() << "unscripted dialog: " << call.Describe();
        calls_.push_back(std::move(call));
        if (observer_) observer_(calls_.back());
    }

    std::deque<core::MsgResult> messageAnswers_;
    std::deque<std::string> inputAnswers_;
    std::deque<core::FileDialogResult> fileAnswers_;
    std::function<std::optional<core::MsgResult>(const DialogCall&)> messageResponder_;
    std::function<void(const DialogCall&)> observer_;
    std::function<void()> yieldHook_;
    int restoreAnswers_ = 0;
    int yields_ = 0;
    std::vector<DialogCall> calls_;
    bool strict_ = true;
    bool busy_ = false;
};

// Installs a ScriptedDialogs as the program's dialogs for one scope and puts
// the previous ones back afterwards.
class ScopedScriptedDialogs {
public:
    ScopedScriptedDialogs() {
        auto dialogs = std::make_unique<ScriptedDialogs>();
        dialogs_ = dialogs.get();
        previous_ = core::InstallDialogs(std::move(dialogs));
    }
    ~ScopedScriptedDialogs() { core::InstallDialogs(std::move(previous_)); }
    ScopedScriptedDialogs(const ScopedScriptedDialogs&) = delete;
    ScopedScriptedDialogs& operator=(const ScopedScriptedDialogs&) = delete;

    ScriptedDialogs& operator*() { return *dialogs_; }
    ScriptedDialogs* operator->() { return dialogs_; }
    ScriptedDialogs& get() { return *dialogs_; }

private:
    ScriptedDialogs* dialogs_ = nullptr;
    std::unique_ptr<core::Dialogs> previous_;
};

}  // namespace testsupport
