#include <gtest/gtest.h>

#include <string>

#include "common/Startup.h"
#include "common/platform/InstanceLock.h"
#include "tests/common/InstanceHolder.h"

using core::platform::InstanceLock;

namespace {

TEST(InstanceLockTest, SecondProcessIsRefusedUntilTheFirstDies) {
    const std::string name = testsupport::UniqueProgramName("LockTest");
    testsupport::InstanceHolder first(name);
    ASSERT_TRUE(first.Holds());
    EXPECT_EQ(InstanceLock::TryAcquire(name), nullptr);
    EXPECT_EQ(InstanceLock::TryAcquire(name), nullptr);  // asking does not change anything

    // Killed without any clean-up: the lock goes with the process, no stale
    // file keeps the program from starting again.
    first.Kill();
    auto lock = InstanceLock::TryAcquire(name);
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(lock->Held());

    // And now we are the first: another process is refused.
    testsupport::InstanceHolder second(name);
    EXPECT_FALSE(second.Holds());
}

TEST(InstanceLockTest, ReleasedWhenTheLockObjectGoes) {
    const std::string name = testsupport::UniqueProgramName("LockRelease");
    {
        auto lock = InstanceLock::TryAcquire(name);
        ASSERT_NE(lock, nullptr);
        ASSERT_TRUE(lock->Held());
        // Even inside one process a second claim is refused.
        EXPECT_EQ(InstanceLock::TryAcquire(name), nullptr);
    }
    EXPECT_NE(InstanceLock::TryAcquire(name), nullptr);
}

TEST(InstanceLockTest, ProgramsDoNotBlockEachOther) {
    const std::string base = testsupport::UniqueProgramName("");
    testsupport::InstanceHolder varnel("Varnel" + base);
    ASSERT_TRUE(varnel.Holds());
    auto tessily = InstanceLock::TryAcquire("Tessily" + base);
    ASSERT_NE(tessily, nullptr);
    EXPECT_TRUE(tessily->Held());
}

TEST(InstanceLockTest, LockFileNameCarriesProgramAndUser) {
    const std::string path = core::platform::InstanceLockPath("Var/nel ..");
    EXPECT_NE(path.find("Var_nel_.."), std::string::npos) << path;  // no folder can be named through it
    EXPECT_NE(path.find(std::to_string(::getuid())), std::string::npos) << path;
}

TEST(InstanceLockTest, AForeignFileInTheWayDoesNotStopTheProgram) {
    const std::string name = testsupport::UniqueProgramName("LockLink");
    const std::string path = core::platform::InstanceLockPath(name);
    ::unlink(path.c_str());
    ASSERT_EQ(::symlink("/nonexistent/target", path.c_str()), 0);
    auto lock = InstanceLock::TryAcquire(name);
    ASSERT_NE(lock, nullptr);  // starts, unprotected
    EXPECT_FALSE(lock->Held());
    ::unlink(path.c_str());
}

TEST(SingleInstanceTest, PreviousInstanceIsWhatTheStartFound) {
    const std::string name = testsupport::UniqueProgramName("Claim");
    core::ReleaseSingleInstance();
    EXPECT_FALSE(core::PreviousInstance());  // never asked: a window test's case
    {
        testsupport::InstanceHolder other(name);
        ASSERT_TRUE(other.Holds());
        EXPECT_FALSE(core::ClaimSingleInstance(name));
        EXPECT_TRUE(core::PreviousInstance());
    }
    EXPECT_TRUE(core::ClaimSingleInstance(name));
    EXPECT_FALSE(core::PreviousInstance());
    EXPECT_TRUE(core::ClaimSingleInstance(name));  // the window load asks again
    testsupport::InstanceHolder late(name);
    EXPECT_FALSE(late.Holds());
    core::ReleaseSingleInstance();
}

}  // namespace
