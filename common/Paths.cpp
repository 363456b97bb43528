#include "common/Paths.h"
#include "common/engine/FsPath.h"

#include <QCoreApplication>
#include <QString>

#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>

namespace core {
namespace {

std::mutex folderMutex;
std::optional<std::string> folderOverride;

std::string WithoutTrailingSeparator(std::string folder) {
    while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    return folder;
}

}  // namespace

std::string ProgramFolder() {
    {
        std::lock_guard lock(folderMutex);
        if (folderOverride) return *folderOverride;
    }
    if (QCoreApplication::instance() != nullptr)
        return WithoutTrailingSeparator(QCoreApplication::applicationDirPath().toStdString());
    // Before the application object exists (or in tools without one).
    std::error_code ec;
#if defined(__linux__)
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return WithoutTrailingSeparator(Utf8Path(exe.parent_path()));
#endif
    return WithoutTrailingSeparator(Utf8Path(std::filesystem::current_path(ec)));
}

void SetProgramFolderForTesting(const std::string& folder) {
    std::lock_guard lock(folderMutex);
    if (folder.empty()) folderOverride.reset();
    else folderOverride = WithoutTrailingSeparator(folder);
}

std::string NativeSeparators(std::string_view windowsPath) {
    std::string path(windowsPath);
#if !defined(_WIN32)
    for (char& c : path)
        if (c == '\\') c = '/';
#endif
    return path;
}

std::string PathBesideProgram(std::string_view relative) {
    return ProgramFolder() + NativeSeparators(relative);
}

std::string DestinationDatabasePath(std::string_view dbPath, std::string_view dbFile) {
    std::string relative = "\\";
    relative += dbPath;
    relative += dbFile;
    return PathBesideProgram(relative);
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(FsPath(path), ec);
}

}  // namespace core
