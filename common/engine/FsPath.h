#pragma once
// File names are UTF-8 text inside the programs; these turn them into
// filesystem paths and back on every platform (on Windows a narrow path
// would be read in the ANSI code page).

#include <filesystem>
#include <string>

namespace core {

inline std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace core
