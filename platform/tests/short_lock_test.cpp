#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/iocounts.h"
#include "testing/temp_dir.h"

namespace zv::platform {
namespace {

using testing::TempDir;

class ShortLockFile : public ::testing::Test {
 protected:
  FakeClock clock;
  ScopedClock scoped{clock};
  TempDir dir;
};

TEST_F(ShortLockFile, FreeLockIsHandedOverWithoutAnyPause) {
  const IoCounts before = ReadIoCounts();
  HeldLock l = AcquireShortLockFile(dir.path() + "/", "~Write.Locked", 600);
  ASSERT_TRUE(l);
  EXPECT_EQ(clock.sleeps(), 0);
  EXPECT_TRUE(IsLockHeld(dir / "~Write.Locked"));
  EXPECT_EQ(ReleaseLockFile(l, dir.path(), "~Write.Locked"), 1);
  EXPECT_FALSE(Exists(dir / "~Write.Locked"));
  const IoCounts after = ReadIoCounts();
  EXPECT_EQ(after.lockAcquisitions - before.lockAcquisitions, 1);
  EXPECT_EQ(after.lockSettlePauses, before.lockSettlePauses);

  // The environment lock's protocol keeps its pause after the attempts.
  HeldLock env = AcquireLockFile(dir.path(), "~WriteEnvSetInfo.Locked", 600);
  ASSERT_TRUE(env);
  EXPECT_EQ(clock.totalSleptMs(), 100);
  EXPECT_EQ(ReadIoCounts().lockSettlePauses - after.lockSettlePauses, 1);
}

TEST_F(ShortLockFile, BusyLockPollsEvery100msAndGivesUpWithoutTrailingPause) {
  HeldLock holder = HeldLock::TryAcquire(dir / "~Write.Locked");
  ASSERT_TRUE(holder);
  const IoCounts before = ReadIoCounts();
  EXPECT_FALSE(AcquireShortLockFile(dir.path(), "~Write.Locked", 1));
  // Polls until more than one whole second has passed: 20 polls, no more.
  EXPECT_EQ(clock.totalSleptMs(), 2000);
  EXPECT_EQ(clock.sleeps(), 20);
  EXPECT_EQ(ReadIoCounts().lockBusyPolls - before.lockBusyPolls, 20);
  EXPECT_TRUE(holder.valid());
  EXPECT_FALSE(AcquireShortLockFile("", "~Write.Locked", 1));
  EXPECT_FALSE(AcquireShortLockFile(dir.path(), "", 1));
}

TEST(IoCounts, ReplacementsAreCountedPerFile) {
  TempDir dir;
  const std::string a = dir / "a.ini";
  const std::string b = dir / "b.ini";
  ASSERT_TRUE(WriteFileAtomic(a, "x"));
  ASSERT_TRUE(WriteFileAtomic(a, "y"));
  ASSERT_TRUE(WriteFileAtomic(b, "z"));
  EXPECT_FALSE(WriteFileAtomic(dir / "missing/c.ini", "z"));
  EXPECT_EQ(ReplacementsOf(a), 2);
  EXPECT_EQ(ReplacementsOf(b), 1);
  EXPECT_EQ(ReplacementsOf(dir / "missing/c.ini"), 0);
}

}  // namespace
}  // namespace zv::platform
