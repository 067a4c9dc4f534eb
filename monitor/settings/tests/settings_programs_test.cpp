#include <gtest/gtest.h>

#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "support/settings_support.h"

namespace zv::monitor {
namespace {

using testing::ReadAll;
using testing::TempFolder;
using testing::WriteAll;

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct RunResult {
  int code;
  std::string out;
};

// Runs a program of this module with `args`; environment assignments go first.
RunResult RunProgram(const TempFolder& dir, const std::string& program, const std::vector<std::string>& args,
                     const std::string& env = {}) {
  std::string cmd = env + " " + Quote(std::string(ZV_TEST_TOOLS_DIR) + "/" + program);
  for (const std::string& a : args) cmd += " " + Quote(a);
  const std::string outFile = dir / "stdout.txt";
  cmd += " > " + Quote(outFile) + " 2> " + Quote(dir / "stderr.txt");
  const int code = platform::RunAndWait("/bin/sh", {"-c", cmd}, 60'000);
  return {code, ReadAll(outFile)};
}

TEST(IniProfileProgram, ReadsWritesAndLists) {
  TempFolder dir;
  const std::string f = dir / "t.ini";
  WriteAll(f, "; note\r\n[One]\r\nA = \"quoted\"\r\nN=42x\r\n[Two]\r\nB=2\r\n");
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"get", f, "one", "a"}).out, "quoted\n");
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"get", f, "One", "Z", "dflt"}).out, "dflt\n");
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"getint", f, "One", "N", "7"}).out, "42\n");
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"getint", f, "One", "Q", "-7"}).out, "-7\n");
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"sections", f}).out, "One\nTwo\n");
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"keys", f, "one"}).out, "A\nN\n");

  EXPECT_EQ(RunProgram(dir, "iniprofile", {"set", f, "Two", "C", "three"}).code, 0);
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"delete", f, "One", "N"}).code, 0);
  EXPECT_EQ(ReadAll(f), "; note\r\n[One]\r\nA = \"quoted\"\r\n[Two]\r\nB=2\r\nC=three\r\n");
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"delete", f, "One"}).code, 0);
  EXPECT_EQ(ReadAll(f), "; note\r\n[Two]\r\nB=2\r\nC=three\r\n");
}

TEST(IniProfileProgram, UsageAndFailureCodes) {
  TempFolder dir;
  const std::string f = dir / "t.ini";
  EXPECT_EQ(RunProgram(dir, "iniprofile", {}).code, 2);
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"frobnicate", f}).code, 2);
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"set", f, "S", "K"}).code, 2);
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"getint", f, "S", "K", "x"}).code, 2);
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"--env-lock"}).code, 2);
  ASSERT_TRUE(platform::MakeFolder(dir / "folder.ini"));
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"set", dir / "folder.ini", "S", "K", "v"}).code, 1);
  EXPECT_FALSE(platform::Exists(f)) << "usage errors write nothing";
}

TEST(IniProfileProgram, EnvLockIsHeldAroundTheWrite) {
  TempFolder dir;
  const std::string f = dir / "EnvSetInfo.ini";
  EXPECT_EQ(RunProgram(dir, "iniprofile", {"--env-lock", dir.path(), "set", f, "Option", "Modified", "1"}).code, 0);
  EXPECT_EQ(ProfileRead("Option", "Modified", 0, f), 1);
  EXPECT_FALSE(platform::Exists(dir / kEnvLockName)) << "released after the write";

  // While another writer holds the lock the program waits for it (its pauses
  // shortened 600-fold: the 600 s time-out passes in about a second).
  platform::HeldLock other = platform::HeldLock::TryAcquire(dir / kEnvLockName);
  ASSERT_TRUE(other.valid());
  const RunResult r = RunProgram(dir, "iniprofile", {"--env-lock", dir.path(), "set", f, "Option", "Modified", "0"},
                                 "ZV_TEST_TIMESCALE=600");
  EXPECT_EQ(r.code, 0) << "a timed-out writer writes anyway";
  EXPECT_NE(ReadAll(dir / "stderr.txt").find("lock not taken"), std::string::npos);
  EXPECT_EQ(ProfileRead("Option", "Modified", 1, f), 0);
}

TEST(InstallationCheckProgram, InitWritesDefaultsOnceAndCheckReportsState) {
  TempFolder dir;
  const std::string prog = dir / "prog";
  RunResult r = RunProgram(dir, "hopvale-check", {"--init", prog});
  ASSERT_EQ(r.code, 0);
  const std::string settings = platform::JoinPath(prog, "EnvSetInfo.ini");
  EXPECT_EQ(ProfileRead("AutoFileRead", "SetTotal", -1, settings), 5);
  ProfileWrite("AutoFileRead", "SetName1", "\"Mine\"", settings);
  EXPECT_EQ(RunProgram(dir, "hopvale-check", {"--init", prog}).code, 0);
  EXPECT_EQ(ProfileRead("AutoFileRead", "SetName1", "", settings), "Mine") << "not overwritten";

  // A machine registry without the suite's programs: not usable, with reasons.
  const std::string registry = dir / "machine.ini";
  const std::string viewer = dir / "viewer";
  platform::MakeFolders(viewer);
  const std::string env = "ZORVAN_PROGRAM_DIR=" + Quote(prog) + " ZORVAN_REGISTRY_MACHINE=" + Quote(registry) +
                          " ZORVAN_REGISTRY_USER=" + Quote(dir / "user.ini") + " ZORVAN_VIEWER_DIR=" + Quote(viewer);
  r = RunProgram(dir, "hopvale-check", {}, env);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("Zorvan has not been installed."), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Setting 1: disabled, name \"Mine\", number 1001"), std::string::npos) << r.out;

  // Registered programs that exist: usable.
  const std::string mainExe = dir / "main.exe";
  const std::string viewerExe = dir / "viewer.exe";
  WriteAll(mainExe, "x");
  WriteAll(viewerExe, "x");
  const std::string appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  WriteAll(registry, "[" + appPaths + "ZorvanPersonalBrennic.exe]\n@=" + mainExe + "\n[" + appPaths +
                         "Zorvan.exe]\n@=" + viewerExe + "\n");
  WriteAll(platform::JoinPath(viewer, "FolderList.ini"),
           "[Folder]\nLinkFolder1=" + (dir / "link1") + "\nFolderNum=1\n");
  r = RunProgram(dir, "hopvale-check", {}, env);
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("Installation usable."), std::string::npos);
  EXPECT_NE(r.out.find("Link folder 1: " + (dir / "link1") + " (missing)"), std::string::npos) << r.out;

  ProfileWrite("AutoFileRead", "SetTotalMax", 0, settings);
  r = RunProgram(dir, "hopvale-check", {}, env);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("The maximum setting for Zorvan Folder Monitor is incorrect."), std::string::npos) << r.out;
}

}  // namespace
}  // namespace zv::monitor
