#pragma once
// A test-only SQLite VFS over the default one: it counts the writes and
// syncs made to the files it watches (a database and its journal, or every
// file of a folder), fails the Nth of them from arming with a full disk or
// an I/O error (once, or from then on like a disk that stays full), and can
// refuse the locks of a watched file for a while, as another program
// holding the database would. Encryption sits above the VFS, so encrypted
// files are written through it like plain ones.
//
// While an instance lives it is the default VFS; connections opened before
// keep the VFS they were opened with, so the engine's shared connections
// must be closed first.

#include <sqlcipher/sqlite3.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

namespace faultstest {

enum class Fault { Full, IoError };
enum class Repeat { Once, FromThenOn };

class FaultVfs {
public:
    FaultVfs();
    ~FaultVfs();
    FaultVfs(const FaultVfs&) = delete;
    FaultVfs& operator=(const FaultVfs&) = delete;

    // The database at `path` and its journals ("-journal", "-wal"), not the
    // other files beside it.
    void WatchDatabase(const std::string& path);
    // Every file in `folder`.
    void WatchFolder(const std::string& folder);

    // Counters since the last Reset (writes and syncs on watched files).
    void Reset();
    long Writes() const { return writes_; }
    long Syncs() const { return syncs_; }
    long Operations() const { return writes_ + syncs_; }

    // The nth write or sync from now (1: the next one) fails with `fault`;
    // a write with SQLITE_FULL or SQLITE_IOERR_WRITE, a sync with
    // SQLITE_FULL or SQLITE_IOERR_FSYNC. From then on (FromThenOn) an I/O
    // error fails every write and sync; a full disk, like a real one, only
    // the writes that would make a file longer.
    void Arm(long nth, Fault fault, Repeat repeat);
    // Locks of a watched file at `fromLevel` or above (SQLITE_LOCK_SHARED,
    // _RESERVED, _EXCLUSIVE) are answered SQLITE_BUSY for `duration` from
    // the first one refused.
    void ArmBusy(std::chrono::milliseconds duration, int fromLevel = SQLITE_LOCK_EXCLUSIVE);
    void Disarm();
    // How many operations (or locks) were failed since arming.
    long Failed() const { return failed_; }

    // For the file methods.
    bool Watched(const char* name) const;
    int BeforeWrite(bool grows);
    int BeforeSync();
    int BeforeLock(int level);
    sqlite3_vfs* Real() const { return real_; }

private:
    int Next(bool sync, bool grows);

    sqlite3_vfs vfs_{};
    sqlite3_vfs* real_ = nullptr;
    sqlite3_vfs* previousDefault_ = nullptr;

    mutable std::mutex mutex_;
    std::string watchedDatabase_;
    std::string watchedFolder_;

    std::atomic<long> writes_{0};
    std::atomic<long> syncs_{0};
    std::atomic<long> failed_{0};

    // Guarded by mutex_.
    long armedAt_ = 0;  // operation number that fails; 0: not armed
    Fault fault_ = Fault::Full;
    Repeat repeat_ = Repeat::Once;
    bool busyArmed_ = false;
    bool busyStarted_ = false;
    int busyLevel_ = SQLITE_LOCK_EXCLUSIVE;
    std::chrono::milliseconds busyFor_{0};
    std::chrono::steady_clock::time_point busySince_{};
};

}  // namespace faultstest
