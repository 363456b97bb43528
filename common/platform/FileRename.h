#pragma once
// Renaming and flushing files where the difference between "renamed" and
// "replaced" matters: the upgrade keeps the only copy of an office's data
// under a backup name, and a plain rename() on POSIX would silently replace
// an older backup. Paths are UTF-8.

#include <string>

namespace core::platform {

struct FileOpResult {
    enum class Outcome { Done, TargetExists, SourceMissing, Denied, Failed };
    Outcome outcome = Outcome::Failed;
    int systemError = 0;     // errno or GetLastError()
    std::string systemText;  // the system's own message

    bool Ok() const { return outcome == Outcome::Done; }
};

// Renames `from` to `to` in one step, or fails with TargetExists when `to`
// already exists: an existing file is never replaced.
FileOpResult RenameNoReplace(const std::string& from, const std::string& to);

// Writes a file's data and metadata through to the disk.
FileOpResult SyncFile(const std::string& path);

// Makes the folder's entries (a rename, a new file) durable. A no-op where
// the system persists them with the file.
FileOpResult SyncFolder(const std::string& folder);

}  // namespace core::platform
