// "Hopvale -p" while Hopvale runs on a desktop: the running copy opens its
// settings dialog (PropertyFlag 1 while it is open) and the second copy exits;
// ending the session with the dialog open leaves PropertyFlag 0. Two real
// Hopvale processes on a virtual display of their own; nothing is imported
// while the dialog is open.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "support/watch_env.h"
#include "testing/files.h"
#include "testing/pdf.h"

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

int PropertyFlag(const test::Installation& inst) {
  pf::ini::ClearCache();
  return pf::ini::GetInt(inst.Path("program/~HopvaleStatus.ini"), "work", "PropertyFlag", -1);
}

TEST(Hopvale, SecondStartWithPOpensTheSettingsInTheRunningCopy) {
  const std::string xvfb = "/usr/bin/Xvfb";
  if (!pf::IsFile(xvfb)) GTEST_SKIP() << "no virtual display server";
  // A display number nobody uses.
  int n = 200 + static_cast<int>(getpid() % 500);
  while (pf::Exists("/tmp/.X" + std::to_string(n) + "-lock")) ++n;
  const std::string display = ":" + std::to_string(n);
  pf::Process server = pf::Process::Spawn(xvfb, {display, "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
  ASSERT_TRUE(server.valid());
  struct Stop {
    pf::Process& p;
    ~Stop() {
      kill(p.pid(), SIGTERM);
      p.Wait(10000);
    }
  } stopServer{server};
  ASSERT_TRUE(WaitFor([&] { return pf::Exists("/tmp/.X11-unix/X" + std::to_string(n)); }, 20));

  test::Installation inst;
  std::vector<std::string> env = inst.Environment();
  env.insert(env.end(), {"DISPLAY=" + display, "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=xcb", "ZV_TEST_TIMESCALE=20"});
  pf::Process first = pf::Process::Spawn(ZV_HOPVALE_EXE, {}, {}, env);
  ASSERT_TRUE(first.valid());
  ASSERT_TRUE(
      WaitFor([&] { return test::ReadTree(inst.program(), "Hopvale_").find(",APP,Start") != std::string::npos; }, 30));
  EXPECT_EQ(PropertyFlag(inst), 0);

  pf::Process second = pf::Process::Spawn(ZV_HOPVALE_EXE, {"-p"}, {}, env);
  EXPECT_EQ(second.Wait(20000), 0);
  EXPECT_TRUE(WaitFor([&] { return PropertyFlag(inst) == 1; }, 20));  // the dialog is open
  EXPECT_TRUE(first.IsRunning());

  // Nothing is imported while the dialog is open (3 s here are a minute of
  // the monitor's time).
  const std::string scan = pf::JoinPath(inst.target(), "one.pdf");
  testing::MakePdf(scan, 1);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_TRUE(pf::IsFile(scan));
  EXPECT_FALSE(pf::Exists(pf::JoinPath(inst.target(), "Success")));

  kill(first.pid(), SIGTERM);  // the session ends with the dialog open
  EXPECT_EQ(first.Wait(60000), 0);
  EXPECT_EQ(PropertyFlag(inst), 0);
}

}  // namespace
}  // namespace zv::monitor
