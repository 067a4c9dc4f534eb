#include "platform/fs.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::platform {
namespace {

using testing::ModeOf;
using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

TEST(WriteFileAtomic, CreatesReplacesAndLeavesNoWorkFiles) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  ASSERT_TRUE(WriteFileAtomic(f, "[a]\nk=1\n"));
  EXPECT_EQ(ReadText(f), "[a]\nk=1\n");
  ASSERT_TRUE(WriteFileAtomic(f, ""));
  EXPECT_EQ(ReadText(f), "");
  std::string big(3 << 20, 'z');
  ASSERT_TRUE(WriteFileAtomic(f, big));
  EXPECT_EQ(*ReadFile(f), big);
  auto entries = ListFolder(dir.path());
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u) << "a work file was left behind: " << entries->back().name;
}

TEST(WriteFileAtomic, KeepsModeAndReplacesInode) {
  TempDir dir;
  const std::string f = dir / "shared.ini";
  WriteText(f, "old");
  ASSERT_EQ(::chmod(f.c_str(), 0640), 0);
  auto before = Stamp(f);
  ASSERT_TRUE(WriteFileAtomic(f, "new"));
  EXPECT_EQ(ModeOf(f), 0640u);
  EXPECT_NE(Stamp(f)->inode, before->inode) << "not replaced through a rename";
}

TEST(WriteFileAtomic, KeepsOwnerWhenRootWrites) {
  if (!::geteuid() == 0) GTEST_SKIP() << "changing owners needs root";
  TempDir dir;
  const std::string f = dir / "owned.ini";
  WriteText(f, "old");
  ASSERT_EQ(::chown(f.c_str(), 65534, 65534), 0);
  ASSERT_TRUE(WriteFileAtomic(f, "new"));
  struct stat st;
  ASSERT_EQ(::stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
}

TEST(WriteFileAtomic, RefusesReadOnlyFolderTargetAndDanglingLink) {
  TempDir dir;
  const std::string f = dir / "ro.ini";
  WriteText(f, "keep");
  ASSERT_EQ(::chmod(f.c_str(), 0444), 0);
  EXPECT_FALSE(WriteFileAtomic(f, "changed"));
  EXPECT_EQ(ReadText(f), "keep");
  ASSERT_TRUE(MakeFolder(dir / "folder"));
  EXPECT_FALSE(WriteFileAtomic(dir / "folder", "x"));
  EXPECT_TRUE(IsFolder(dir / "folder"));
  ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
  EXPECT_FALSE(WriteFileAtomic(dir / "dangling", "x"));
  EXPECT_FALSE(WriteFileAtomic(dir / "no/such/folder/f", "x"));
}

TEST(WriteFileAtomic, WritesThroughSymlinkKeepingTheLink) {
  TempDir dir;
  WriteText(dir / "real.ini", "old");
  ASSERT_EQ(::symlink("real.ini", (dir / "link.ini").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomic(dir / "link.ini", "new"));
  EXPECT_EQ(ReadText(dir / "real.ini"), "new");
  struct stat st;
  ASSERT_EQ(::lstat((dir / "link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(WriteFileAtomic, RewritesInPlaceWhenFolderIsNotWritable) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any folder";
  TempDir dir;
  const std::string sub = dir / "locked";
  ASSERT_TRUE(MakeFolder(sub));
  WriteText(sub + "/f.ini", "a much longer old content");
  ASSERT_EQ(::chmod(sub.c_str(), 0555), 0);
  EXPECT_TRUE(WriteFileAtomic(sub + "/f.ini", "short"));
  EXPECT_EQ(ReadText(sub + "/f.ini"), "short");
  EXPECT_FALSE(WriteFileAtomic(sub + "/new.ini", "x")) << "cannot create in a read-only folder";
  ::chmod(sub.c_str(), 0755);
}

TEST(RemoveTree, RemovesNestedContentButNeverFollowsLinks) {
  TempDir outside;
  WriteText(outside / "precious", "keep");
  ASSERT_TRUE(MakeFolder(outside / "deep"));
  WriteText(outside / "deep/also", "keep");

  TempDir dir;
  const std::string root = dir / "tree";
  ASSERT_TRUE(MakeFolders(root + "/a/b/c"));
  WriteText(root + "/a/b/c/f", "x");
  WriteText(root + "/top", "x");
  ASSERT_EQ(::chmod((root + "/a/b").c_str(), 0500), 0);  // a read-only folder inside
  ASSERT_EQ(::symlink(outside.path().c_str(), (root + "/a/link").c_str()), 0);
  ASSERT_EQ(::symlink((outside / "precious").c_str(), (root + "/filelink").c_str()), 0);

  EXPECT_TRUE(RemoveTree(root));
  EXPECT_FALSE(Exists(root));
  EXPECT_EQ(ReadText(outside / "precious"), "keep");
  EXPECT_EQ(ReadText(outside / "deep/also"), "keep");

  // A link given as the path itself: the link goes, its target stays.
  ASSERT_EQ(::symlink(outside.path().c_str(), (dir / "l").c_str()), 0);
  EXPECT_TRUE(RemoveTree(dir / "l"));
  EXPECT_TRUE(IsFolder(outside.path()));
  EXPECT_EQ(ReadText(outside / "precious"), "keep");

  EXPECT_TRUE(RemoveTree(dir / "missing"));
  WriteText(dir / "plain", "x");
  EXPECT_TRUE(RemoveTree(dir / "plain"));
  EXPECT_FALSE(RemoveTree("/"));
}

TEST(RenamePath, OverwriteRulesAndReadOnlyTarget) {
  TempDir dir;
  WriteText(dir / "a", "A");
  WriteText(dir / "b", "B");
  EXPECT_FALSE(RenamePath(dir / "a", dir / "b", false));
  EXPECT_EQ(ReadText(dir / "b"), "B");
  EXPECT_TRUE(RenamePath(dir / "a", dir / "b", true));
  EXPECT_EQ(ReadText(dir / "b"), "A");
  EXPECT_FALSE(Exists(dir / "a"));
  EXPECT_TRUE(RenamePath(dir / "b", dir / "c", false));
  WriteText(dir / "ro", "RO");
  ASSERT_EQ(::chmod((dir / "ro").c_str(), 0444), 0);
  EXPECT_FALSE(RenamePath(dir / "c", dir / "ro", true)) << "a read-only file was replaced";
  EXPECT_EQ(ReadText(dir / "ro"), "RO");
  EXPECT_FALSE(RenamePath(dir / "missing", dir / "x", false));
}

TEST(CopyFile, CopiesBytesModeAndTimeAndHonoursOverwrite) {
  TempDir dir;
  std::string data = "bin\0ary\xff", data2(200000, 'q');
  data.push_back('\0');
  WriteText(dir / "src", data + data2);
  ASSERT_EQ(::chmod((dir / "src").c_str(), 0751), 0);
  ASSERT_TRUE(CopyFile(dir / "src", dir / "dst", false));
  EXPECT_EQ(ReadText(dir / "dst"), data + data2);
  EXPECT_EQ(ModeOf(dir / "dst"), 0751u);
  EXPECT_EQ(Stamp(dir / "dst")->mtimeNs, Stamp(dir / "src")->mtimeNs);
  WriteText(dir / "other", "o");
  EXPECT_FALSE(CopyFile(dir / "other", dir / "dst", false));
  EXPECT_EQ(ReadText(dir / "dst"), data + data2);
  EXPECT_TRUE(CopyFile(dir / "other", dir / "dst", true));
  EXPECT_EQ(ReadText(dir / "dst"), "o");
  EXPECT_FALSE(CopyFile(dir / "missing", dir / "x", true));
  EXPECT_FALSE(Exists(dir / "x"));
  EXPECT_TRUE(CopyFile(dir / "other", dir / "other", true)) << "copy onto itself keeps the file";
  EXPECT_EQ(ReadText(dir / "other"), "o");
}

TEST(Folders, MakeListRemove) {
  TempDir dir;
  EXPECT_TRUE(MakeFolders(dir / "x/y/z/"));
  EXPECT_TRUE(IsFolder(dir / "x/y/z"));
  EXPECT_TRUE(MakeFolders(dir / "x/y/z"));
  WriteText(dir / "x/file", "1");
  EXPECT_FALSE(MakeFolders(dir / "x/file/sub")) << "a file stands in the way";
  EXPECT_FALSE(MakeFolder(dir / "x/file"));
  ASSERT_EQ(::symlink("y", (dir / "x/ly").c_str()), 0);
  WriteText(dir / "x/B", "");
  auto list = ListFolder(dir / "x");
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 4u);
  EXPECT_EQ((*list)[0].name, "B");
  EXPECT_EQ((*list)[1].name, "file");
  EXPECT_FALSE((*list)[1].isFolder);
  EXPECT_EQ((*list)[2].name, "ly");
  EXPECT_TRUE((*list)[2].isSymlink);
  EXPECT_TRUE((*list)[2].isFolder);
  EXPECT_EQ((*list)[3].name, "y");
  EXPECT_TRUE((*list)[3].isFolder);
  EXPECT_FALSE((*list)[3].isSymlink);
  EXPECT_FALSE(ListFolder(dir / "x/file"));
  EXPECT_FALSE(RemoveFolder(dir / "x/y")) << "not empty";
  EXPECT_TRUE(RemoveFolder(dir / "x/y/z"));
  EXPECT_FALSE(RemoveFile(dir / "x/y")) << "a folder is not a file";
  EXPECT_TRUE(RemoveFile(dir / "x/file"));
  EXPECT_TRUE(RemoveFile(dir / "x/file")) << "already gone counts as removed";
}

TEST(Stamp, TracksSizeAndTimesAndFollowsNothingMissing) {
  TempDir dir;
  EXPECT_FALSE(Stamp(dir / "none"));
  EXPECT_FALSE(FileSize(dir / "none"));
  EXPECT_FALSE(ReadFile(dir / "none"));
  EXPECT_FALSE(ReadFile(dir.path())) << "a folder is not readable as a file";
  WriteText(dir / "f", "12345");
  auto a = Stamp(dir / "f");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->size, 5u);
  EXPECT_EQ(*FileSize(dir / "f"), 5u);
  struct timespec t[2] = {{1, 0}, {1'600'000'000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "f").c_str(), t, 0), 0);
  auto b = Stamp(dir / "f");
  EXPECT_EQ(b->mtimeNs, 1'600'000'000LL * 1'000'000'000 + 123456789);
  EXPECT_FALSE(*a == *b);
  EXPECT_TRUE(IsFile(dir / "f"));
  EXPECT_FALSE(IsFolder(dir / "f"));
}

TEST(FolderHandle, EntersCreatesAndMovesWithoutFollowingLinks) {
  TempDir dir, outside;
  ASSERT_EQ(::symlink(outside.path().c_str(), (dir / "Fail").c_str()), 0);
  FolderHandle top = FolderHandle::Open(dir.path());
  ASSERT_TRUE(top.valid());
  // A link in a folder's place is neither entered nor replaced by a new folder.
  EXPECT_FALSE(top.Child("Fail", true).valid());
  EXPECT_TRUE(top.IsLinkEntry("Fail"));
  EXPECT_FALSE(FolderHandle::OpenBelow(dir.path(), "Fail/20260101", true).valid());
  EXPECT_TRUE(ListFolder(outside.path())->empty());

  FolderHandle dated = FolderHandle::OpenBelow(dir.path(), "Success/20260101", true);
  ASSERT_TRUE(dated.valid());
  EXPECT_EQ(dated.path(), dir / "Success/20260101");
  WriteText(dir / "a.pdf", "pdf");
  ASSERT_TRUE(dated.MoveFileIn(dir / "a.pdf", "a.pdf"));
  EXPECT_EQ(ReadText(dir / "Success/20260101/a.pdf"), "pdf");
  // Never onto an entry, not even a dangling link; never a link as source.
  WriteText(dir / "b.pdf", "b");
  ASSERT_EQ(::symlink("nowhere", (dir / "Success/20260101/b.pdf").c_str()), 0);
  EXPECT_TRUE(dated.HasEntry("b.pdf"));
  EXPECT_FALSE(dated.MoveFileIn(dir / "b.pdf", "b.pdf"));
  WriteText(outside / "private.pdf", "secret");
  ASSERT_EQ(::symlink((outside / "private.pdf").c_str(), (dir / "leak.pdf").c_str()), 0);
  EXPECT_FALSE(dated.MoveFileIn(dir / "leak.pdf", "leak.pdf"));
  EXPECT_FALSE(dated.HasEntry("leak.pdf"));
  // Removal relative to the folder leaves what a link names alone.
  ASSERT_EQ(::mkdir((dir / "Success/20200101").c_str(), 0777), 0);
  ASSERT_EQ(::symlink(outside.path().c_str(), (dir / "Success/20200101/out").c_str()), 0);
  FolderHandle success = top.Child("Success", false);
  EXPECT_TRUE(success.RemoveTree("20200101"));
  EXPECT_EQ(ReadText(outside / "private.pdf"), "secret");
}

}  // namespace
}  // namespace zv::platform
