#pragma once
// A second process that holds a program's instance lock until it is killed,
// for the single-instance tests.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "common/platform/InstanceLock.h"

namespace testsupport {

class InstanceHolder {
public:
    // Forks a child that takes the lock of `programName`, reports whether it
    // got it, and then waits to be killed.
    explicit InstanceHolder(const std::string& programName) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            auto lock = core::platform::InstanceLock::TryAcquire(programName);
            const char answer = lock && lock->Held() ? 'y' : 'n';
            (void)!::write(fds[1], &answer, 1);
            for (;;) ::pause();
        }
        ::close(fds[1]);
        char answer = 'n';
        if (pid_ > 0 && ::read(fds[0], &answer, 1) == 1) holds_ = answer == 'y';
        ::close(fds[0]);
    }
    ~InstanceHolder() { Kill(); }
    InstanceHolder(const InstanceHolder&) = delete;
    InstanceHolder& operator=(const InstanceHolder&) = delete;

    bool Holds() const { return holds_; }
    // SIGKILL: the holder gets no chance to clean up, as in a crash.
    void Kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    bool holds_ = false;
};

inline std::string UniqueProgramName(const std::string& base) {
    return base + "-" + std::to_string(::getpid());
}

}  // namespace testsupport
