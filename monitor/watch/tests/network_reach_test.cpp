// A network share that stops answering: the setting reader, the thread start
// and the watch cycle look at every network path with a time limit before
// they touch it, skip what does not answer, and the watch thread still stops
// at once. A dead hard mount needs privileges to make, so the probe seam
// makes chosen paths hang instead.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "monitor/watch/folder_check.h"
#include "monitor/watch/startup.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "support/watch_env.h"
#include "testing/pdf.h"

namespace zv::monitor {
namespace {

namespace pf = platform;
using Clock = std::chrono::steady_clock;

constexpr int kLimitMs = 200;

long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

class DeadShare : public ::testing::Test {
 protected:
  void TearDown() override { pf::SetPathStallForTesting(nullptr); }
  // Everything below `prefix` hangs from now on.
  void Hang(const std::string& prefix) {
    pf::SetPathStallForTesting([prefix](const std::string& p) { return p.rfind(prefix, 0) == 0; }, kLimitMs);
  }
  std::string Scan(const std::string& name) const { return pf::JoinPath(inst.target(), name); }
  std::string SkipLog() const { return test::ReadTree(pf::JoinPath(inst.program(), "AutoImpInfo"), "_skip"); }
  std::size_t Pages() const { return test::BinderKeywords(inst.binder()).size(); }

  test::Installation inst;
};

TEST_F(DeadShare, SaveFolderIsNeitherCleanedNorFilledUntilItAnswers) {
  const std::string share = inst.Path("share");
  const std::string done = pf::JoinPath(share, "done");
  pf::MakeFolders(done);
  inst.SetAuto("SucceededFolder1", done);
  inst.SetAuto("SucceededTerm1", "30");
  testing::MakePdf(Scan("n.pdf"), 1);
  Hang(share);

  const auto started = Clock::now();
  test::Engine engine(inst);
  // The reader's look at the share is bounded too: one limit, not a hang.
  EXPECT_LT(MsSince(started), 20 * kLimitMs);
  ASSERT_EQ(engine.frame.settings[0].resultFoldersOnNetwork, 1) << "a share that does not answer counts as network";
  const std::string old = pf::JoinPath(done, DayText(pf::UnixSeconds() - 40 * 86400));
  pf::MakeFolders(old);

  engine.Cycle();
  EXPECT_EQ(Pages(), 0u);
  EXPECT_TRUE(pf::Exists(Scan("n.pdf")));
  EXPECT_TRUE(pf::IsFolder(old)) << "the daily clean-up must not walk a dead share";
  EXPECT_NE(SkipLog().find("61070: <1>"), std::string::npos);
  EXPECT_NE(SkipLog().find(done), std::string::npos);

  // The share answers again: clean-up and import go on.
  pf::SetPathStallForTesting(nullptr);
  engine.Cycle();
  EXPECT_EQ(Pages(), 1u);
  EXPECT_FALSE(pf::Exists(old));
  EXPECT_FALSE(pf::Exists(Scan("n.pdf")));
}

TEST_F(DeadShare, LinkFolderIsNotTouched) {
  testing::MakePdf(Scan("l.pdf"), 1);
  const std::string copy = pf::JoinPath(inst.link(), "Rslt/EnvSetInfo.ini");
  Hang(inst.link());
  test::Engine engine(inst);
  EXPECT_FALSE(pf::Exists(copy)) << "no result-area copy on a link folder that does not answer";
  engine.Cycle();
  EXPECT_EQ(Pages(), 0u);
  EXPECT_TRUE(pf::Exists(Scan("l.pdf")));
  EXPECT_NE(SkipLog().find("61150: <1>"), std::string::npos);
}

TEST_F(DeadShare, WatchThreadStopsInTime) {
  const std::string share = inst.Path("share");
  pf::MakeFolders(share);
  inst.SetAuto("FailedFolder1", share);
  inst.SetOption("WaitLocal", "0");
  inst.SetOption("WaitNetwork", "0");
  testing::MakePdf(Scan("t.pdf"), 1);
  Hang(share);

  WatchFrame frame;
  HeadlessShell shell;
  InitWatchFrame(frame, inst.program(), &shell);
  WatchThread thread;
  thread.Start(frame);
  const auto started = Clock::now();
  while (frame.cycles.load() < 3 && MsSince(started) < 20'000)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GE(frame.cycles.load(), 3) << "the cycles go on while the share hangs";
  const auto stopping = Clock::now();
  thread.Stop();
  EXPECT_LT(MsSince(stopping), 2 * kLimitMs);
  EXPECT_EQ(Pages(), 0u);
  EXPECT_TRUE(pf::Exists(Scan("t.pdf")));
}

TEST_F(DeadShare, WorkDeskRefreshSkipsAHangingHome) {
  inst.SetAuto("bWorkDesk1", "1");
  const std::string user = inst.Path("appdata/zorvan/UserSettings.ini");
  Hang(inst.Path("appdata"));
  const auto started = Clock::now();
  EXPECT_EQ(RefreshWorkDeskTargets(EnvFiles::ForFolder(inst.program()), ReadMonitorOptions(inst.settings(), "tester")),
            0);
  EXPECT_LT(MsSince(started), 4 * kLimitMs);
  pf::SetPathStallForTesting(nullptr);
  EXPECT_EQ(pf::ReadFile(user).value_or("").find("TarBinder1"), std::string::npos);
}

}  // namespace
}  // namespace zv::monitor
