// The stand-in programs as an installation runs them.
#include <gtest/gtest.h>

#include <filesystem>

#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::companion {
namespace {

using testing::TempDir;
using testing::WriteText;

const std::string kBin = std::string(ZV_TEST_BINARY_DIR) + "/companion/";

// Runs a command line of quoted words; returns its standard output.
std::string RunCommand(const std::string& command, int* exitCode = nullptr) {
  const testing::RunResult r = testing::RunProgram("/bin/sh", {"-c", command});
  if (exitCode) *exitCode = r.exitCode;
  return r.out;
}

TEST(ViewerStandIn, VersionAndHelp) {
  int code = -1;
  EXPECT_EQ(RunCommand("'" + kBin + "zorvan-viewer' --version", &code), "Zorvan Reader 4.0\n");
  EXPECT_EQ(code, 0);
  EXPECT_NE(RunCommand("'" + kBin + "zorvan-viewer' --help").find("--print-target"), std::string::npos);
  RunCommand("'" + kBin + "zorvan-viewer' 2>/dev/null", &code);
  EXPECT_EQ(code, 2);
}

TEST(ViewerStandIn, OpensTheFirstPageFileOfABinder) {
  TempDir dir;
  std::string binder = dir / "Binder1";
  std::filesystem::create_directory(binder);
  WriteText(binder + "/Binder1.ini",
            "[BinderInfo]\nTitle=t\nFilePageMode=1\n"
            "[PageInfo]\nPage1Flag=2\nPage1FilePageID=0\nPage2Flag=0\nPage2FilePageID=7\n"
            "Page3Flag=0\nPage3FilePageID=8\nMaxPageID=8\n");
  WriteText(binder + "/Binder17.pdf", "%PDF-1.4\n");
  WriteText(binder + "/Binder18.pdf", "%PDF-1.4\n");
  auto target = [&](const std::string& path) {
    return RunCommand("'" + kBin + "zorvan-viewer' --print-target '" + path + "'");
  };
  EXPECT_EQ(target(binder), binder + "/Binder17.pdf\n");
  EXPECT_EQ(target(binder + "/"), binder + "/Binder17.pdf\n");

  WriteText(binder + "/Binder1.ini", "[BinderInfo]\nFilePageMode=0\n");
  WriteText(binder + "/Binder1.pdf", "%PDF-1.4\n");
  EXPECT_EQ(target(binder), binder + "/Binder1.pdf\n");

  // A plain folder or file opens as it is.
  std::filesystem::create_directory(dir / "plain");
  EXPECT_EQ(target(dir / "plain"), dir / "plain\n");
  EXPECT_EQ(target(binder + "/Binder18.pdf"), binder + "/Binder18.pdf\n");

  int code = -1;
  RunCommand("'" + kBin + "zorvan-viewer' '" + (dir / "missing.pdf") + "' 2>/dev/null", &code);
  EXPECT_EQ(code, 1);
}

}  // namespace
}  // namespace zv::companion
