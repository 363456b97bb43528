#include "common/Paths.h"
#include "common/IniFile.h"
#include "common/engine/FieldConvert.h"
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

std::string NotFoundSentence(const std::string& what, const std::string& path, std::string_view dbPath,
                             std::string_view dbFile) {
    std::error_code ec;
    const std::filesystem::path tried = FsPath(path);
    const auto hasDrive = [](std::string_view part) {
        return part.size() >= 2 && part[1] == ':' && ((part[0] | 0x20) >= 'a' && (part[0] | 0x20) <= 'z');
    };
    std::string why;
    if (std::filesystem::is_directory(tried, ec))
        why = ": è una cartella, non un file";
    else if (hasDrive(dbPath) || hasDrive(dbFile))
        why = ": DBPATH e DBFILE si scrivono a partire dalla cartella del programma, senza unità come 'C:'";
    else if (CharCount(dbPath) >= kIniValueMaxChars || CharCount(dbFile) >= kIniValueMaxChars)
        why = ": il valore di DBPATH o DBFILE supera i " + std::to_string(kIniValueMaxChars) +
              " caratteri ammessi nel file di configurazione ed è stato troncato";
    else if (!dbPath.empty() && dbPath.back() != '\\' && dbPath.back() != '/')
        why = ": DBPATH ('" + std::string(dbPath) + "') non termina con '\\'";
    else if (!std::filesystem::is_directory(tried.parent_path(), ec))
        why = ": la cartella '" + Utf8Path(tried.parent_path()) + "' non esiste";
    return what + " non è stato trovato ('" + path + "')" + why + "!";
}

std::string FileTitleOf(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

}  // namespace core
