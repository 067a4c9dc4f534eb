// Import lock files and the send-user list.
#include <gtest/gtest.h>
#include <unistd.h>

#include "dravel/core.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "testing/installation.h"

namespace zv::dravel {
namespace {

namespace test = zv::testing;

TEST(ImpLock, TakeAndRelease) {
  test::Installation box;
  const std::string folder = box.Path("binder");
  platform::MakeFolders(folder);
  const DravelHandle h = CreateImpLockFile(folder.c_str(), "~Write.Locked", 5);
  ASSERT_GT(h, 0);
  EXPECT_TRUE(platform::IsLockHeld(folder + "/~Write.Locked"));
  // The same lock again from this process is refused until released.
  platform::FakeClock clock;
  {
    platform::ScopedClock use(clock);
    EXPECT_EQ(CreateImpLockFile(folder.c_str(), "~Write.Locked", 2), DRAVEL_INVALID_HANDLE);
  }
  EXPECT_EQ(DeleteImpLockFile(h, folder.c_str(), "~Write.Locked"), 1);
  EXPECT_FALSE(platform::Exists(folder + "/~Write.Locked"));
  // A released handle is not a handle any more.
  EXPECT_EQ(DeleteImpLockFile(h, folder.c_str(), "~Write.Locked"), 0);
}

TEST(ImpLock, BadArguments) {
  test::Installation box;
  const std::string folder = box.root();
  EXPECT_EQ(CreateImpLockFile("", "x.Locked", 1), 0);
  EXPECT_EQ(CreateImpLockFile(folder.c_str(), "", 1), 0);
  EXPECT_EQ(CreateImpLockFile(nullptr, "x.Locked", 1), 0);
  EXPECT_EQ(DeleteImpLockFile(DRAVEL_INVALID_HANDLE, folder.c_str(), "x.Locked"), 0);
  EXPECT_EQ(DeleteImpLockFile(1, "", "x.Locked"), 0);
  // A handle this process never gave out must not delete a lock file.
  platform::WriteFileAtomic(folder + "/x.Locked", "");
  EXPECT_EQ(DeleteImpLockFile(987654, folder.c_str(), "x.Locked"), 0);
  EXPECT_TRUE(platform::Exists(folder + "/x.Locked"));
}

TEST(ImpLock, FolderGoneBeforeRelease) {
  test::Installation box;
  const std::string folder = box.Path("gone");
  platform::MakeFolders(folder);
  const DravelHandle h = CreateImpLockFile(folder.c_str(), "~Write.Locked", 1);
  ASSERT_GT(h, 0);
  platform::RemoveTree(folder);
  EXPECT_EQ(DeleteImpLockFile(h, folder.c_str(), "~Write.Locked"), 0);
}

TEST(ImpLock, TimeOutZeroWaitsSixtySeconds) {
  test::Installation box;
  const std::string folder = box.root();
  platform::HeldLock other = platform::HeldLock::TryAcquire(folder + "/~Write.Locked");
  ASSERT_TRUE(other.valid());
  platform::FakeClock clock;
  platform::ScopedClock use(clock);
  EXPECT_EQ(CreateImpLockFile(folder.c_str(), "~Write.Locked", 0), DRAVEL_INVALID_HANDLE);
  EXPECT_GE(clock.totalSleptMs(), 60'000);
  EXPECT_LE(clock.totalSleptMs(), 62'500);
}

TEST(ImpLock, SecondProcessGetsTheLockOnlyAfterTheFirstReleases) {
  test::Installation box;
  const std::string folder = box.root();
  const std::string lockPath = folder + "/~Write.Locked";
  const std::string ready = box.Path("holder.ready");
  platform::Process holder = platform::Process::Spawn(std::string(ZV_TEST_TOOLS_DIR) + "/lock_holder",
                                                      {folder, "~Write.Locked", "4000", ready});
  ASSERT_TRUE(holder.valid());
  for (int i = 0; i < 500 && !platform::Exists(ready); ++i) usleep(10'000);
  ASSERT_TRUE(platform::Exists(ready));
  // Held by the other process: a one-second wait fails...
  EXPECT_EQ(CreateImpLockFile(folder.c_str(), "~Write.Locked", 1), DRAVEL_INVALID_HANDLE);
  // ...a longer one gets it once the holder lets go.
  const DravelHandle h = CreateImpLockFile(folder.c_str(), "~Write.Locked", 20);
  EXPECT_GT(h, 0);
  EXPECT_EQ(holder.Wait(10'000), 0);
  EXPECT_EQ(DeleteImpLockFile(h, folder.c_str(), "~Write.Locked"), 1);
  EXPECT_FALSE(platform::Exists(lockPath));
}

TEST(SendUserList, FreshProfileGetsFoldersAndFile) {
  test::Installation box;
  char path[DRAVEL_PATH_MAX] = "";
  ASSERT_EQ(GetAndCheckImpSendUserdat(path), 0);
  const std::string expected = box.appData() + "/Brennic/ZorvanPersonal/ImpSendUser.dat";
  EXPECT_EQ(std::string(path), expected);
  EXPECT_EQ(platform::ini::GetString(expected, "users", "count", "missing"), "0");
  // An existing list is left as it is.
  platform::ini::WriteString(expected, "users", "count", "2");
  platform::ini::WriteString(expected, "users", "username1", "bob");
  ASSERT_EQ(GetAndCheckImpSendUserdat(path), 0);
  EXPECT_EQ(platform::ini::GetString(expected, "users", "count"), "2");
  EXPECT_EQ(platform::ini::GetString(expected, "users", "username1"), "bob");
}

TEST(SendUserList, MissingListComesBackFromItsBackup) {
  test::Installation box;
  const std::string folder = box.appData() + "/Brennic/ZorvanPersonal";
  ASSERT_TRUE(platform::MakeFolders(folder));
  ASSERT_TRUE(platform::WriteFileAtomic(folder + "/ImpSendUser.bak", "[users]\nusername1=\"bob\"\ncount=1\n"));
  char path[DRAVEL_PATH_MAX] = "";
  ASSERT_EQ(GetAndCheckImpSendUserdat(path), 0);
  EXPECT_EQ(platform::ini::GetString(path, "users", "count"), "1");
  EXPECT_EQ(platform::ini::GetString(path, "users", "username1"), "bob");
}

TEST(SendUserList, FailuresAreReported) {
  test::Installation box;
  char path[DRAVEL_PATH_MAX] = "";
  // A file where the folder should be.
  platform::WriteFileAtomic(box.appData() + "/Brennic", "x");
  EXPECT_EQ(GetAndCheckImpSendUserdat(path), -106);
  platform::RemoveFile(box.appData() + "/Brennic");
  // A folder where the file should be.
  platform::MakeFolders(box.appData() + "/Brennic/ZorvanPersonal/ImpSendUser.dat");
  EXPECT_EQ(GetAndCheckImpSendUserdat(path), -107);
}

TEST(SendUserList, SendFileLogSwitch) {
  test::Installation box;
  ResetSendFileLogSwitch();
  char path[DRAVEL_PATH_MAX] = "";
  box.WriteSettings({{"SendFileToolLog", "1"}});
  GetAndCheckImpSendUserdat(path);
  EXPECT_TRUE(SendFileLogEnabled());
  box.WriteSettings({{"SendFileToolLog", "0"}});
  GetAndCheckImpSendUserdat(path);
  EXPECT_FALSE(SendFileLogEnabled());
  // Off for the rest of the process, whatever the file says later.
  box.WriteSettings({{"SendFileToolLog", "1"}});
  GetAndCheckImpSendUserdat(path);
  EXPECT_FALSE(SendFileLogEnabled());
  ResetSendFileLogSwitch();
}

}  // namespace
}  // namespace zv::dravel
