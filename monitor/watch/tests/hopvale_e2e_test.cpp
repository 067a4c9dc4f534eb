// The real Hopvale program on a private installation, sped up through the
// clock's test time scale: documents dropped into the target folder end in
// the binder and the dated Success folder, with result files and logs, and
// SIGTERM closes the monitor cleanly.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "support/watch_env.h"

namespace zv::monitor {
namespace {

namespace pf = platform;

bool WaitFor(const std::function<bool()>& done, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return done();
}

TEST(Hopvale, FilesDroppedDocumentsAndClosesOnSigterm) {
  test::Installation inst;
  setenv("ZV_TEST_TIMESCALE", "20", 1);
  unsetenv("XDG_RUNTIME_DIR");
  pf::Process monitor = pf::Process::Spawn(ZV_HOPVALE_EXE, {});
  ASSERT_TRUE(monitor.valid());
  // Once it runs, a second copy exits at once.
  ASSERT_TRUE(WaitFor([&] { return test::ReadAll(inst.program(), "Hopvale_").find(",APP,Start") != std::string::npos; }, 30));
  pf::Process second = pf::Process::Spawn(ZV_HOPVALE_EXE, {});
  EXPECT_EQ(second.Wait(20000), 0);

  test::MakePdf(pf::JoinPath(inst.target(), "one.pdf"), 1);
  test::MakePdf(pf::JoinPath(inst.target(), "two.pdf"), 3);
  const std::string success = pf::JoinPath(inst.target(), "Success");
  EXPECT_TRUE(WaitFor([&] { return test::Names(test::DatedFolder(success)).size() == 2; }, 90));
  EXPECT_TRUE(monitor.IsRunning());

  kill(monitor.pid(), SIGTERM);
  EXPECT_EQ(monitor.Wait(60000), 0);
  unsetenv("ZV_TEST_TIMESCALE");

  EXPECT_EQ(test::Names(test::DatedFolder(success)), (std::vector<std::string>{"one.pdf", "two.pdf"}));
  EXPECT_EQ(test::BinderKeywords(inst.binder()).size(), 4u);
  pf::ini::ClearCache();
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "MonitorStatus", -1), 0);
  EXPECT_EQ(pf::ini::GetInt(inst.Path("program/~HopvaleStatus.ini"), "work", "ImportFlag", -1), 0);
  const std::string results = test::ReadAll(inst.Path("program/Rslt"), "ImpRslt_");
  EXPECT_NE(results.find("File=" + inst.target() + "/one.pdf"), std::string::npos);
  EXPECT_NE(results.find("File=" + inst.target() + "/two.pdf"), std::string::npos);
  const std::string log = test::ReadAll(inst.program(), "Hopvale_");
  EXPECT_NE(log.find(",APP,Start ---"), std::string::npos);
  EXPECT_NE(log.find(",IMP,Scans," + inst.target() + ",two.pdf,OK,"), std::string::npos);
  EXPECT_NE(log.find(",APP,End   ---"), std::string::npos);
  const std::string csv = test::ReadAll(inst.Path("program/AutoImpInfo"), "ImpResult.csv");
  EXPECT_NE(csv.find("one.pdf"), std::string::npos);
  EXPECT_NE(csv.find("two.pdf"), std::string::npos);
}

}  // namespace
}  // namespace zv::monitor
