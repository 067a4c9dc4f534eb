// A failed move, rename, delete or folder creation keeps its cause.
#include "platform/fs_error.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fs.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::platform {
namespace {

using testing::TempDir;
using testing::WriteText;

TEST(FsError, EachOperationSaysWhatFailedWhereAndWhy) {
  TempDir dir;
  WriteText(dir / "a.pdf", "x");
  WriteText(dir / "b.pdf", "y");
  ASSERT_TRUE(MakeFolder(dir / "full"));
  WriteText(dir / "full/inside.pdf", "z");

  ClearFsError();
  EXPECT_FALSE(RenamePath(dir / "missing.pdf", dir / "c.pdf", false));
  EXPECT_EQ(LastFsError().Message(), "rename " + (dir / "missing.pdf") + ": No such file or directory");
  EXPECT_FALSE(RenamePath(dir / "a.pdf", dir / "b.pdf", false));
  EXPECT_EQ(LastFsError().Message(), "rename " + (dir / "b.pdf") + ": File exists");
  EXPECT_FALSE(MakeFolders(dir / "a.pdf/sub/deeper"));
  EXPECT_EQ(LastFsError().op, "create folder");
  EXPECT_EQ(LastFsError().code, ENOTDIR);
  EXPECT_FALSE(RemoveFile(dir / "full"));
  EXPECT_EQ(LastFsError().Message(), "delete " + (dir / "full") + ": Is a directory");
  EXPECT_FALSE(RemoveFolder(dir / "full"));
  EXPECT_EQ(LastFsError().Message(), "remove folder " + (dir / "full") + ": Directory not empty");

  // A success leaves the last failure for whoever reads it next; a clear
  // empties it.
  EXPECT_TRUE(RenamePath(dir / "a.pdf", dir / "c.pdf", false));
  EXPECT_TRUE(LastFsError());
  ClearFsError();
  EXPECT_FALSE(LastFsError());
  EXPECT_EQ(LastFsError().Message(), "");

  if (::geteuid() == 0) GTEST_SKIP() << "permissions are not enforced for root";
  ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
  EXPECT_FALSE(RenamePath(dir / "c.pdf", dir / "d.pdf", false));
  EXPECT_EQ(LastFsError().Message(), "rename " + (dir / "c.pdf") + ": Permission denied");
  EXPECT_FALSE(RemoveFile(dir / "b.pdf"));
  EXPECT_EQ(LastFsError().Message(), "delete " + (dir / "b.pdf") + ": Permission denied");
  ::chmod(dir.path().c_str(), 0700);
}

}  // namespace
}  // namespace zv::platform
