#if defined(_WIN32)
#include "common/platform/InstanceLock.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace core::platform {
namespace {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

class HandleLock final : public InstanceLock {
public:
    explicit HandleLock(HANDLE h) : handle_(h) {}
    ~HandleLock() override {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);  // closing releases the lock
    }
    HandleLock(const HandleLock&) = delete;
    HandleLock& operator=(const HandleLock&) = delete;
    bool Held() const override { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

}  // namespace

std::string InstanceLockPath(std::string_view programName) {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::temp_directory_path(ec);  // per user on Windows
    // The temporary folder is the user's own; the name in the file keeps
    // shared folders (roaming setups) apart too.
    const char* user = std::getenv("USERNAME");
    const std::string file =
        "agency-" + SafeName(programName) + "-" + SafeName(user != nullptr ? user : "") + ".lock";
    const std::u8string text = (folder / file).u8string();
    return std::string(text.begin(), text.end());
}

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(std::string_view programName) {
    const std::wstring path = Widen(InstanceLockPath(programName));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::make_unique<HandleLock>(INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = {};
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &overlapped))
        return std::make_unique<HandleLock>(h);
    const DWORD error = GetLastError();
    CloseHandle(h);
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return nullptr;
    return std::make_unique<HandleLock>(INVALID_HANDLE_VALUE);
}

}  // namespace core::platform
#endif
