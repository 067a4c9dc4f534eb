// Start-up pieces of the monitor without a window: the installation checks,
// the command line, the copy of files handed over on it, the work-desk refresh.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "companion/common.h"
#include "companion/services.h"
#include "monitor/settings/profile.h"
#include "monitor/watch/startup.h"
#include "monitor/watch/workdesk.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "support/watch_env.h"

#if defined(__SANITIZE_ADDRESS__)
// This program loads the work-desk stand-in by name; the toolchain's leak
// checker misreads such a library's dynamic thread-local block and crashes at
// exit. Nothing here leaks through thread-local data, so leave it unscanned.
extern "C" const char* __lsan_default_options() { return "use_tls=0"; }
#endif

namespace zv::monitor {
namespace {

namespace pf = platform;

struct Box {
  std::string text, caption;
  int style = 0;
};

class BoxCatcher {
 public:
  BoxCatcher() {
    companion::SetMessageBoxHook([this](const std::string& t, const std::string& c, int s) {
      boxes.push_back({t, c, s});
      return companion::kIdOk;
    });
  }
  ~BoxCatcher() { companion::SetMessageBoxHook(nullptr); }
  std::vector<Box> boxes;
};

EnvFiles Env(const test::Installation& inst) { return EnvFiles::ForFolder(inst.program()); }

MonitorOptions Options(const test::Installation& inst) {
  pf::ini::ClearCache();
  return ReadMonitorOptions(inst.settings(), "tester");
}

TEST(CommandLine, OptionsAndFiles) {
  CommandLine cl = ParseCommandLine({});
  EXPECT_FALSE(cl.waitFirst || cl.settingsRequest || !cl.files.empty());
  cl = ParseCommandLine({"-P"});
  EXPECT_TRUE(cl.settingsRequest);
  EXPECT_FALSE(cl.waitFirst);
  cl = ParseCommandLine({"-p", "a.pdf", "b.pdf"});
  EXPECT_FALSE(cl.settingsRequest) << "-p with files does not open the settings";
  EXPECT_EQ(cl.files, (std::vector<std::string>{"a.pdf", "b.pdf"}));
  cl = ParseCommandLine({"-Ps"});
  EXPECT_TRUE(cl.waitFirst && cl.settingsRequest);
  cl = ParseCommandLine({"-s", "a.pdf"});
  EXPECT_TRUE(cl.waitFirst);
  EXPECT_TRUE(cl.files.empty()) << "-s ignores further arguments";
  cl = ParseCommandLine({"a.pdf", "-p"});
  EXPECT_EQ(cl.files, (std::vector<std::string>{"a.pdf", "-p"}));
}

TEST(CopyDroppedFile, NeverReplacesAWaitingDocument) {
  test::Installation inst;
  BoxCatcher catcher;
  const std::string source = inst.Path("tmp/a.pdf");
  ASSERT_TRUE(pf::WriteFileAtomic(source, "new one"));
  const std::string waiting = pf::JoinPath(inst.target(), "a.pdf");
  ASSERT_TRUE(pf::WriteFileAtomic(waiting, "waiting"));

  std::string copied;
  EXPECT_EQ(CopyDroppedFile(Env(inst), Options(inst), source, &copied), DropResult::Copied);
  EXPECT_EQ(copied, pf::JoinPath(inst.target(), "a_002.pdf"));
  EXPECT_EQ(pf::ReadFile(waiting).value_or(""), "waiting");
  EXPECT_EQ(pf::ReadFile(copied).value_or(""), "new one");
  EXPECT_EQ(CopyDroppedFile(Env(inst), Options(inst), source, &copied), DropResult::Copied);
  EXPECT_EQ(copied, pf::JoinPath(inst.target(), "a_003.pdf"));
  // A free name is taken as it is.
  const std::string other = inst.Path("tmp/b");
  ASSERT_TRUE(pf::WriteFileAtomic(other, "b"));
  EXPECT_EQ(CopyDroppedFile(Env(inst), Options(inst), other, &copied), DropResult::Copied);
  EXPECT_EQ(copied, pf::JoinPath(inst.target(), "b"));
  EXPECT_TRUE(catcher.boxes.empty());
  // A missing source is ignored silently.
  EXPECT_EQ(CopyDroppedFile(Env(inst), Options(inst), inst.Path("tmp/none.pdf")), DropResult::SourceMissing);
  EXPECT_TRUE(catcher.boxes.empty());
}

TEST(CopyDroppedFile, DropSettingAndItsMessages) {
  test::Installation inst;
  BoxCatcher catcher;
  inst.SetAuto("SetTotal", "2");
  inst.SetAuto("TarFolder2", inst.Path("second"));
  pf::MakeFolders(inst.Path("second"));
  const std::string source = inst.Path("tmp/a.pdf");
  ASSERT_TRUE(pf::WriteFileAtomic(source, "x"));
  pf::ini::WriteString(inst.settings(), "Product", "ProductName", "Monitor X");

  inst.SetAuto("DropFolder", "1");
  EXPECT_EQ(CopyDroppedFile(Env(inst), Options(inst), source), DropResult::Copied);
  EXPECT_TRUE(pf::IsFile(inst.Path("second/a.pdf")));
  inst.SetAuto("DropFolder", "2");  // not below SetTotal: the first setting
  EXPECT_EQ(CopyDroppedFile(Env(inst), Options(inst), source), DropResult::Copied);
  EXPECT_TRUE(pf::IsFile(pf::JoinPath(inst.target(), "a.pdf")));
  ASSERT_TRUE(catcher.boxes.empty());

  pf::RemoveTree(inst.Path("second"));
  inst.SetAuto("DropFolder", "1");
  EXPECT_EQ(CopyDroppedFile(Env(inst), Options(inst), source), DropResult::TargetMissing);
  inst.SetAuto("TarFolder2", "");
  EXPECT_EQ(CopyDroppedFile(Env(inst), Options(inst), source), DropResult::NoTargetFolder);
  ASSERT_EQ(catcher.boxes.size(), 2u);
  EXPECT_EQ(catcher.boxes[0].text,
            "Monitored folder does not exist. \nReview and correct Zorvan folder monitor settings.");
  EXPECT_EQ(catcher.boxes[1].text.rfind("The monitored folder for \"Tossmark\" is not specified.", 0), 0u);
  for (const Box& b : catcher.boxes) {
    EXPECT_EQ(b.caption, "Monitor X");
    EXPECT_EQ(b.style, companion::kMbOk | companion::kMbIconStop);
  }
}

TEST(CopyDroppedFile, FailedCopyIsReported) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  test::Installation inst;
  BoxCatcher catcher;
  const std::string source = inst.Path("tmp/a.pdf");
  ASSERT_TRUE(pf::WriteFileAtomic(source, "x"));
  ASSERT_EQ(chmod(inst.target().c_str(), 0555), 0);
  EXPECT_EQ(CopyDroppedFile(Env(inst), Options(inst), source), DropResult::Failed);
  chmod(inst.target().c_str(), 0755);
  ASSERT_EQ(catcher.boxes.size(), 1u);
  EXPECT_EQ(catcher.boxes[0].text, "Tossmark is failed.");
}

TEST(WorkDeskTargets, OnlyWorkDeskSettingsFollowTheFolder) {
  test::Installation inst;
  inst.SetAuto("SetTotal", "3");
  inst.SetAuto("bWorkDesk2", "1");
  inst.SetAuto("bWorkDesk3", "1");
  inst.SetAuto("SetTotalMax", "2");  // setting 3 is beyond the capacity
  const std::string user = companion::UserSettingsPath();
  ASSERT_EQ(user, inst.Path("appdata/zorvan/UserSettings.ini"));
  pf::ini::WriteString(user, "AutoFileRead", "TarBinder2", "/old");

  // No work-desk folder: nothing is blanked.
  EXPECT_EQ(WriteWorkDeskTargets(Env(inst), Options(inst), "", user), 0);
  EXPECT_EQ(ProfileRead("AutoFileRead", "TarBinder2", "", user), "/old");

  EXPECT_EQ(RefreshWorkDeskTargets(Env(inst), Options(inst)), 1);
  pf::ini::ClearCache();
  EXPECT_EQ(ProfileRead("AutoFileRead", "TarBinder2", "", user), inst.Path("viewer/WorkDesk"));
  EXPECT_EQ(ProfileRead("AutoFileRead", "TarBinder1", "none", user), "none");
  EXPECT_EQ(ProfileRead("AutoFileRead", "TarBinder3", "none", user), "none");
}

TEST(WorkDeskTargets, ReaderTakesTheRefreshedFolder) {
  test::Installation inst;
  inst.SetAuto("SetTotal", "2");
  inst.SetAuto("bWorkDesk2", "1");
  inst.SetAuto("TarBinder2", "/desk/of/yesterday");
  ASSERT_EQ(RefreshWorkDeskTargets(Env(inst), Options(inst)), 1);
  pf::ini::ClearCache();
  const MonitorOptions options = Options(inst);
  SettingContext context = DefaultSettingContext(GetWorkDeskFolder());
  context.detectNetwork = false;
  AutoFileSetting desk, plain;
  ASSERT_TRUE(ReadAutoFileSetting(inst.settings(), 2, options, context, desk));
  EXPECT_EQ(desk.targetBinder, inst.Path("viewer/WorkDesk"));
  EXPECT_EQ(desk.workDesk, 1) << "the setting still goes to the work desk";
  EXPECT_TRUE(desk.linkFolder.empty());
  // A setting that is no work-desk setting keeps its own binder.
  ASSERT_TRUE(ReadAutoFileSetting(inst.settings(), 1, options, context, plain));
  EXPECT_EQ(plain.targetBinder, inst.binder());
}

TEST(SuiteInstallation, RegistrationsAndViewerVersion) {
  test::Installation inst;
  EXPECT_EQ(CheckSuiteInstallation(), 0);
  const std::string registry = inst.Path("registry-machine.ini");
  const std::string appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  const std::string viewer = inst.Path("viewer/zorvan-viewer");

  ASSERT_TRUE(pf::WriteFileAtomic(viewer, "#!/bin/sh\necho 'Zorvan Reader 3.2'\n"));
  ASSERT_EQ(chmod(viewer.c_str(), 0755), 0);
  EXPECT_EQ(CheckSuiteInstallation(), 63243) << "an old viewer cannot be used";
  ASSERT_TRUE(pf::WriteFileAtomic(viewer, "#!/bin/sh\necho 'something else'\n"));
  ASSERT_EQ(chmod(viewer.c_str(), 0755), 0);
  EXPECT_EQ(CheckSuiteInstallation(), 57683);

  pf::ini::WriteString(registry, appPaths + "Zorvan.exe", "@", inst.Path("viewer/gone"));
  EXPECT_EQ(CheckSuiteInstallation(), 57683);
  pf::RemoveFile(inst.Path("viewer/zorvan-suite"));
  EXPECT_EQ(CheckSuiteInstallation(), 20097) << "the suite is checked first";
}

}  // namespace
}  // namespace zv::monitor
