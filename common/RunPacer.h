#pragma once
// Keeps a window alive while a run works on its one thread, and lets the
// user stop the run. Between two records the run asks the pacer whether
// it is time; every 100 ms the window then processes its events (through
// Dialogs::Yield, which commits nothing), and a stop asked for meanwhile
// ("Interrompi", or closing the window) is raised as error 18 at that
// record boundary: the run's error path then leaves the destination as
// after any error at that point and reports it with the run's details.

#include <chrono>
#include <string>

#include "common/engine/Error.h"

namespace core {

// Visual Basic's number for a user interrupt.
inline constexpr int kUserInterrupt = 18;

// The error a stopped run raises.
Error UserInterrupt();
bool IsUserInterrupt(const Error& error);

// Closing the window while a run works: whether the user wants the run
// stopped (at its next record) and the program ended after its message.
bool AskToStopAndClose(const std::string& title);

class RunPacer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{100};

    // A run starts: no stop asked, the clock starts.
    void Begin();
    void End() { running_ = false; }
    bool Running() const { return running_; }

    void RequestStop() { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }
    // Closing the window during the run: when the user agrees
    // (AskToStopAndClose), the run stops and the program ends after it.
    void AskToStopAndClose(const std::string& title);
    bool EndAfterRun() const { return endAfterRun_; }

    // Whether the interval has passed since the last yield: one clock
    // reading, cheap enough for every record.
    bool Due() const { return Clock::now() - last_ >= interval_; }
    // Lets the window process its events, then raises UserInterrupt when
    // a stop was asked for.
    void Yield();
    // Yield when it is due.
    void Tick()
    {
        if (Due()) Yield();
    }

    // Tests shorten it, to yield at every record.
    void SetInterval(Clock::duration interval) { interval_ = interval; }

private:
    Clock::duration interval_ = kInterval;
    Clock::time_point last_ = Clock::now();
    bool running_ = false;
    bool stopRequested_ = false;
    bool endAfterRun_ = false;
};

}  // namespace core
