#include "common/RunSafety.h"

#include "common/Messages.h"
#include "common/Prefs.h"
#include "common/RunPacer.h"
#include "common/engine/Engine.h"
#include "common/engine/Error.h"

namespace core {

void RunSafety::Reset()
{
    copy_.reset();
    reached_ = false;
    server_ = false;
    restored_ = false;
}

void RunSafety::BeforeFirstWrite()
{
    if (reached_) return;
    reached_ = true;
    if (DestinationIsServer()) {
        server_ = true;
        return;
    }
    const Prefs& prefs = ThePrefs();
    sqlite::CopyProgress progress;
    if (progress_)
        progress = [this](int remaining, int total) {
            progress_(total > 0 ? static_cast<int>(100LL * (total - remaining) / total) : 100);
        };
    // Called before and after too: opening the two files costs a key
    // derivation each, time in which the window would not answer.
    if (progress_) progress_(0);
    copy_ = SafetyCopy::Make(prefs.destinationPath, prefs.destinationPassword, program_, progress);
    if (progress_) progress_(100);
}

std::string RunSafety::Note() const
{
    if (server_)
        return "Il database di destinazione è su un server: non è stata fatta una copia di sicurezza "
               "e le modifiche non possono essere annullate da qui.";
    if (!copy_) return {};
    return "Il database com'era prima dell'operazione è stato copiato in '" + copy_->Path() +
           "': \"Ripristina\" lo rimette al suo posto.";
}

bool RunSafety::ShowFailure(const std::string& text, MsgIcon icon, const std::string& title,
                            const std::string& details)
{
    Dialogs& dialogs = TheDialogs();
    const std::string note = Note();
    const std::string message = note.empty() ? text : text + "\n\n" + note;
    const MsgResult answer =
        dialogs.MessageBox(message, copy_ ? MsgButtons::OkRestore : MsgButtons::Ok, icon, title, details);
    if (answer != MsgResult::Restore || !copy_) return false;
    try {
        // Every handle on the destination goes first: the data controls,
        // then the engine's shared connections (their work was committed
        // before the message was shown).
        if (closeDestination_) closeDestination_();
        Engine::Instance().FlushAll();
        Engine::Instance().Prune();
        copy_->Restore();
        restored_ = true;
    } catch (const Error& e) {
        dialogs.MessageBox(e.Description() + "\n\nLa copia di sicurezza resta in '" + copy_->Path() + "'.",
                           MsgButtons::Ok, MsgIcon::Critical, msg::ErrorTitle(e.Number()));
        return false;
    }
    dialogs.MessageBox("Il database di destinazione è stato ripristinato com'era prima dell'operazione. "
                       "La copia di sicurezza resta in '" + copy_->Path() + "'.",
                       MsgButtons::Ok, MsgIcon::Information, ThePrefs().programTitle);
    return true;
}

void ShowRunFailure(RunSafety* safety, int number, const std::string& text, const std::string& details)
{
    const bool stopped = number == kUserInterrupt;
    const std::string title = stopped ? ThePrefs().programTitle : msg::ErrorTitle(number);
    const MsgIcon icon = stopped ? MsgIcon::Exclamation : MsgIcon::Critical;
    // The dialogs commit before showing anything; a commit that fails here
    // must not take the report with it: its failure joins the message, and
    // the connection, rolled back, has nothing left to commit.
    std::string shown = text;
    try {
        Engine::Instance().FlushAll();
    } catch (const Error& e) {
        shown += "\n\n" + e.Description();
    }
    if (safety) {
        safety->ShowFailure(shown, icon, title, details);
        return;
    }
    TheDialogs().MessageBox(shown, MsgButtons::Ok, icon, title, details);
}

}  // namespace core
