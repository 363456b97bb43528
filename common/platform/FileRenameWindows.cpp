#if defined(_WIN32)
#include "common/platform/FileRename.h"

#include <windows.h>

#include <string>

namespace core::platform {
namespace {

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string SystemText(DWORD error) {
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n && buffer ? std::string(buffer, n) : std::string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

FileOpResult Done() { return FileOpResult{FileOpResult::Outcome::Done, 0, {}}; }

FileOpResult FromError(DWORD error) {
    FileOpResult result;
    result.systemError = static_cast<int>(error);
    result.systemText = SystemText(error);
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        result.outcome = FileOpResult::Outcome::TargetExists;
    else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        result.outcome = FileOpResult::Outcome::SourceMissing;
    else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        result.outcome = FileOpResult::Outcome::Denied;
    else
        result.outcome = FileOpResult::Outcome::Failed;
    return result;
}

}  // namespace

FileOpResult RenameNoReplace(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING an existing target makes the move fail.
    if (MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_WRITE_THROUGH)) return Done();
    return FromError(GetLastError());
}

FileOpResult SyncFile(const std::string& path) {
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FromError(GetLastError());
    const BOOL ok = FlushFileBuffers(h);
    const DWORD error = ok ? 0 : GetLastError();
    CloseHandle(h);
    return ok ? Done() : FromError(error);
}

// NTFS journals the folder entries itself; MOVEFILE_WRITE_THROUGH already
// waits for the move to reach the disk.
FileOpResult SyncFolder(const std::string&) { return Done(); }

}  // namespace core::platform
#endif
