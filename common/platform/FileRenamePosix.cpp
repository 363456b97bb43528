#if !defined(_WIN32)
#include "common/platform/FileRename.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace core::platform {
namespace {

FileOpResult Done() { return FileOpResult{FileOpResult::Outcome::Done, 0, {}}; }

FileOpResult FromErrno(int error) {
    FileOpResult result;
    result.systemError = error;
    result.systemText = std::strerror(error);
    if (error == EEXIST || error == ENOTEMPTY) result.outcome = FileOpResult::Outcome::TargetExists;
    else if (error == ENOENT) result.outcome = FileOpResult::Outcome::SourceMissing;
    else if (error == EACCES || error == EPERM || error == EROFS) result.outcome = FileOpResult::Outcome::Denied;
    else result.outcome = FileOpResult::Outcome::Failed;
    return result;
}

// Closes a descriptor on every path out of SyncPath.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

FileOpResult SyncPath(const std::string& path, int flags) {
    Fd fd;
    do {
        fd.fd = ::open(path.c_str(), flags | O_CLOEXEC);
    } while (fd.fd < 0 && errno == EINTR);
    if (fd.fd < 0) return FromErrno(errno);
    if (::fsync(fd.fd) != 0) {
        // Some file systems cannot sync a folder; their renames are as
        // durable as they will ever be.
        if ((flags & O_DIRECTORY) && (errno == EINVAL || errno == EBADF)) return Done();
        return FromErrno(errno);
    }
    return Done();
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

FileOpResult RenameNoReplace(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Done();
    const int error = errno;
    // Only a file system without the flag falls through to the other ways.
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) return FromErrno(error);
#endif
    // A hard link fails with EEXIST instead of replacing; once it exists the
    // old name goes.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) != 0) {
            const int error = errno;
            ::unlink(to.c_str());  // leave the file under its old name only
            return FromErrno(error);
        }
        return Done();
    }
    const int linkError = errno;
    if (linkError == EEXIST || linkError == ENOENT) return FromErrno(linkError);
    // File systems without hard links (FAT, some network shares): check,
    // then rename. Only another program racing for the same name in between
    // could still be replaced.
    if (Exists(to)) return FromErrno(EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) return FromErrno(errno);
    return Done();
}

FileOpResult SyncFile(const std::string& path) { return SyncPath(path, O_RDONLY); }

FileOpResult SyncFolder(const std::string& folder) {
    return SyncPath(folder.empty() ? std::string(".") : folder, O_RDONLY | O_DIRECTORY);
}

}  // namespace core::platform
#endif
