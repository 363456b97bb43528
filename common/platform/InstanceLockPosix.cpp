#if !defined(_WIN32)
#include "common/platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace core::platform {
namespace {

class FdLock final : public InstanceLock {
public:
    explicit FdLock(int fd) : fd_(fd) {}
    ~FdLock() override {
        if (fd_ >= 0) ::close(fd_);  // closing releases the flock
    }
    FdLock(const FdLock&) = delete;
    FdLock& operator=(const FdLock&) = delete;
    bool Held() const override { return fd_ >= 0; }

private:
    int fd_;
};

}  // namespace

std::string InstanceLockPath(std::string_view programName) {
    std::error_code ec;
    std::filesystem::path folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0' &&
                                                               std::filesystem::is_directory(runtime, ec))
        folder = runtime;
    else
        folder = std::filesystem::temp_directory_path(ec);
    if (ec || folder.empty()) folder = "/tmp";
    const std::string file = "agency-" + SafeName(programName) + "-" + std::to_string(::getuid()) + ".lock";
    return (folder / file).string();
}

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(std::string_view programName) {
    const std::string path = InstanceLockPath(programName);
    // O_NOFOLLOW: in a shared temporary folder a link planted under our name
    // must not make us open (or create) some other file.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return std::make_unique<FdLock>(-1);
    // flock, not fcntl: its lock belongs to this open file, so no other
    // open/close of the same file in the process can drop it.
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) return std::make_unique<FdLock>(fd);
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return nullptr;
    return std::make_unique<FdLock>(-1);
}

}  // namespace core::platform
#endif
