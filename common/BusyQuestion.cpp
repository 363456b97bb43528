#include "common/BusyQuestion.h"

#include <QCoreApplication>
#include <QThread>

#include "common/Dialogs.h"
#include "common/Prefs.h"

namespace core {

namespace {

bool OnWindowThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

}  // namespace

bool BusyQuestion::operator()(const std::string& database, std::chrono::milliseconds waited) {
    // A reader on a thread of its own cannot talk to the user.
    if (!OnWindowThread()) return waited < kDefaultBusyWait;
    const auto now = std::chrono::steady_clock::now();
    if (cancelled_) {
        if (now - cancelledAt_ < kCancelHolds) return false;
        cancelled_ = false;
    }
    if (waited < lastWaited_) askedAt_ = std::chrono::milliseconds{0};  // a new wait
    lastWaited_ = waited;

    Dialogs& dialogs = UncommittedDialogs();
    if (waited - askedAt_ < kAskEvery) {
        dialogs.SetWaitText("Il database '" + database +
                            "' è in uso da un altro programma: in attesa che venga liberato…");
        dialogs.Yield();
        return true;
    }
    const MsgResult answer = dialogs.MessageBox(
        "Il database '" + database + "' è in uso da un altro programma.\n\n"
        "Scegliere Riprova per attendere ancora, Annulla per interrompere l'operazione.",
        MsgButtons::RetryCancel, MsgIcon::Exclamation, ThePrefs().programTitle);
    if (answer == MsgResult::Retry) {
        askedAt_ = waited;
        return true;
    }
    dialogs.SetWaitText({});
    cancelled_ = true;
    cancelledAt_ = now;
    return false;
}

BusyQuestionScope::BusyQuestionScope() : previous_(SetBusyPolicy(BusyQuestion{})) {}

BusyQuestionScope::~BusyQuestionScope() { SetBusyPolicy(std::move(previous_)); }

}  // namespace core
