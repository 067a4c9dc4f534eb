#include "companion/common.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>

#include "companion/trace.h"
#include "testing/files.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace zv::companion {
namespace {

using testing::ReadText;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteText;

TEST(MessageBox, DefaultButtonFollowsTypeAndDefaultFlag) {
  EXPECT_EQ(DefaultButton(kMbOk), kIdOk);
  EXPECT_EQ(DefaultButton(kMbIconWarning), kIdOk);  // 48
  EXPECT_EQ(DefaultButton(35), kIdYes);             // Yes/No/Cancel, question
  EXPECT_EQ(DefaultButton(292), kIdNo);             // Yes/No, question, second button
  EXPECT_EQ(DefaultButton(kMbOkCancel | kMbDefButton2), kIdCancel);
  EXPECT_EQ(DefaultButton(kMbYesNoCancel | 0x200), kIdCancel);  // third button
  EXPECT_EQ(DefaultButton(kMbOk | kMbDefButton2), kIdOk);       // no second button: the first
  EXPECT_EQ(DefaultButton(kMbYesNo | kMbTopMost | kMbIconStop), kIdYes);
}

TEST(MessageBox, WithoutHookTracesAndAnswersTheDefault) {
  TempDir dir;
  SetProcessTraceSettings({dir / "trace", 1, 7});
  SetMessageBoxHook(nullptr);
  EXPECT_EQ(ComShowMessageBox("Delete the settings?", "Caption", 292), kIdNo);
  EXPECT_EQ(ComShowMessage("Unable to save the settings.", kMbIconWarning), kIdOk);
  std::string traced;
  for (auto& e : std::filesystem::directory_iterator(dir / "trace")) traced += ReadText(e.path());
  EXPECT_NE(traced.find("[Caption] Delete the settings?"), std::string::npos) << traced;
  EXPECT_NE(traced.find("Unable to save the settings."), std::string::npos) << traced;
  SetProcessTraceSettings({});
}

TEST(MessageBox, HookGetsTextCaptionStyleAndDecides) {
  std::string seenText, seenCaption;
  int seenStyle = -1;
  SetMessageBoxHook([&](const std::string& text, const std::string& caption, int style) {
    seenText = text;
    seenCaption = caption;
    seenStyle = style;
    return kIdCancel;
  });
  SetApplicationCaption("Zorvan Folder Monitor Software");
  EXPECT_EQ(ComShowMessage("text", 35), kIdCancel);
  EXPECT_EQ(seenText, "text");
  EXPECT_EQ(seenCaption, "Zorvan Folder Monitor Software");
  EXPECT_EQ(seenStyle, 35);
  SetMessageBoxHook(nullptr);
  SetApplicationCaption("");
}

TEST(PathOps, ComponentsExtensionsAndParents) {
  struct Case {
    const char *path, *last, *ext, *parent, *trimmed;
  };
  for (Case c :
       {Case{"/a/b/c.tar.gz", "c.tar.gz", "gz", "/a/b", "/a/b/c.tar.gz"}, Case{"/a/b/", "b", "", "/a", "/a/b"},
        Case{"/a.d/file", "file", "", "/a.d", "/a.d/file"},  // a dot in a folder
        Case{"/a/.hidden", ".hidden", "", "/a", "/a/.hidden"}, Case{"Scan.PDF", "Scan.PDF", "PDF", "", "Scan.PDF"},
        Case{"scan.", "scan.", "", "", "scan."}, Case{"/top", "top", "", "/", "/top"}, Case{"/a//", "a", "", "/", "/a"},
        Case{"/", "", "", "", "/"}, Case{"", "", "", "", ""}}) {
    EXPECT_EQ(ComLastComponent(c.path), c.last) << c.path;
    EXPECT_EQ(ComFileExtension(c.path), c.ext) << c.path;
    std::string p = c.path;
    ComParentFolder(p);
    EXPECT_EQ(p, c.parent) << c.path;
    p = c.path;
    ComTrimBackslash(p);
    EXPECT_EQ(p, c.trimmed) << c.path;
  }
  EXPECT_EQ(ComStripExtension("c.tar.gz"), "c.tar");
  EXPECT_EQ(ComStripExtension(".hidden"), ".hidden");
  EXPECT_EQ(ComStripExtension("a.d/noext"), "a.d/noext");
  EXPECT_EQ(ComStripExtension(""), "");
}

TEST(PathOps, RemoveTreeNeverFollowsLinksNorTakesTheRoot) {
  TempDir dir;
  std::filesystem::create_directories(dir / "tree/sub/deeper");
  WriteText(dir / "tree/sub/deeper/f.txt", "x");
  std::filesystem::create_directory(dir / "outside");
  WriteText(dir / "outside/keep.txt", "keep");
  std::filesystem::create_directory_symlink(dir / "outside", dir / "tree/sub/link");

  EXPECT_TRUE(ComRemoveTree(dir / "tree"));
  EXPECT_FALSE(std::filesystem::exists(dir / "tree"));
  EXPECT_EQ(ReadText(dir / "outside/keep.txt"), "keep");

  WriteText(dir / "single", "x");
  EXPECT_TRUE(ComRemoveTree(dir / "single"));
  EXPECT_FALSE(std::filesystem::exists(dir / "single"));
  EXPECT_FALSE(ComRemoveTree(""));
  EXPECT_FALSE(ComRemoveTree("/"));
  EXPECT_FALSE(ComRemoveTree("//"));
}

TEST(Environment, UnreachablePaths) {
  TempDir dir;
  EXPECT_EQ(ComIsUnreachable(dir.path()), 0);
  EXPECT_EQ(ComIsUnreachable(dir / "missing/below"), 0);  // the volume answers
  EXPECT_NE(ComIsUnreachable(""), 0);
  EXPECT_NE(ComIsUnreachable("/zv-no-such-mount-7f3a/share/folder"), 0);
}

TEST(Environment, UserRightsProbeTheProgramFolder) {
  TempDir dir;
  {
    ScopedEnv env("ZORVAN_PROGRAM_DIR", dir.path().c_str());
    EXPECT_EQ(ComUserRights(), 1);
    // The probe leaves nothing behind.
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  }
  std::string ro = dir / "readonly";
  std::filesystem::create_directory(ro);
  ::chmod(ro.c_str(), 0555);
  ScopedEnv env("ZORVAN_PROGRAM_DIR", ro.c_str());
  if (::geteuid() == 0) GTEST_SKIP() << "root writes every folder";
  EXPECT_EQ(ComUserRights(), 2);
}

TEST(Environment, CommonInfoPathComesFromTheViewerFolder) {
  TempDir dir;
  {
    ScopedEnv env("ZORVAN_VIEWER_DIR", dir.path().c_str());
    std::string out;
    EXPECT_EQ(ComCommonInfoPath(out), 0);
    EXPECT_EQ(out, dir / "FolderList.ini");
    EXPECT_EQ(ComProductSettingsPath(), dir / "ZorvanEnv.ini");
  }
  // No viewer anywhere: a failure, not a made-up path.
  ScopedEnv noViewer("ZORVAN_VIEWER_DIR", nullptr);
  ScopedEnv machine("ZORVAN_REGISTRY_MACHINE", (dir / "machine.ini").c_str());
  ScopedEnv user("ZORVAN_REGISTRY_USER", (dir / "user.ini").c_str());
  std::string out = "stale";
  EXPECT_NE(ComCommonInfoPath(out), 0);
  EXPECT_EQ(ComPlatformVersion(), 11);
}

TEST(PaperSize, ImagesMapToPaperCodesInEitherOrientation) {
  EXPECT_EQ(ComPaperSize(1654, 2339, 200, 200), 2);   // A4 portrait
  EXPECT_EQ(ComPaperSize(2339, 1654, 200, 200), 2);   // A4 landscape
  EXPECT_EQ(ComPaperSize(3508, 4961, 300, 300), 1);   // A3
  EXPECT_EQ(ComPaperSize(1748, 2480, 300, 300), 3);   // A5
  EXPECT_EQ(ComPaperSize(1240, 1748, 300, 300), 0);   // A6 is no paper of ours
  EXPECT_EQ(ComPaperSize(3035, 4299, 300, 300), 5);   // B4
  EXPECT_EQ(ComPaperSize(2150, 3035, 300, 300), 6);   // B5
  EXPECT_EQ(ComPaperSize(2550, 3300, 300, 300), 96);  // Letter
  EXPECT_EQ(ComPaperSize(1700, 1100, 200, 100), 96);  // Letter, unequal resolutions
  EXPECT_EQ(ComPaperSize(1660, 2330, 200, 200), 2);   // a slightly cropped A4 scan
  EXPECT_EQ(ComPaperSize(1000, 1000, 100, 100), 0);   // square: no paper
  EXPECT_EQ(ComPaperSize(1654, 2339, 0, 200), 0);
  EXPECT_EQ(ComPaperSize(0, 2339, 200, 200), 0);
}

}  // namespace
}  // namespace zv::companion
