// The real Hopvale program on a private installation, sped up through the
// clock's test time scale: documents dropped into the target folder end in
// the binder and the dated Success folder, with result files and logs, and
// SIGTERM closes the monitor cleanly.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <tuple>

#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "support/watch_env.h"
#include "testing/files.h"
#include "testing/pdf.h"

namespace zv::monitor {
namespace {

namespace pf = platform;

// The monitor's environment: the installation's variables and no desktop,
// whatever the test's own session has.
std::vector<std::string> Headless(const test::Installation& inst, const std::vector<std::string>& more = {}) {
  std::vector<std::string> env = inst.Environment();
  env.insert(env.end(), {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"});
  env.insert(env.end(), more.begin(), more.end());
  return env;
}

bool WaitFor(const std::function<bool()>& done, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return done();
}

TEST(Hopvale, FilesDroppedDocumentsAndClosesOnSigterm) {
  test::Installation inst;
  const std::vector<std::string> env = Headless(inst, {"ZV_TEST_TIMESCALE=20"});
  pf::Process monitor = pf::Process::Spawn(ZV_HOPVALE_EXE, {}, {}, env);
  ASSERT_TRUE(monitor.valid());
  // Once it runs, a second copy exits at once.
  ASSERT_TRUE(
      WaitFor([&] { return test::ReadTree(inst.program(), "Hopvale_").find(",APP,Start") != std::string::npos; }, 30));
  pf::Process second = pf::Process::Spawn(ZV_HOPVALE_EXE, {}, {}, env);
  EXPECT_EQ(second.Wait(20000), 0);

  testing::MakePdf(pf::JoinPath(inst.target(), "one.pdf"), 1);
  testing::MakePdf(pf::JoinPath(inst.target(), "two.pdf"), 3);
  const std::string success = pf::JoinPath(inst.target(), "Success");
  EXPECT_TRUE(WaitFor([&] { return testing::Names(test::DatedFolder(success)).size() == 2; }, 90));
  EXPECT_TRUE(monitor.IsRunning());

  kill(monitor.pid(), SIGTERM);
  EXPECT_EQ(monitor.Wait(60000), 0);

  EXPECT_EQ(testing::Names(test::DatedFolder(success)), (std::vector<std::string>{"one.pdf", "two.pdf"}));
  EXPECT_EQ(test::BinderKeywords(inst.binder()).size(), 4u);
  pf::ini::ClearCache();
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "MonitorStatus", -1), 0);
  EXPECT_EQ(pf::ini::GetInt(inst.Path("program/~HopvaleStatus.ini"), "work", "ImportFlag", -1), 0);
  const std::string results = test::ReadTree(inst.Path("program/Rslt"), "ImpRslt_");
  EXPECT_NE(results.find("File=" + inst.target() + "/one.pdf"), std::string::npos);
  EXPECT_NE(results.find("File=" + inst.target() + "/two.pdf"), std::string::npos);
  const std::string log = test::ReadTree(inst.program(), "Hopvale_");
  EXPECT_NE(log.find(",APP,Start ---"), std::string::npos);
  EXPECT_NE(log.find(",IMP,Scans," + inst.target() + ",two.pdf,OK,"), std::string::npos);
  EXPECT_NE(log.find(",APP,End   ---"), std::string::npos);
  const std::string csv = test::ReadTree(inst.Path("program/AutoImpInfo"), "ImpResult.csv");
  EXPECT_NE(csv.find("one.pdf"), std::string::npos);
  EXPECT_NE(csv.find("two.pdf"), std::string::npos);
}

class HopvaleProgram : public ::testing::Test {
 protected:
  // The program's exit code and standard error.
  std::pair<int, std::string> RunForStderr(const std::vector<std::string>& args) const {
    const testing::RunResult r = testing::RunProgram(ZV_HOPVALE_EXE, args, Headless(inst), 60000);
    return {r.exitCode, r.err};
  }
  pf::Process Start() const { return pf::Process::Spawn(ZV_HOPVALE_EXE, {}, {}, Headless(inst)); }
  int RunHopvale(const std::vector<std::string>& args) const {
    return pf::RunAndWait(ZV_HOPVALE_EXE, args, 30000, Headless(inst));
  }
  std::string Trace() const { return test::ReadTree(inst.Path("trace"), ""); }
  int Status() const {
    pf::ini::ClearCache();
    return pf::ini::GetInt(inst.settings(), "Option", "MonitorStatus", -1);
  }

  test::Installation inst;
};

TEST_F(HopvaleProgram, StartUpRefusalsGoToStandardError) {
  const std::string suite = inst.Path("viewer/zorvan-suite");
  pf::RenamePath(suite, suite + ".away", false);
  auto [code, err] = RunForStderr({});
  EXPECT_EQ(code, 1);
  EXPECT_NE(err.find("Zorvan has not been installed.\nInstall Zorvan."), std::string::npos) << err;
  pf::RenamePath(suite + ".away", suite, false);

  pf::ini::DeleteKey(inst.settings(), "AutoFileRead", "SetTotal");
  std::tie(code, err) = RunForStderr({});
  EXPECT_EQ(code, 1);
  EXPECT_NE(err.find("Unable to read the Zorvan Folder Monitor settings."), std::string::npos) << err;

  inst.SetAuto("SetTotal", "1");
  inst.SetAuto("SetTotalMax", "0");
  std::tie(code, err) = RunForStderr({});
  EXPECT_EQ(code, 1);
  EXPECT_NE(err.find("The maximum setting for Zorvan Folder Monitor is incorrect."), std::string::npos) << err;
  // A refused start leaves no lock and no log behind.
  EXPECT_EQ(test::ReadTree(inst.program(), "Hopvale_").find(",APP,Start"), std::string::npos);
}

TEST_F(HopvaleProgram, HeadlessAnswersLaterCopiesAndComesBackOnline) {
  inst.SetOption("MonitorStatus", "1");  // stopped by the user: nothing is imported
  pf::Process monitor = Start();
  ASSERT_TRUE(monitor.valid());
  ASSERT_TRUE(WaitFor([&] { return Trace().find("Start AutoImp Monitor") != std::string::npos; }, 30));
  EXPECT_NE(Trace().find("Shell: status 1 Offline"), std::string::npos);

  EXPECT_EQ(RunHopvale({"-p"}), 0);
  EXPECT_TRUE(WaitFor([&] { return Trace().find("settings request: no desktop") != std::string::npos; }, 10));
  EXPECT_EQ(RunHopvale({}), 0);
  EXPECT_TRUE(WaitFor([&] { return Trace().find("another instance was started") != std::string::npos; }, 10));

  // A later copy with a file copies it beside the waiting one and exits.
  const std::string waiting = pf::JoinPath(inst.target(), "doc.pdf");
  ASSERT_TRUE(pf::WriteFileAtomic(waiting, "waiting"));
  ASSERT_TRUE(pf::WriteFileAtomic(inst.Path("tmp/doc.pdf"), "dropped"));
  EXPECT_EQ(RunHopvale({inst.Path("tmp/doc.pdf")}), 0);
  EXPECT_EQ(pf::ReadFile(waiting).value_or(""), "waiting");
  EXPECT_EQ(pf::ReadFile(pf::JoinPath(inst.target(), "doc_002.pdf")).value_or(""), "dropped");
  EXPECT_TRUE(monitor.IsRunning());

  kill(monitor.pid(), SIGTERM);
  EXPECT_EQ(monitor.Wait(60000), 0);
  EXPECT_EQ(Status(), 0) << "stopped, closed: the next start is online";
  EXPECT_NE(Trace().find("Hopvale Close."), std::string::npos);
  EXPECT_NE(test::ReadTree(inst.program(), "Hopvale_").find(",APP,End   ---"), std::string::npos);
}

TEST_F(HopvaleProgram, StartAfterACrashDuringAnImportIsOnline) {
  inst.SetOption("MonitorStatus", "2");
  pf::ini::WriteString(inst.Path("program/~HopvaleStatus.ini"), "work", "ImportFlag", "1");
  pf::Process monitor = Start();
  ASSERT_TRUE(monitor.valid());
  ASSERT_TRUE(WaitFor([&] { return Trace().find("Start AutoImp Monitor") != std::string::npos; }, 30));
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(pf::ini::GetInt(inst.Path("program/~HopvaleStatus.ini"), "work", "ImportFlag", -1), 0);
  EXPECT_NE(Trace().find("Shell: status 0 Online"), std::string::npos);
  kill(monitor.pid(), SIGINT);
  EXPECT_EQ(monitor.Wait(60000), 0);
}

TEST_F(HopvaleProgram, FirstCycleAfterStartFilesAndNamesThisComputer) {
  // Each cycle ends with a ten-minute pause: a first cycle that imports
  // nothing shows as a ten-minute wait for a document already waiting.
  inst.SetOption("WaitLocal", "600000");
  inst.SetOption("FaxMonitorSet", "0");
  pf::ini::WriteString(inst.settings(), "Product", "HostName", "");  // an installation without an owner
  testing::MakePdf(pf::JoinPath(inst.target(), "first.pdf"), 1);
  const auto started = std::chrono::steady_clock::now();
  pf::Process monitor = Start();
  ASSERT_TRUE(monitor.valid());
  const std::string success = pf::JoinPath(inst.target(), "Success");
  EXPECT_TRUE(WaitFor([&] { return testing::Names(test::DatedFolder(success)).size() == 1; }, 30));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("[ first    ] first document filed %.1f s after the start\n", seconds);
  kill(monitor.pid(), SIGTERM);
  EXPECT_EQ(monitor.Wait(60000), 0);

  pf::ini::ClearCache();
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "FaxModified", -1), 0);
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "FaxMonitorSet", -1), 0) << "never written by the monitor";
  const std::string self(pf::Trim(pf::ComputerName()));
  EXPECT_EQ(pf::ini::GetString(inst.settings(), "Product", "HostName", ""), self);
  const std::string copy = pf::JoinPath(inst.link(), "Rslt/EnvSetInfo.ini");
  EXPECT_EQ(pf::ini::GetString(copy, "Product", "HostName", ""), self);
  EXPECT_NE(test::ReadTree(inst.Path("program/Rslt"), "ImpRslt_").find("HostName=" + self), std::string::npos);
}

}  // namespace
}  // namespace zv::monitor
