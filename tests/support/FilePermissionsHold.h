#pragma once
// Root reads every file whatever its permissions: on Linux that is the
// CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH capabilities. A test that needs
// an unreadable file takes this guard first: it drops the two from the
// calling thread's effective set (the permitted set keeps them) and gives
// them back when it goes, so that the file's permissions hold for root as
// for any user. Threads started while it lives inherit the reduced set.
//
//   testsupport::FilePermissionsHold hold;
//   fs::permissions(path, fs::perms::none);
//   if (!testsupport::CannotOpenForReading(path)) GTEST_SKIP() << ...;

#include <fstream>
#include <string>

#if defined(__linux__)
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace testsupport {

class FilePermissionsHold {
public:
    FilePermissionsHold() {
#if defined(__linux__)
        if (::geteuid() != 0) return;
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;  // this thread
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            reduced[cap / 32].effective &= ~(1u << (cap % 32));
        dropped_ = ::syscall(SYS_capset, &header_, reduced) == 0;
#endif
    }
    ~FilePermissionsHold() {
#if defined(__linux__)
        if (dropped_) ::syscall(SYS_capset, &header_, saved_);
#endif
    }
    FilePermissionsHold(const FilePermissionsHold&) = delete;
    FilePermissionsHold& operator=(const FilePermissionsHold&) = delete;

private:
#if defined(__linux__)
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
#endif
    bool dropped_ = false;
};

// Whether opening the file for reading fails here and now: the one proof
// that a permission change took effect for this process.
inline bool CannotOpenForReading(const std::string& path) {
    return !std::ifstream(path, std::ios::binary).is_open();
}

}  // namespace testsupport
