#include <gtest/gtest.h>

#include "monitor/settings/env_files.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::monitor {
namespace {

using testing::TempDir;

class EnvLockTest : public ::testing::Test {
 protected:
  platform::FakeClock clock;
  platform::ScopedClock scoped{clock};
  TempDir dir;
  std::string LockPath() const { return dir / kEnvLockName; }
};

TEST_F(EnvLockTest, HeldLockGivesUpAfterTimeoutWithoutRealWaiting) {
  platform::HeldLock other = platform::HeldLock::TryAcquire(LockPath());
  ASSERT_TRUE(other.valid());

  EnvLockHandle h = AcquireEnvLock(dir.path(), kEnvLockName, kEnvLockTimeoutSeconds);
  EXPECT_FALSE(h.valid());
  // Polls every 100 ms until more than 600 whole seconds have passed (at
  // 601 s), then the closing 100 ms pause. The services' wait adds no time.
  EXPECT_EQ(clock.totalSleptMs(), 601'100);
  EXPECT_EQ(clock.sleeps(), 6'011);
  EXPECT_EQ(ReleaseEnvLock(h, dir.path(), kEnvLockName), 0);
  EXPECT_TRUE(platform::IsFile(LockPath())) << "a failed taker must not delete the holder's file";
}

TEST_F(EnvLockTest, NonPositiveTimeoutMeansSixtySeconds) {
  platform::HeldLock other = platform::HeldLock::TryAcquire(LockPath());
  ASSERT_TRUE(other.valid());
  EnvLockHandle h = AcquireEnvLock(dir.path(), kEnvLockName, 0);
  EXPECT_FALSE(h.valid());
  EXPECT_EQ(clock.totalSleptMs(), 61'100);
}

TEST_F(EnvLockTest, StaleFileIsTakenAtOnceAndReleaseDeletesIt) {
  testing::WriteText(LockPath(), "left by a crashed writer");
  EnvLockHandle h = AcquireEnvLock(dir.path() + "/", kEnvLockName, kEnvLockTimeoutSeconds);
  ASSERT_TRUE(h.valid());
  EXPECT_EQ(clock.totalSleptMs(), 100) << "only the closing pause";
  EXPECT_FALSE(platform::HeldLock::TryAcquire(LockPath()).valid()) << "really exclusive";
  EXPECT_EQ(ReleaseEnvLock(h, dir.path(), kEnvLockName), 1);
  EXPECT_FALSE(platform::Exists(LockPath()));
  EXPECT_EQ(ReleaseEnvLock(h, dir.path(), kEnvLockName), 0) << "second release is a no-op";
}

TEST_F(EnvLockTest, EmptyArgumentsAndVanishedFolder) {
  EnvLockHandle none = AcquireEnvLock("", kEnvLockName, 600);
  EXPECT_FALSE(none.valid());
  EXPECT_FALSE(AcquireEnvLock(dir.path(), "", 600).valid());
  EXPECT_EQ(clock.totalSleptMs(), 0) << "no lock, no pause";

  const std::string sub = dir / "sub";
  ASSERT_TRUE(platform::MakeFolder(sub));
  EnvLockHandle h = AcquireEnvLock(sub, kEnvLockName, 600);
  ASSERT_TRUE(h.valid());
  ASSERT_TRUE(platform::RemoveTree(sub));
  EXPECT_EQ(ReleaseEnvLock(h, sub, kEnvLockName), 0);
  EXPECT_FALSE(h.valid());
}

TEST_F(EnvLockTest, GuardWritesEachFileOnceAndReleases) {
  const EnvFiles env = EnvFiles::ForFolder(dir.path());
  {
    EnvLockGuard guard(env.folder, {env.settings, env.status});
    EXPECT_TRUE(guard.locked());
    EXPECT_TRUE(ProfileWrite("Option", "Modified", 1, env.settings));
    EXPECT_TRUE(ProfileWrite("work", "ImportFlag", "1", env.status));
    EXPECT_FALSE(platform::Exists(env.settings)) << "the group writes at its flush";
    EXPECT_TRUE(platform::IsFile(LockPath()));
  }
  EXPECT_FALSE(platform::Exists(LockPath()));
  EXPECT_EQ(ProfileRead("Option", "Modified", 0, env.settings), 1);
  EXPECT_EQ(ProfileRead("work", "ImportFlag", 0, env.status), 1);

  // A timed-out guard still writes: the lock is advisory.
  platform::HeldLock other = platform::HeldLock::TryAcquire(LockPath());
  ASSERT_TRUE(other.valid());
  EnvLockGuard late(env.folder, {env.settings}, 1);
  EXPECT_FALSE(late.locked());
  EXPECT_TRUE(ProfileWrite("Option", "Modified", 0, env.settings));
  EXPECT_TRUE(late.Commit());
  EXPECT_EQ(ProfileRead("Option", "Modified", 1, env.settings), 0);
  EXPECT_TRUE(platform::IsFile(LockPath())) << "the holder's file stays";
}

}  // namespace
}  // namespace zv::monitor
