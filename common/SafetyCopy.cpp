#include "common/SafetyCopy.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "common/engine/FsPath.h"

namespace core {
namespace {

namespace fs = std::filesystem;

std::string Prefix(const std::string& destination, const std::string& program)
{
    std::string lower = program;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return Utf8Path(FsPath(destination).filename()) + ".prima-" + lower + "-";
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
    // The stamps sort like the times they stand for.
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths;
    for (const auto& name : names) paths.push_back(Utf8Path(folder / FsPath(name)));
    return paths;
}

SafetyCopy SafetyCopy::Make(const std::string& destination, const std::string& password, const std::string& program,
                            const sqlite::CopyProgress& progress)
{
    std::string path = SafetyCopyPath(destination, program, std::time(nullptr));
    std::error_code ec;
    for (int n = 2; fs::exists(FsPath(path), ec); ++n)
        path = SafetyCopyPath(destination, program, std::time(nullptr)) + "-" + std::to_string(n);
    sqlite::BackupDatabase(destination, password, path, progress);

    std::vector<std::string> copies = SafetyCopies(destination, program);
    // Same second, "-2" after the plain stamp: sorted names keep the order.
    for (std::size_t i = 0; i + kKept < copies.size(); ++i) fs::remove(FsPath(copies[i]), ec);
    return SafetyCopy(destination, password, std::move(path));
}

void SafetyCopy::Restore() const { sqlite::RestoreDatabase(path_, password_, destination_); }

}  // namespace core
