#pragma once
// The end of an upgrade: the archive becomes the backup and the filled
// template takes the archive's name, without ever replacing a file and
// without a moment in which the old database exists nowhere complete.

#include <functional>
#include <string>

#include "common/platform/FileRename.h"

namespace upgrade {

// The file operations the swap needs; tests replace single ones to make
// them fail.
struct FileOps {
    std::function<core::platform::FileOpResult(const std::string&, const std::string&)> renameNoReplace =
        core::platform::RenameNoReplace;
    std::function<core::platform::FileOpResult(const std::string&)> syncFile = core::platform::SyncFile;
    std::function<core::platform::FileOpResult(const std::string&)> syncFolder = core::platform::SyncFolder;
};

// The folder that holds a file ("" for a bare name).
std::string FolderOf(const std::string& path);

// Raises core::Error for a failed file operation: 58 target exists, 53 file
// not found, 70 permission denied, 75 any other failure, naming both files.
void ThrowRenameError(const core::platform::FileOpResult& result, const std::string& from,
                      const std::string& to);

class FileSwap {
public:
    explicit FileSwap(FileOps ops = {}) : ops_(std::move(ops)) {}

    // Writes the file and its folder entry through to the disk.
    void Flush(const std::string& path) const;

    // archive -> backup, then filled -> archive, then the folder is flushed.
    // An existing backup makes the first rename fail and is left alone. When
    // the second rename fails the backup is renamed back to the archive's
    // name before the error is raised. `between` runs after the first rename,
    // `swapped` after the second (before the folders are flushed).
    void Swap(const std::string& archive, const std::string& filled, const std::string& backup,
              const std::function<void()>& between = {}, const std::function<void()>& swapped = {}) const;

private:
    FileOps ops_;
};

}  // namespace upgrade
