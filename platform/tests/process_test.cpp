#include "platform/process.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/fs.h"
#include "testing/files.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace zv::platform {
namespace {

using testing::ReadText;
using testing::ScopedEnv;
using testing::TempDir;

TEST(Process, ExitCodesPathSearchAndFailures) {
  EXPECT_EQ(RunAndWait("true", {}, 10'000), 0);
  EXPECT_EQ(RunAndWait("/bin/sh", {"-c", "exit 7"}, 10'000), 7);
  EXPECT_EQ(RunAndWait("no-such-program-zv", {}, 10'000), -1);
  EXPECT_EQ(RunAndWait("/nonexistent/prog", {}, 10'000), -1);
  EXPECT_EQ(RunAndWait("", {}, 10'000), -1);
  Process p = Process::Spawn("sh", {"-c", "kill -9 $$"});
  ASSERT_TRUE(p.valid());
  EXPECT_EQ(p.Wait(), 128 + 9);
  EXPECT_FALSE(p.IsRunning());
  EXPECT_EQ(p.Wait(0), 128 + 9) << "the code stays after reaping";
}

TEST(Process, ArgumentsArePassedVerbatimInTheWorkingFolder) {
  TempDir dir;
  Process p = Process::Spawn("/bin/sh", {"-c", "printf '%s|' \"$@\" > out; pwd >> out", "sh", "a b", "", "$HOME", "*"},
                             dir.path());
  ASSERT_TRUE(p.valid());
  EXPECT_EQ(p.Wait(), 0);
  char real[4096];
  ASSERT_TRUE(::realpath(dir.path().c_str(), real));
  EXPECT_EQ(ReadText(dir / "out"), std::string("a b||$HOME|*|") + real + "\n");
  EXPECT_FALSE(Process::Spawn("true", {}, dir / "missing").valid());
}

TEST(Process, ChildEnvironmentIsAppliedOnTopWithoutChangingOurs) {
  TempDir dir;
  ScopedEnv kept("ZV_PROC_KEPT", "kept"), over("ZV_PROC_OVER", "old"), gone("ZV_PROC_GONE", "here");
  Process p = Process::Spawn(
      "/bin/sh", {"-c", "echo \"$ZV_PROC_KEPT|$ZV_PROC_OVER|${ZV_PROC_GONE-unset}|$ZV_PROC_NEW\" > out; env > all"},
      dir.path(), {"ZV_PROC_OVER=new", "ZV_PROC_GONE", "ZV_PROC_NEW=a=b c"});
  ASSERT_TRUE(p.valid());
  EXPECT_EQ(p.Wait(), 0);
  EXPECT_EQ(ReadText(dir / "out"), "kept|new|unset|a=b c\n");
  EXPECT_EQ(ReadText(dir / "all").find("ZV_PROC_OVER=old"), std::string::npos) << "one entry per name";
  EXPECT_STREQ(getenv("ZV_PROC_OVER"), "old");
  EXPECT_STREQ(getenv("ZV_PROC_GONE"), "here");
  EXPECT_EQ(getenv("ZV_PROC_NEW"), nullptr);

  EXPECT_EQ(RunAndWait("/bin/sh", {"-c", "test \"$ZV_PROC_NEW\" = 1"}, 10'000, {"ZV_PROC_NEW=1"}), 0);
  EXPECT_FALSE(Process::Spawn("true", {}, {}, {"=nameless"}).valid());
}

TEST(Process, WaitTimesOutAndTerminateEscalates) {
  Process p = Process::Spawn("sleep", {"30"});
  ASSERT_TRUE(p.valid());
  EXPECT_TRUE(p.IsRunning());
  EXPECT_EQ(p.Wait(50), -1);
  EXPECT_TRUE(p.IsRunning());
  p.Terminate(2000);
  EXPECT_FALSE(p.IsRunning());
  EXPECT_EQ(p.Wait(0), 128 + 15);

  // A child that ignores SIGTERM is killed after the grace time.
  Process stubborn = Process::Spawn("sh", {"-c", "trap '' TERM; echo ready; sleep 30 & wait"});
  ASSERT_TRUE(stubborn.valid());
  SleepMs(200);
  stubborn.Terminate(200);
  EXPECT_FALSE(stubborn.IsRunning());
  EXPECT_EQ(stubborn.Wait(0), 128 + 9);
}

TEST(Process, RunAndWaitKillsOnTimeoutAndMoveKeepsTheChild) {
  EXPECT_EQ(RunAndWait("sleep", {"30"}, 100), -1);
  Process a = Process::Spawn("sh", {"-c", "exit 3"});
  Process b = std::move(a);
  EXPECT_FALSE(a.valid());
  EXPECT_EQ(b.Wait(), 3);
}

}  // namespace
}  // namespace zv::platform
