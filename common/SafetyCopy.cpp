#include "common/SafetyCopy.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <utility>
#include <filesystem>

#include "common/engine/FsPath.h"
#include "common/text/AsciiText.h"

namespace core {
namespace {

namespace fs = std::filesystem;

std::string Prefix(const std::string& destination, const std::string& program)
{
    return Utf8Path(FsPath(destination).filename()) + ".prima-" + text::AsciiLower(program) + "-";
}

// The stamp of a copy's name and its number within that second ("-2"
// after the stamp; 1 without): what orders the copies.
std::pair<std::string, int> Order(const std::string& name, std::size_t prefix)
{
    const std::string rest = name.substr(prefix);
    const std::size_t dash = rest.find('-', 9);  // after yyyymmdd-
    if (dash == std::string::npos) return {rest, 1};
    return {rest.substr(0, dash), std::atoi(rest.c_str() + dash + 1)};
}

}  // namespace

std::string SafetyCopyPath(const std::string& destination, const std::string& program, std::time_t when)
{
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const fs::path folder = FsPath(destination).parent_path();
    return Utf8Path(folder / FsPath(Prefix(destination, program) + stamp));
}

std::vector<std::string> SafetyCopies(const std::string& destination, const std::string& program)
{
    const std::string prefix = Prefix(destination, program);
    fs::path folder = FsPath(destination).parent_path();
    if (folder.empty()) folder = ".";
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Utf8Path(it->path().filename());
        // The stamp is yyyymmdd-hhmmss, maybe followed by "-2" for a second
        // copy within the same second; a journal beside a copy is not one.
        if (name.rfind(prefix, 0) == 0 && name.find("-journal") == std::string::npos && it->is_regular_file(ec))
            names.push_back(name);
    }
    // The stamps sort like the times they stand for; within one second the
    // numbers do.
    std::sort(names.begin(), names.end(), [&prefix](const std::string& a, const std::string& b) {
        return Order(a, prefix.size()) < Order(b, prefix.size());
    });
    std::vector<std::string> paths;
    for (const auto& name : names) paths.push_back(Utf8Path(folder / FsPath(name)));
    return paths;
}

SafetyCopy SafetyCopy::Make(const std::string& destination, const std::string& password, const std::string& program,
                            const sqlite::CopyProgress& progress)
{
    const std::string base = SafetyCopyPath(destination, program, std::time(nullptr));
    // A second copy within the same second is numbered after the last one
    // of that second, also when older ones of it were already deleted.
    const std::size_t prefix = Prefix(destination, program).size();
    const std::string stamp = Order(Utf8Path(FsPath(base).filename()), prefix).first;
    int number = 0;
    for (const auto& copy : SafetyCopies(destination, program)) {
        const auto [copyStamp, copyNumber] = Order(Utf8Path(FsPath(copy).filename()), prefix);
        if (copyStamp == stamp) number = std::max(number, copyNumber);
    }
    std::string path = number == 0 ? base : base + "-" + std::to_string(number + 1);
    std::error_code ec;
    sqlite::BackupDatabase(destination, password, path, progress);

    const std::vector<std::string> copies = SafetyCopies(destination, program);
    for (std::size_t i = 0; i + kKept < copies.size(); ++i) fs::remove(FsPath(copies[i]), ec);
    return SafetyCopy(destination, password, std::move(path));
}

void SafetyCopy::Restore() const { sqlite::RestoreDatabase(path_, password_, destination_); }

}  // namespace core
