#include "common/RunPacer.h"

#include "common/Dialogs.h"

namespace core {

Error UserInterrupt()
{
    return Error(kUserInterrupt, "Operazione interrotta dall'utente.");
}

bool IsUserInterrupt(const Error& error) { return error.Number() == kUserInterrupt; }

bool AskToStopAndClose(const std::string& title)
{
    // Asked from a window's event handler while the run yields: nothing may
    // leave it as an exception. A question that cannot be shown (the commit
    // before it failed) leaves the run going; it meets the same error itself.
    try {
        return TheDialogs().MessageBox("È in corso un'operazione sul database. Interromperla e chiudere il "
                                       "programma?\n\nL'operazione si ferma al record in corso; il messaggio "
                                       "finale dice com'è rimasto il database.",
                                       MsgButtons::YesNo, MsgIcon::Exclamation, title) == MsgResult::Yes;
    } catch (const std::exception&) {
        return false;
    }
}

void RunPacer::AskToStopAndClose(const std::string& title)
{
    if (!core::AskToStopAndClose(title)) return;
    endAfterRun_ = true;
    RequestStop();
}

void RunPacer::Begin()
{
    running_ = true;
    stopRequested_ = false;
    last_ = Clock::now();
}

void RunPacer::Yield()
{
    TheDialogs().Yield();
    last_ = Clock::now();
    if (stopRequested_) throw UserInterrupt();
}

}  // namespace core
