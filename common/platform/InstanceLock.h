#pragma once
// "Is another instance of this program running for this user?" answered by
// an operating-system lock that dies with its holder: a crashed or killed
// program never leaves a stale lock behind.

#include <memory>
#include <string>
#include <string_view>

namespace core::platform {

class InstanceLock {
public:
    // Becomes the one running instance of `programName` for the current user,
    // or returns nullptr when another process already is. When the lock
    // cannot be made at all (no writable folder, a foreign file in the way)
    // it returns a lock that holds nothing: refusing to start would be worse
    // than a second instance.
    static std::unique_ptr<InstanceLock> TryAcquire(std::string_view programName);

    virtual ~InstanceLock() = default;
    // Whether the lock is really held (false for the fallback above).
    virtual bool Held() const = 0;
};

// Where the lock of a program lives (the user's runtime folder, else the
// temporary folder); the name carries the program and the user.
std::string InstanceLockPath(std::string_view programName);

// A name made fit for a file name: only letters, digits, '-', '_' and '.'
// are kept, anything else becomes '_'.
inline std::string SafeName(std::string_view name) {
    std::string safe;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '-' || c == '_' || c == '.';
        safe += ok ? c : '_';
    }
    return safe;
}

}  // namespace core::platform
