#include "platform/filelock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::platform {
namespace {

using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

// A child that runs `body` and then waits to be killed; returns once the child
// has signalled that it is ready.
pid_t ForkHolder(void (*body)(const std::string&), const std::string& path) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    body(path);
    char c = 'r';
    (void)!::write(fds[1], &c, 1);
    for (;;) ::pause();
  }
  ::close(fds[1]);
  char c;
  bool ready = ::read(fds[0], &c, 1) == 1;
  ::close(fds[0]);
  return ready ? pid : -1;
}

void KillAndReap(pid_t pid) {
  ::kill(pid, SIGKILL);
  int st;
  ::waitpid(pid, &st, 0);
}

void HoldLockForever(const std::string& path) {
  static HeldLock lock;  // kept for the child's lifetime
  lock = HeldLock::TryAcquire(path);
  if (!lock) ::_exit(1);
}

void HoldOpenForWriting(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
  if (fd < 0) ::_exit(1);
}

TEST(HeldLock, ExcludesOtherDescriptorsAndReleaseDeletes) {
  TempDir dir;
  const std::string p = dir / "~x.Locked";
  HeldLock a = HeldLock::TryAcquire(p);
  ASSERT_TRUE(a);
  EXPECT_TRUE(IsLockHeld(p));
  EXPECT_FALSE(HeldLock::TryAcquire(p)) << "second descriptor got the lock";
  EXPECT_TRUE(a.Release());
  EXPECT_FALSE(a.valid());
  EXPECT_FALSE(Exists(p));
  EXPECT_FALSE(IsLockHeld(p));
  HeldLock b = HeldLock::TryAcquire(p);
  EXPECT_TRUE(b);
}

TEST(HeldLock, TruncateEmptiesStaleContent) {
  TempDir dir;
  const std::string p = dir / "~probe.tmp";
  WriteText(p, "stale content");
  HeldLock keep = HeldLock::TryAcquire(p, false);
  ASSERT_TRUE(keep);
  EXPECT_EQ(ReadText(p), "stale content");
  keep.CloseOnly();
  EXPECT_TRUE(Exists(p));
  HeldLock t = HeldLock::TryAcquire(p, true);
  ASSERT_TRUE(t);
  EXPECT_EQ(ReadText(p), "");
}

TEST(HeldLock, MoveTransfersOwnershipAndDestructorReleases) {
  TempDir dir;
  const std::string p = dir / "m.Lock";
  {
    HeldLock a = HeldLock::TryAcquire(p);
    HeldLock b = std::move(a);
    EXPECT_FALSE(a.valid());
    ASSERT_TRUE(b);
    EXPECT_TRUE(IsLockHeld(p));
  }
  EXPECT_FALSE(Exists(p));
}

TEST(HeldLock, LockOfKilledHolderIsTakenAtOnce) {
  TempDir dir;
  const std::string p = dir / "~WriteEnvSetInfo.Locked";
  pid_t child = ForkHolder(HoldLockForever, p);
  ASSERT_GT(child, 0);
  EXPECT_TRUE(IsLockHeld(p));
  EXPECT_FALSE(HeldLock::TryAcquire(p));
  KillAndReap(child);
  ASSERT_TRUE(Exists(p)) << "a killed holder leaves its file behind";
  HeldLock mine = HeldLock::TryAcquire(p);
  EXPECT_TRUE(mine) << "stale lock file not taken over";
}

TEST(HeldLock, DeletedUnderHolderLeavesNoPhantomAndReleaseSparesNewFile) {
  TempDir dir;
  const std::string p = dir / "~Write.Locked";
  HeldLock old = HeldLock::TryAcquire(p);
  ASSERT_TRUE(old);
  ASSERT_TRUE(RemoveFile(p));  // someone deletes the file under the holder
  HeldLock fresh = HeldLock::TryAcquire(p);
  ASSERT_TRUE(fresh) << "the deleted file's lock still blocks the path";
  EXPECT_TRUE(old.Release()) << "our file is no longer there";
  EXPECT_TRUE(Exists(p)) << "the old holder deleted the new holder's file";
  EXPECT_TRUE(IsLockHeld(p));
  EXPECT_FALSE(HeldLock::TryAcquire(p));
  EXPECT_TRUE(fresh.Release());
  EXPECT_FALSE(Exists(p));
}

TEST(HeldLock, RefusedOnFolderAndSymlink) {
  TempDir dir;
  ASSERT_TRUE(MakeFolder(dir / "sub"));
  EXPECT_FALSE(HeldLock::TryAcquire(dir / "sub"));
  WriteText(dir / "target", "keep");
  ASSERT_EQ(::symlink((dir / "target").c_str(), (dir / "link.Locked").c_str()), 0);
  EXPECT_FALSE(HeldLock::TryAcquire(dir / "link.Locked", true));
  EXPECT_EQ(ReadText(dir / "target"), "keep") << "truncated through a planted link";
  EXPECT_FALSE(HeldLock::TryAcquire(""));
}

TEST(HeldLock, EightProcessesNeverOverlap) {
  TempDir dir;
  const std::string tool = std::string(ZV_TEST_TOOLS_DIR) + "/lock_hammer";
  std::vector<Process> procs;
  for (int i = 0; i < 8; ++i) {
    procs.push_back(Process::Spawn(tool, {dir.path(), "1000"}));
    ASSERT_TRUE(procs.back().valid());
  }
  for (auto& p : procs) EXPECT_EQ(p.Wait(-1), 0) << "a hammer saw an overlap or failed";
  EXPECT_EQ(std::stol(ReadText(dir / "counter")), 8000);
  EXPECT_FALSE(Exists(dir / "inside"));
}

TEST(CreateExclusive, OnlyTheFirstCreateWins) {
  TempDir dir;
  EXPECT_TRUE(CreateExclusive(dir / "Locked"));
  EXPECT_FALSE(CreateExclusive(dir / "Locked"));
  EXPECT_TRUE(RemoveFile(dir / "Locked"));
  EXPECT_TRUE(CreateExclusive(dir / "Locked"));
  EXPECT_FALSE(CreateExclusive(dir / "missing/Locked"));
}

TEST(IsLockHeld, PlainOpenIsNotALockAndMissingIsFree) {
  TempDir dir;
  EXPECT_FALSE(IsLockHeld(dir / "nothing"));
  WriteText(dir / "f", "x");
  int fd = ::open((dir / "f").c_str(), O_RDWR);
  EXPECT_FALSE(IsLockHeld(dir / "f"));
  ::close(fd);
}

// ------------------------------------------------------------ protocol

class LockProtocol : public ::testing::Test {
 protected:
  FakeClock clock;
  ScopedClock scoped{clock};
  TempDir dir;
};

TEST_F(LockProtocol, AcquireSucceedsAtOnceThenPausesOnce) {
  int hooks = 0;
  HeldLock l = AcquireLockFile(dir.path() + "/", "~WriteEnvSetInfo.Locked", 600, [&] { ++hooks; });
  ASSERT_TRUE(l);
  EXPECT_EQ(l.path(), dir / "~WriteEnvSetInfo.Locked");
  EXPECT_EQ(hooks, 0);
  EXPECT_EQ(clock.sleeps(), 1);
  EXPECT_EQ(clock.totalSleptMs(), 100);
}

TEST_F(LockProtocol, GivesUpAfterMoreWholeSecondsThanTimeout) {
  HeldLock holder = HeldLock::TryAcquire(dir / "~Write.Locked");
  ASSERT_TRUE(holder);
  int hooks = 0;
  HeldLock l = AcquireLockFile(dir.path(), "~Write.Locked", 600, [&] { ++hooks; });
  EXPECT_FALSE(l);
  // Tries every 100 ms until 601 whole seconds have passed, then one last pause.
  EXPECT_EQ(clock.totalSleptMs(), 601'000 + 100);
  EXPECT_EQ(clock.sleeps() * 100, clock.totalSleptMs()) << "every pause is 100 ms";
  EXPECT_EQ(hooks, 6010);
  EXPECT_TRUE(holder.valid());
  EXPECT_TRUE(Exists(dir / "~Write.Locked")) << "the waiter must not touch the holder's file";
}

TEST_F(LockProtocol, NonPositiveTimeoutMeansSixtySeconds) {
  HeldLock holder = HeldLock::TryAcquire(dir / "L.Locked");
  ASSERT_TRUE(holder);
  EXPECT_FALSE(AcquireLockFile(dir.path(), "L.Locked", 0));
  EXPECT_EQ(clock.totalSleptMs(), 61'000 + 100);
}

TEST_F(LockProtocol, WaiterGetsLockWhenHolderLetsGo) {
  HeldLock holder = HeldLock::TryAcquire(dir / "~Write.Locked");
  int hooks = 0;
  HeldLock l = AcquireLockFile(dir.path(), "~Write.Locked", 600, [&] {
    if (++hooks == 5) holder.Release();
  });
  ASSERT_TRUE(l);
  EXPECT_EQ(hooks, 5);
  EXPECT_EQ(clock.totalSleptMs(), 6 * 100);
}

TEST_F(LockProtocol, EmptyFolderOrNameIsNoLock) {
  EXPECT_FALSE(AcquireLockFile("", "x.Locked", 1));
  EXPECT_FALSE(AcquireLockFile(dir.path(), "", 1));
  EXPECT_EQ(clock.sleeps(), 0);
  HeldLock none;
  EXPECT_EQ(ReleaseLockFile(none, dir.path(), "x.Locked"), 0);
}

TEST_F(LockProtocol, ReleaseDeletesAndReportsGone) {
  HeldLock l = AcquireLockFile(dir.path(), "~Write.Locked", 5);
  ASSERT_TRUE(l);
  EXPECT_EQ(ReleaseLockFile(l, dir.path(), "~Write.Locked"), 1);
  EXPECT_FALSE(l.valid());
  EXPECT_FALSE(Exists(dir / "~Write.Locked"));
  EXPECT_EQ(ReleaseLockFile(l, dir.path(), "~Write.Locked"), 0) << "released twice";
}

TEST_F(LockProtocol, ReleaseWithFolderGoneOrFolderInPlace) {
  const std::string sub = dir / "binder";
  ASSERT_TRUE(MakeFolder(sub));
  HeldLock a = AcquireLockFile(sub, "~Write.Locked", 5);
  ASSERT_TRUE(a);
  ASSERT_TRUE(RemoveTree(sub));
  EXPECT_EQ(ReleaseLockFile(a, sub, "~Write.Locked"), 0);
  EXPECT_FALSE(a.valid());

  HeldLock b = AcquireLockFile(dir.path(), "~Write.Locked", 5);
  ASSERT_TRUE(b);
  ASSERT_TRUE(RemoveFile(dir / "~Write.Locked"));
  ASSERT_TRUE(MakeFolder(dir / "~Write.Locked"));
  EXPECT_EQ(ReleaseLockFile(b, dir.path(), "~Write.Locked"), 0);
  EXPECT_TRUE(IsFolder(dir / "~Write.Locked"));
  EXPECT_FALSE(b.valid());
}

// ------------------------------------------------------------ exclusive-open probe

// Write leases need a file system that grants them; where it does not the
// probe works by stability, which the fallback tests cover.
bool LeasesWork(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  bool ok = ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0;
  if (ok) ::fcntl(fd, F_SETLEASE, F_UNLCK);
  ::close(fd);
  return ok;
}

TEST(ExclusiveOpenProbe, WriterInOtherProcessMeansInUse) {
  TempDir dir;
  const std::string f = dir / "scan.pdf";
  WriteText(f, "%PDF-1.4");
  if (!LeasesWork(f)) GTEST_SKIP() << "no write leases on this file system";
  ExclusiveOpenProbe probe;
  EXPECT_TRUE(probe.CanOpenExclusively(f)) << "nobody has it open";
  pid_t child = ForkHolder(HoldOpenForWriting, f);
  ASSERT_GT(child, 0);
  EXPECT_FALSE(probe.CanOpenExclusively(f));
  KillAndReap(child);
  EXPECT_TRUE(probe.CanOpenExclusively(f)) << "closed by the writer";
  EXPECT_FALSE(probe.CanOpenExclusively(dir / "missing.pdf"));
}

TEST(ExclusiveOpenProbe, LockHolderMeansInUse) {
  TempDir dir;
  const std::string f = dir / "held.pdf";
  WriteText(f, "x");
  HeldLock holder = HeldLock::TryAcquire(f);
  ASSERT_TRUE(holder);
  ExclusiveOpenProbe probe;
  EXPECT_FALSE(probe.CanOpenExclusively(f));
  FakeClock clock;
  ScopedClock scoped(clock);
  probe.ForceStabilityFallback(true);
  EXPECT_FALSE(probe.CanOpenExclusively(f));
  clock.Advance(5000);
  EXPECT_FALSE(probe.CanOpenExclusively(f)) << "stable but locked";
}

class ProbeFallback : public ::testing::Test {
 protected:
  void SetUp() override {
    probe.ForceStabilityFallback(true);
    WriteText(file, "first part");
  }
  FakeClock clock;
  ScopedClock scoped{clock};
  TempDir dir;
  std::string file = dir / "fax.tif";
  ExclusiveOpenProbe probe;
};

TEST_F(ProbeFallback, FirstSightingInUseThenFreeAfterTwoStableSeconds) {
  EXPECT_FALSE(probe.CanOpenExclusively(file));
  clock.Advance(1999);
  EXPECT_FALSE(probe.CanOpenExclusively(file));
  clock.Advance(1);
  EXPECT_TRUE(probe.CanOpenExclusively(file));
  EXPECT_TRUE(probe.CanOpenExclusively(file));
}

TEST_F(ProbeFallback, GrowingOrTouchedFileStaysInUse) {
  EXPECT_FALSE(probe.CanOpenExclusively(file));
  for (int i = 0; i < 3; ++i) {
    clock.Advance(2500);
    std::ofstream(file, std::ios::app) << " more";
    EXPECT_FALSE(probe.CanOpenExclusively(file)) << "growing file judged free, round " << i;
  }
  clock.Advance(2000);
  EXPECT_TRUE(probe.CanOpenExclusively(file));
  // A change of metadata alone (change time) also restarts the wait.
  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  EXPECT_FALSE(probe.CanOpenExclusively(file));
  clock.Advance(2000);
  EXPECT_TRUE(probe.CanOpenExclusively(file));
}

TEST_F(ProbeFallback, ForgetStartsOverAndVanishedFileIsNotFree) {
  EXPECT_FALSE(probe.CanOpenExclusively(file));
  clock.Advance(3000);
  probe.Forget(file);
  EXPECT_FALSE(probe.CanOpenExclusively(file)) << "a forgotten file is a first sighting";
  ASSERT_TRUE(RemoveFile(file));
  clock.Advance(3000);
  EXPECT_FALSE(probe.CanOpenExclusively(file));
  WriteText(file, "first part");
  EXPECT_FALSE(probe.CanOpenExclusively(file)) << "a file that came back is a new sighting";
}

TEST_F(ProbeFallback, LinkIsNeverFree) {
  // Without leases (a link is refused by them) the stable stamp of the
  // link's target must not make the link look free either.
  const std::string link = dir / "leak.pdf";
  ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);
  EXPECT_FALSE(probe.CanOpenExclusively(link));
  clock.Advance(3000);
  EXPECT_FALSE(probe.CanOpenExclusively(link));
  ExclusiveOpenProbe leases;
  EXPECT_FALSE(leases.CanOpenExclusively(link));
}

}  // namespace
}  // namespace zv::platform
