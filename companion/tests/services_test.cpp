#include "companion/services.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/clock.h"
#include "testing/files.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace zv::companion {
namespace {

using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteText;

std::string Script(const TempDir& dir, const std::string& name, const std::string& body, int mode = 0755) {
  std::string path = dir / name;
  WriteText(path, "#!/bin/sh\n" + body + "\n");
  ::chmod(path.c_str(), mode);
  return path;
}

TEST(ServicesLocations, ViewerFolderFromEnvironmentOrRegistry) {
  TempDir dir;
  {
    ScopedEnv viewer(kViewerDirVar, "/opt/viewer/");
    EXPECT_EQ(ViewerProgramFolder(), "/opt/viewer");
    EXPECT_EQ(ViewerFolderListPath(), "/opt/viewer/FolderList.ini");
    EXPECT_EQ(ViewerEnvironmentPath(), "/opt/viewer/ZorvanEnv.ini");
  }
  ScopedEnv viewer(kViewerDirVar, nullptr);
  std::string machine = dir / "machine.ini";
  WriteText(machine,
            "[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zorvan.exe]\n"
            "@=/srv/zorvan/bin/Zorvan.exe\n");
  ScopedEnv m("ZORVAN_REGISTRY_MACHINE", machine.c_str());
  ScopedEnv u("ZORVAN_REGISTRY_USER", (dir / "user.ini").c_str());
  EXPECT_EQ(ViewerProgramFolder(), "/srv/zorvan/bin");
  EXPECT_EQ(ViewerFolderListPath(), "/srv/zorvan/bin/FolderList.ini");

  WriteText(machine, "");
  EXPECT_EQ(ViewerProgramFolder(), "");
  EXPECT_EQ(ViewerFolderListPath(), "");
  EXPECT_EQ(ViewerEnvironmentPath(), "");

  ScopedEnv config("XDG_CONFIG_HOME", (dir / "cfg").c_str());
  EXPECT_EQ(UserSettingsPath(), dir / "cfg/zorvan/UserSettings.ini");
}

TEST(ServicesLocations, ReadViewerFoldersCleansFolders) {
  TempDir dir;
  ScopedEnv viewer(kViewerDirVar, dir.path().c_str());
  WriteText(dir / "FolderList.ini",
            "[Folder]\r\n"
            "LinkFolder1= /data/link1/ \r\n"
            "LinkName1=Main\r\n"
            "LinkFolder3=/data/link3\r\n"
            "LinkName3=Third\r\n"
            "FolderNum=2\r\n"
            "CurrentFolder=/data/link1/\r\n"
            "CurrentNum=1\r\n"
            "CurrentName=Main\r\n");
  ViewerFolders f = ReadViewerFolders();
  EXPECT_EQ(f.link[0], "/data/link1");
  EXPECT_EQ(f.link[1], "");
  EXPECT_EQ(f.link[2], "/data/link3");
  EXPECT_EQ(f.name[0], "Main");
  EXPECT_EQ(f.name[2], "Third");
  EXPECT_EQ(f.folderNum, 2);
  EXPECT_EQ(f.currentFolder, "/data/link1");
  EXPECT_EQ(f.currentNum, 1);
  EXPECT_EQ(f.currentName, "Main");

  std::filesystem::remove(dir / "FolderList.ini");
  ViewerFolders none = ReadViewerFolders();
  EXPECT_EQ(none.link[0], "");
  EXPECT_EQ(none.folderNum, 0);
}

TEST(CheckViewer, JudgesTheReportedVersion) {
  TempDir dir;
  EXPECT_EQ(CheckViewer(Script(dir, "new", "echo 'Zorvan Reader 4.2.1 (build 7)'")), 1);
  EXPECT_EQ(CheckViewer(Script(dir, "old", "echo 'Zorvan Reader 3.9'")), 0);
  EXPECT_EQ(CheckViewer(Script(dir, "garbage", "echo 'something else 5.0'")), -9);
  EXPECT_EQ(CheckViewer(Script(dir, "nominor", "echo 'Zorvan Reader 5'")), -9);
  // The argument really is "--version".
  EXPECT_EQ(CheckViewer(Script(dir, "args", "[ \"$1\" = --version ] && echo 'Zorvan Reader 4.0'")), 1);
  // A path with blanks and shell characters is passed as it is.
  EXPECT_EQ(CheckViewer(Script(dir, "my viewer;$x", "echo 'Zorvan Reader 4.1'")), 1);
}

TEST(CheckViewer, MissingOrUnrunnableViewerIsNoViewer) {
  TempDir dir;
  EXPECT_EQ(CheckViewer(dir / "missing"), -1);
  EXPECT_EQ(CheckViewer(""), -1);
  EXPECT_EQ(CheckViewer(dir.path()), -1);  // a folder
  std::string plain = Script(dir, "plain", "echo 'Zorvan Reader 4.0'", 0644);
  if (::geteuid() != 0) {
    EXPECT_EQ(CheckViewer(plain), -1);
  }
}

TEST(CheckViewer, TheViewerStandInPasses) {
  std::string standIn = std::string(ZV_TEST_BINARY_DIR) + "/companion/zorvan-viewer";
  ASSERT_TRUE(std::filesystem::exists(standIn)) << standIn;
  EXPECT_EQ(CheckViewer(standIn), 1);
}

TEST(Services, WaitGoesThroughTheClockAndFoldersAreCreated) {
  platform::FakeClock clock;
  {
    platform::ScopedClock scoped(clock);
    ServicesWait(250);
    ServicesWait(-5);
  }
  EXPECT_EQ(clock.totalSleptMs(), 250);

  TempDir dir;
  EXPECT_TRUE(ServicesCreateFolder(dir / "a/b/c"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/c"));
  EXPECT_TRUE(ServicesCreateFolder(dir / "a/b/c"));
  WriteText(dir / "file", "x");
  EXPECT_FALSE(ServicesCreateFolder(dir / "file/sub"));
  EXPECT_FALSE(ServicesCreateFolder(""));
}

}  // namespace
}  // namespace zv::companion
