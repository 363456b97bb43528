#include "tests/faults/FaultVfs.h"

#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace faultstest {
namespace {

// The file handed to SQLite: our header, then the real VFS's file.
struct FaultFile {
    sqlite3_file base;
    sqlite3_io_methods methods;  // per file: its version follows the real file's
    FaultVfs* owner;
    bool watched;
    sqlite3_file* Real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

FaultFile* Of(sqlite3_file* f) { return reinterpret_cast<FaultFile*>(f); }
FaultVfs* Owner(sqlite3_vfs* vfs) { return static_cast<FaultVfs*>(vfs->pAppData); }

int Close(sqlite3_file* f) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
}
int Read(sqlite3_file* f, void* buf, int amount, sqlite3_int64 offset) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xRead(real, buf, amount, offset);
}
int Write(sqlite3_file* f, const void* buf, int amount, sqlite3_int64 offset) {
    FaultFile* file = Of(f);
    if (file->watched) {
        sqlite3_int64 size = 0;
        if (file->Real()->pMethods->xFileSize(file->Real(), &size) != SQLITE_OK) size = 0;
        if (const int rc = file->owner->BeforeWrite(offset + amount > size); rc != SQLITE_OK) return rc;
    }
    return file->Real()->pMethods->xWrite(file->Real(), buf, amount, offset);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xTruncate(real, size);
}
int Sync(sqlite3_file* f, int flags) {
    FaultFile* file = Of(f);
    if (file->watched)
        if (const int rc = file->owner->BeforeSync(); rc != SQLITE_OK) return rc;
    return file->Real()->pMethods->xSync(file->Real(), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xFileSize(real, size);
}
int Lock(sqlite3_file* f, int level) {
    FaultFile* file = Of(f);
    if (file->watched)
        if (const int rc = file->owner->BeforeLock(level); rc != SQLITE_OK) return rc;
    return file->Real()->pMethods->xLock(file->Real(), level);
}
int Unlock(sqlite3_file* f, int level) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xUnlock(real, level);
}
int CheckReservedLock(sqlite3_file* f, int* out) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xCheckReservedLock(real, out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xFileControl(real, op, arg);
}
int SectorSize(sqlite3_file* f) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xSectorSize(real);
}
int DeviceCharacteristics(sqlite3_file* f) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xDeviceCharacteristics(real);
}
int ShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xShmMap(real, page, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xShmLock(real, offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) {
    sqlite3_file* real = Of(f)->Real();
    real->pMethods->xShmBarrier(real);
}
int ShmUnmap(sqlite3_file* f, int deleteFlag) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xShmUnmap(real, deleteFlag);
}
int Fetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xFetch(real, offset, amount, out);
}
int Unfetch(sqlite3_file* f, sqlite3_int64 offset, void* p) {
    sqlite3_file* real = Of(f)->Real();
    return real->pMethods->xUnfetch(real, offset, p);
}

int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    FaultVfs* owner = Owner(vfs);
    FaultFile* file = Of(f);
    std::memset(file, 0, sizeof(FaultFile));
    file->owner = owner;
    file->watched = owner->Watched(name);
    sqlite3_file* real = file->Real();
    const int rc = owner->Real()->xOpen(owner->Real(), name, real, flags, outFlags);
    if (!real->pMethods) {
        f->pMethods = nullptr;
        return rc;
    }
    const sqlite3_io_methods* r = real->pMethods;
    sqlite3_io_methods& m = file->methods;
    m.iVersion = r->iVersion < 3 ? r->iVersion : 3;
    m.xClose = Close;
    m.xRead = Read;
    m.xWrite = Write;
    m.xTruncate = Truncate;
    m.xSync = Sync;
    m.xFileSize = FileSize;
    m.xLock = Lock;
    m.xUnlock = Unlock;
    m.xCheckReservedLock = CheckReservedLock;
    m.xFileControl = FileControl;
    m.xSectorSize = SectorSize;
    m.xDeviceCharacteristics = DeviceCharacteristics;
    if (m.iVersion >= 2) {
        m.xShmMap = ShmMap;
        m.xShmLock = ShmLock;
        m.xShmBarrier = ShmBarrier;
        m.xShmUnmap = ShmUnmap;
    }
    if (m.iVersion >= 3) {
        m.xFetch = Fetch;
        m.xUnfetch = Unfetch;
    }
    f->pMethods = &m;
    return rc;
}

int Delete(sqlite3_vfs* vfs, const char* name, int syncDir) {
    return Owner(vfs)->Real()->xDelete(Owner(vfs)->Real(), name, syncDir);
}
int Access(sqlite3_vfs* vfs, const char* name, int flags, int* out) {
    return Owner(vfs)->Real()->xAccess(Owner(vfs)->Real(), name, flags, out);
}
int FullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
    return Owner(vfs)->Real()->xFullPathname(Owner(vfs)->Real(), name, size, out);
}
void* DlOpen(sqlite3_vfs* vfs, const char* name) { return Owner(vfs)->Real()->xDlOpen(Owner(vfs)->Real(), name); }
void DlError(sqlite3_vfs* vfs, int size, char* out) { Owner(vfs)->Real()->xDlError(Owner(vfs)->Real(), size, out); }
void (*DlSym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
    return Owner(vfs)->Real()->xDlSym(Owner(vfs)->Real(), handle, symbol);
}
void DlClose(sqlite3_vfs* vfs, void* handle) { Owner(vfs)->Real()->xDlClose(Owner(vfs)->Real(), handle); }
int Randomness(sqlite3_vfs* vfs, int size, char* out) {
    return Owner(vfs)->Real()->xRandomness(Owner(vfs)->Real(), size, out);
}
int Sleep(sqlite3_vfs* vfs, int micro) { return Owner(vfs)->Real()->xSleep(Owner(vfs)->Real(), micro); }
int CurrentTime(sqlite3_vfs* vfs, double* out) {
    return Owner(vfs)->Real()->xCurrentTime(Owner(vfs)->Real(), out);
}
int GetLastError(sqlite3_vfs* vfs, int size, char* out) {
    return Owner(vfs)->Real()->xGetLastError(Owner(vfs)->Real(), size, out);
}
int CurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* out) {
    return Owner(vfs)->Real()->xCurrentTimeInt64(Owner(vfs)->Real(), out);
}
int SetSystemCall(sqlite3_vfs* vfs, const char* name, sqlite3_syscall_ptr call) {
    return Owner(vfs)->Real()->xSetSystemCall(Owner(vfs)->Real(), name, call);
}
sqlite3_syscall_ptr GetSystemCall(sqlite3_vfs* vfs, const char* name) {
    return Owner(vfs)->Real()->xGetSystemCall(Owner(vfs)->Real(), name);
}
const char* NextSystemCall(sqlite3_vfs* vfs, const char* name) {
    return Owner(vfs)->Real()->xNextSystemCall(Owner(vfs)->Real(), name);
}

std::string Canonical(const std::string& path) {
    std::error_code ec;
    const auto full = std::filesystem::weakly_canonical(std::filesystem::path(path), ec);
    return ec ? path : full.string();
}

}  // namespace

FaultVfs::FaultVfs() {
    sqlite3_initialize();
    previousDefault_ = sqlite3_vfs_find(nullptr);
    real_ = previousDefault_;
    if (!real_) throw std::runtime_error("no default SQLite VFS");
    vfs_.iVersion = real_->iVersion < 3 ? real_->iVersion : 3;
    vfs_.szOsFile = static_cast<int>(sizeof(FaultFile)) + real_->szOsFile;
    vfs_.mxPathname = real_->mxPathname;
    vfs_.zName = "faults";
    vfs_.pAppData = this;
    vfs_.xOpen = Open;
    vfs_.xDelete = Delete;
    vfs_.xAccess = Access;
    vfs_.xFullPathname = FullPathname;
    vfs_.xDlOpen = DlOpen;
    vfs_.xDlError = DlError;
    vfs_.xDlSym = DlSym;
    vfs_.xDlClose = DlClose;
    vfs_.xRandomness = Randomness;
    vfs_.xSleep = Sleep;
    vfs_.xCurrentTime = CurrentTime;
    vfs_.xGetLastError = GetLastError;
    if (vfs_.iVersion >= 2) vfs_.xCurrentTimeInt64 = CurrentTimeInt64;
    if (vfs_.iVersion >= 3) {
        vfs_.xSetSystemCall = SetSystemCall;
        vfs_.xGetSystemCall = GetSystemCall;
        vfs_.xNextSystemCall = NextSystemCall;
    }
    if (sqlite3_vfs_register(&vfs_, 1) != SQLITE_OK) throw std::runtime_error("cannot register the fault VFS");
}

FaultVfs::~FaultVfs() {
    sqlite3_vfs_unregister(&vfs_);
    sqlite3_vfs_register(previousDefault_, 1);
}

void FaultVfs::WatchDatabase(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    watchedDatabase_ = Canonical(path);
    watchedFolder_.clear();
}

void FaultVfs::WatchFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    watchedFolder_ = Canonical(folder);
    if (!watchedFolder_.empty() && watchedFolder_.back() != '/') watchedFolder_ += '/';
    watchedDatabase_.clear();
}

bool FaultVfs::Watched(const char* name) const {
    if (!name) return false;  // temporary files
    const std::string file = name;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!watchedFolder_.empty())
        return file.compare(0, watchedFolder_.size(), watchedFolder_) == 0 &&
               file.find('/', watchedFolder_.size()) == std::string::npos;
    if (watchedDatabase_.empty()) return false;
    return file == watchedDatabase_ || file == watchedDatabase_ + "-journal" || file == watchedDatabase_ + "-wal";
}

void FaultVfs::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    writes_ = 0;
    syncs_ = 0;
    failed_ = 0;
    armedAt_ = 0;
}

void FaultVfs::Arm(long nth, Fault fault, Repeat repeat) {
    std::lock_guard<std::mutex> lock(mutex_);
    armedAt_ = writes_ + syncs_ + nth;
    fault_ = fault;
    repeat_ = repeat;
    failed_ = 0;
}

void FaultVfs::ArmBusy(std::chrono::milliseconds duration, int fromLevel) {
    std::lock_guard<std::mutex> lock(mutex_);
    busyArmed_ = true;
    busyStarted_ = false;
    busyFor_ = duration;
    busyLevel_ = fromLevel;
    failed_ = 0;
}

void FaultVfs::Disarm() {
    std::lock_guard<std::mutex> lock(mutex_);
    armedAt_ = 0;
    busyArmed_ = false;
}

int FaultVfs::Next(bool sync, bool grows) {
    std::lock_guard<std::mutex> lock(mutex_);
    const long n = writes_ + syncs_ + 1;
    if (sync) ++syncs_;
    else ++writes_;
    if (armedAt_ == 0 || n < armedAt_) return SQLITE_OK;
    if (n > armedAt_) {
        if (repeat_ == Repeat::Once) return SQLITE_OK;
        // A full disk still takes what fits in the space a file already
        // has: writes over its pages and syncs.
        if (fault_ == Fault::Full && !grows) return SQLITE_OK;
    }
    ++failed_;
    if (fault_ == Fault::Full) return SQLITE_FULL;
    return sync ? SQLITE_IOERR_FSYNC : SQLITE_IOERR_WRITE;
}

int FaultVfs::BeforeWrite(bool grows) { return Next(false, grows); }
int FaultVfs::BeforeSync() { return Next(true, false); }

int FaultVfs::BeforeLock(int level) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!busyArmed_ || level < busyLevel_) return SQLITE_OK;
    const auto now = std::chrono::steady_clock::now();
    if (!busyStarted_) {
        busyStarted_ = true;
        busySince_ = now;
    }
    if (now - busySince_ >= busyFor_) {
        busyArmed_ = false;
        return SQLITE_OK;
    }
    ++failed_;
    return SQLITE_BUSY;
}

}  // namespace faultstest
