#include "common/Dialogs.h"

#include "common/engine/Engine.h"
#include "common/engine/Error.h"

namespace core {

namespace {

// Stands in until a program or a test installs its dialogs: answering for
// the user would be worse than failing loudly.
class NoDialogs final : public Dialogs {
public:
    MsgResult MessageBox(const std::string& text, MsgButtons, MsgIcon, const std::string&,
                         const std::string&) override {
        Fail("MessageBox: " + text);
    }
    std::string InputBox(const std::string& prompt, const std::string&, const std::string&, bool) override {
        Fail("InputBox: " + prompt);
    }
    FileDialogResult ShowFileDialog(const FileDialogRequest&) override { Fail("ShowFileDialog"); }
    void SetBusy(bool) override {}
    void ProcessEvents() override {}

private:
    [[noreturn]] static void Fail(const std::string& what) {
        throw Error(err::ReservedError, "Nessuna interfaccia utente disponibile (" + what + ").");
    }
};

// Commits the engine's pending work before handing over to the user, so
// that whatever the user is told, everything saved before it is on disk.
// A failed commit raises its error instead of showing the message.
class FlushingDialogs final : public Dialogs {
public:
    std::unique_ptr<Dialogs> inner = std::make_unique<NoDialogs>();

    MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title,
                         const std::string& details) override {
        Engine::Instance().FlushAll();
        return inner->MessageBox(text, buttons, icon, title, details);
    }
    std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText,
                         bool password) override {
        Engine::Instance().FlushAll();
        return inner->InputBox(prompt, title, defaultText, password);
    }
    FileDialogResult ShowFileDialog(const FileDialogRequest& request) override {
        Engine::Instance().FlushAll();
        return inner->ShowFileDialog(request);
    }
    void SetBusy(bool busy) override { inner->SetBusy(busy); }
    void ProcessEvents() override {
        Engine::Instance().FlushAll();
        inner->ProcessEvents();
    }
    // A commit every 100 ms would slow the runs down: what a user sees
    // during a yield is the progress, not a message about the data.
    void Yield() override { inner->Yield(); }
    void SetWaitText(const std::string& text) override { inner->SetWaitText(text); }
};

FlushingDialogs& Instance() {
    static FlushingDialogs dialogs;
    return dialogs;
}

}  // namespace

Dialogs& TheDialogs() { return Instance(); }

Dialogs& UncommittedDialogs() { return *Instance().inner; }

std::unique_ptr<Dialogs> InstallDialogs(std::unique_ptr<Dialogs> dialogs) {
    auto previous = std::move(Instance().inner);
    Instance().inner = dialogs ? std::move(dialogs) : std::make_unique<NoDialogs>();
    return previous;
}

}  // namespace core
