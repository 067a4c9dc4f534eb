#include "platform/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "../src/paths_internal.h"
#include "platform/fs.h"
#include "testing/files.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace zv::platform {
namespace {

using testing::ModeOf;
using testing::ScopedEnv;
using testing::TempDir;

TEST(PathText, JoinTrimAndComponents) {
  EXPECT_EQ(JoinPath("/a/b", "c.pdf"), "/a/b/c.pdf");
  EXPECT_EQ(JoinPath("/a/b/", "c.pdf"), "/a/b/c.pdf");
  EXPECT_EQ(JoinPath("/", "etc"), "/etc");
  EXPECT_EQ(JoinPath("", "c"), "c");
  EXPECT_EQ(TrimTrailingSeparator("/a/b/"), "/a/b");
  EXPECT_EQ(TrimTrailingSeparator("/"), "/");
  EXPECT_EQ(TrimTrailingSeparator("a"), "a");
  EXPECT_EQ(LastComponent("a/b/c.pdf"), "c.pdf");
  EXPECT_EQ(LastComponent("c.pdf"), "c.pdf");
  EXPECT_EQ(LastComponent("a/b/"), "");
  EXPECT_EQ(ParentFolder("a/b/c.pdf"), "a/b");
  EXPECT_EQ(ParentFolder("/c.pdf"), "/");
  EXPECT_EQ(ParentFolder("c.pdf"), "");
  EXPECT_EQ(Extension("a/b/c.tar.gz"), "gz");
  EXPECT_EQ(Extension("a.dir/file"), "") << "a dot in a folder name is no extension";
  EXPECT_EQ(Extension("noext"), "");
  EXPECT_EQ(Extension("trailing."), "");
  EXPECT_EQ(StripExtension("c.tar.gz"), "c.tar");
  EXPECT_EQ(StripExtension("a.dir/file"), "a.dir/file");
  EXPECT_EQ(StripExtension("plain"), "plain");
  EXPECT_TRUE(IsAbsolutePath("/x"));
  EXPECT_FALSE(IsAbsolutePath("x/y"));
  EXPECT_FALSE(IsAbsolutePath(""));
}

TEST(FileSystems, LocalPathsAnswerAndAreNotNetwork) {
  TempDir dir;
  EXPECT_FALSE(IsNetworkPath(dir.path()));
  EXPECT_FALSE(IsNetworkPath(dir / "not/yet/there")) << "judged by the nearest existing folder";
  EXPECT_TRUE(PathAnswers(dir.path(), 2000));
  EXPECT_TRUE(PathAnswers(dir / "missing/child", 2000)) << "the existing ancestor answers";
  EXPECT_FALSE(PathAnswers("", 100));
  auto free = FreeSpace(dir.path());
  ASSERT_TRUE(free);
  EXPECT_GT(*free, 0u);
  EXPECT_FALSE(FreeSpace(dir / "missing"));
}

TEST(FileSystems, ProbeOfAHangingPathIsBoundedAndShared) {
  TempDir dir;
  const std::string dead = dir / "share";
  SetPathStallForTesting([dead](const std::string& p) { return p.rfind(dead, 0) == 0; }, 150);
  EXPECT_EQ(NetworkProbeLimitMs(), 150);
  EXPECT_EQ(ProbePath(dir.path(), 2000), PathReach::Local);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(ProbePath(dead, 150), PathReach::Unreachable);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(140));
  EXPECT_FALSE(PathAnswers(dead, 150));
  // The first look is still stuck: the next ones do not wait a second time.
  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ProbePath(dead, 150), PathReach::Unreachable);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(150));
  SetPathStallForTesting(nullptr);
  EXPECT_EQ(NetworkProbeLimitMs(), 3000);
  EXPECT_EQ(ProbePath(dead, 2000), PathReach::Local) << "answers again once the share is back";
  EXPECT_EQ(ProbePath("", 100), PathReach::Unreachable);
}

TEST(Places, ProgramFolderOverrideAndExecutableFolder) {
  ScopedEnv g(kProgramDirVar);
  g.Unset();
  std::string exe = ExecutableFolder();
  EXPECT_TRUE(IsAbsolutePath(exe));
  EXPECT_TRUE(IsFile(exe + "/paths_test"));
  EXPECT_EQ(ProgramFolder(), exe);
  g.Set("/opt/zv/bin//");
  EXPECT_EQ(ProgramFolder(), "/opt/zv/bin");
  EXPECT_EQ(ExecutableFolder(), exe) << "sibling programs stay beside the executable";
  g.Set("");
  EXPECT_EQ(ProgramFolder(), exe);
}

TEST(PrivateFolder, CreatedPrivateAndRefusedWhenPlantedOrForeign) {
  TempDir dir;
  const std::string mine = dir / "zorvan-me";
  ASSERT_TRUE(detail::EnsurePrivateFolder(mine));
  EXPECT_EQ(ModeOf(mine), 0700u);
  ASSERT_EQ(::chmod(mine.c_str(), 0777), 0);
  EXPECT_TRUE(detail::EnsurePrivateFolder(mine));
  EXPECT_EQ(ModeOf(mine), 0700u) << "an open own folder is narrowed";

  ASSERT_TRUE(MakeFolder(dir / "elsewhere"));
  ASSERT_EQ(::symlink((dir / "elsewhere").c_str(), (dir / "planted").c_str()), 0);
  EXPECT_FALSE(detail::EnsurePrivateFolder(dir / "planted"));
  testing::WriteText(dir / "afile", "");
  EXPECT_FALSE(detail::EnsurePrivateFolder(dir / "afile"));

  if (::geteuid() == 0) {
    ASSERT_TRUE(MakeFolder(dir / "foreign"));
    ASSERT_EQ(::chown((dir / "foreign").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(detail::EnsurePrivateFolder(dir / "foreign"));
  }
}

}  // namespace
}  // namespace zv::platform
