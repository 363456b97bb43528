#pragma once
// The programs' answer to a database held by another program: the window
// stays alive with a line saying what the run waits for and, every few
// seconds of waiting, the user is asked "Riprova / Annulla". Annulla ends the
// wait: the statement fails with the engine's "file in use" error (3045) and
// the run stops there as on any error, with its report.

#include <chrono>
#include <string>

#include "common/engine/BusyWait.h"

namespace core {

class BusyQuestion {
public:
    static constexpr std::chrono::milliseconds kAskEvery{5000};
    // After Annulla, the waits that follow within this time (the run's own
    // clean-up) give up at once instead of asking again.
    static constexpr std::chrono::milliseconds kCancelHolds{3000};

    bool operator()(const std::string& database, std::chrono::milliseconds waited);

private:
    std::chrono::milliseconds askedAt_{0};
    std::chrono::milliseconds lastWaited_{0};
    std::chrono::steady_clock::time_point cancelledAt_{};
    bool cancelled_ = false;
};

// Installs BusyQuestion as the engine's busy policy for its lifetime.
class BusyQuestionScope {
public:
    BusyQuestionScope();
    ~BusyQuestionScope();
    BusyQuestionScope(const BusyQuestionScope&) = delete;
    BusyQuestionScope& operator=(const BusyQuestionScope&) = delete;

private:
    BusyPolicy previous_;
};

}  // namespace core
