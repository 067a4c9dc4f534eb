#include <gtest/gtest.h>

#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::monitor {
namespace {

using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

// Runs a program of this module with `args` and `env` on top of this
// process's environment.
testing::RunResult RunTool(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& env = {}) {
  return testing::RunProgram(std::string(ZV_TEST_TOOLS_DIR) + "/" + program, args, env, 60'000);
}

TEST(IniProfileProgram, ReadsWritesAndLists) {
  TempDir dir;
  const std::string f = dir / "t.ini";
  WriteText(f, "; note\r\n[One]\r\nA = \"quoted\"\r\nN=42x\r\n[Two]\r\nB=2\r\n");
  EXPECT_EQ(RunTool("iniprofile", {"get", f, "one", "a"}).out, "quoted\n");
  EXPECT_EQ(RunTool("iniprofile", {"get", f, "One", "Z", "dflt"}).out, "dflt\n");
  EXPECT_EQ(RunTool("iniprofile", {"getint", f, "One", "N", "7"}).out, "42\n");
  EXPECT_EQ(RunTool("iniprofile", {"getint", f, "One", "Q", "-7"}).out, "-7\n");
  EXPECT_EQ(RunTool("iniprofile", {"sections", f}).out, "One\nTwo\n");
  EXPECT_EQ(RunTool("iniprofile", {"keys", f, "one"}).out, "A\nN\n");

  EXPECT_EQ(RunTool("iniprofile", {"set", f, "Two", "C", "three"}).exitCode, 0);
  EXPECT_EQ(RunTool("iniprofile", {"delete", f, "One", "N"}).exitCode, 0);
  EXPECT_EQ(ReadText(f), "; note\r\n[One]\r\nA = \"quoted\"\r\n[Two]\r\nB=2\r\nC=three\r\n");
  EXPECT_EQ(RunTool("iniprofile", {"delete", f, "One"}).exitCode, 0);
  EXPECT_EQ(ReadText(f), "; note\r\n[Two]\r\nB=2\r\nC=three\r\n");
}

TEST(IniProfileProgram, UsageAndFailureCodes) {
  TempDir dir;
  const std::string f = dir / "t.ini";
  EXPECT_EQ(RunTool("iniprofile", {}).exitCode, 2);
  EXPECT_EQ(RunTool("iniprofile", {"frobnicate", f}).exitCode, 2);
  EXPECT_EQ(RunTool("iniprofile", {"set", f, "S", "K"}).exitCode, 2);
  EXPECT_EQ(RunTool("iniprofile", {"getint", f, "S", "K", "x"}).exitCode, 2);
  EXPECT_EQ(RunTool("iniprofile", {"--env-lock"}).exitCode, 2);
  ASSERT_TRUE(platform::MakeFolder(dir / "folder.ini"));
  EXPECT_EQ(RunTool("iniprofile", {"set", dir / "folder.ini", "S", "K", "v"}).exitCode, 1);
  EXPECT_FALSE(platform::Exists(f)) << "usage errors write nothing";
}

TEST(IniProfileProgram, EnvLockIsHeldAroundTheWrite) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  EXPECT_EQ(RunTool("iniprofile", {"--env-lock", dir.path(), "set", f, "Option", "Modified", "1"}).exitCode, 0);
  EXPECT_EQ(ProfileRead("Option", "Modified", 0, f), 1);
  EXPECT_FALSE(platform::Exists(dir / kEnvLockName)) << "released after the write";

  // While another writer holds the lock the program waits for it (its pauses
  // shortened 600-fold: the 600 s time-out passes in about a second).
  platform::HeldLock other = platform::HeldLock::TryAcquire(dir / kEnvLockName);
  ASSERT_TRUE(other.valid());
  const testing::RunResult r =
      RunTool("iniprofile", {"--env-lock", dir.path(), "set", f, "Option", "Modified", "0"}, {"ZV_TEST_TIMESCALE=600"});
  EXPECT_EQ(r.exitCode, 0) << "a timed-out writer writes anyway";
  EXPECT_NE(r.err.find("lock not taken"), std::string::npos);
  EXPECT_EQ(ProfileRead("Option", "Modified", 1, f), 0);
}

TEST(InstallationCheckProgram, InitWritesDefaultsOnceAndCheckReportsState) {
  TempDir dir;
  const std::string prog = dir / "prog";
  testing::RunResult r = RunTool("hopvale-check", {"--init", prog});
  ASSERT_EQ(r.exitCode, 0);
  const std::string settings = platform::JoinPath(prog, "EnvSetInfo.ini");
  EXPECT_EQ(ProfileRead("AutoFileRead", "SetTotal", -1, settings), 5);
  ProfileWrite("AutoFileRead", "SetName1", "\"Mine\"", settings);
  EXPECT_EQ(RunTool("hopvale-check", {"--init", prog}).exitCode, 0);
  EXPECT_EQ(ProfileRead("AutoFileRead", "SetName1", "", settings), "Mine") << "not overwritten";

  // A machine registry without the suite's programs: not usable, with reasons.
  const std::string registry = dir / "machine.ini";
  const std::string viewer = dir / "viewer";
  platform::MakeFolders(viewer);
  const std::vector<std::string> env = {"ZORVAN_PROGRAM_DIR=" + prog, "ZORVAN_REGISTRY_MACHINE=" + registry,
                                        "ZORVAN_REGISTRY_USER=" + (dir / "user.ini"), "ZORVAN_VIEWER_DIR=" + viewer};
  r = RunTool("hopvale-check", {}, env);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("Zorvan has not been installed."), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Setting 1: disabled, name \"Mine\", number 1001"), std::string::npos) << r.out;

  // Registered programs that exist: usable.
  const std::string mainExe = dir / "main.exe";
  const std::string viewerExe = dir / "viewer.exe";
  WriteText(mainExe, "x");
  WriteText(viewerExe, "x");
  const std::string appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  WriteText(registry, "[" + appPaths + "ZorvanPersonalBrennic.exe]\n@=" + mainExe + "\n[" + appPaths +
                          "Zorvan.exe]\n@=" + viewerExe + "\n");
  WriteText(platform::JoinPath(viewer, "FolderList.ini"),
            "[Folder]\nLinkFolder1=" + (dir / "link1") + "\nFolderNum=1\n");
  r = RunTool("hopvale-check", {}, env);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("Installation usable."), std::string::npos);
  EXPECT_NE(r.out.find("Link folder 1: " + (dir / "link1") + " (missing)"), std::string::npos) << r.out;

  ProfileWrite("AutoFileRead", "SetTotalMax", 0, settings);
  r = RunTool("hopvale-check", {}, env);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("The maximum setting for Zorvan Folder Monitor is incorrect."), std::string::npos) << r.out;
}

}  // namespace
}  // namespace zv::monitor
