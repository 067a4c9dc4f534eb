// Batches of new files written with one sync pass.
#include <gtest/gtest.h>

#include "platform/fs.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::platform {
namespace {

using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

TEST(WriteNewFilesSynced, WritesReplacesLeftoversAndUndoesAFailedBatch) {
  TempDir dir;
  WriteText(dir / "B3.pdf", "half a page from an insertion that died");
  ASSERT_TRUE(WriteNewFilesSynced({{dir / "B2.pdf", "two"}, {dir / "B3.pdf", "three"}, {dir / "B4.pdf", ""}}));
  EXPECT_EQ(ReadText(dir / "B2.pdf"), "two");
  EXPECT_EQ(ReadText(dir / "B3.pdf"), "three");
  EXPECT_TRUE(IsFile(dir / "B4.pdf"));
  EXPECT_EQ(ListFolder(dir.path())->size(), 3u);

  // The third file cannot be made: the two before it are removed again and
  // the files of the earlier batch stay.
  EXPECT_FALSE(WriteNewFilesSynced({{dir / "B5.pdf", "five"}, {dir / "B6.pdf", "six"}, {dir / "no/B7.pdf", "x"}}));
  EXPECT_FALSE(Exists(dir / "B5.pdf"));
  EXPECT_FALSE(Exists(dir / "B6.pdf"));
  EXPECT_EQ(ReadText(dir / "B2.pdf"), "two");

  // A file in use is replaced whole, and only when the whole batch is written.
  WriteText(dir / "B1.pdf", "");
  EXPECT_FALSE(WriteNewFilesSynced({{dir / "B1.pdf", "one", true}, {dir / "no/B9.pdf", "x"}}));
  EXPECT_EQ(ReadText(dir / "B1.pdf"), "");
  ASSERT_TRUE(WriteNewFilesSynced({{dir / "B1.pdf", "one", true}, {dir / "B9.pdf", "nine"}}));
  EXPECT_EQ(ReadText(dir / "B1.pdf"), "one");
  EXPECT_EQ(ListFolder(dir.path())->size(), 5u);  // no work file left

  // A folder in the way is never removed.
  ASSERT_TRUE(MakeFolder(dir / "B8.pdf"));
  EXPECT_FALSE(WriteNewFilesSynced({{dir / "B8.pdf", "eight"}}));
  EXPECT_TRUE(IsFolder(dir / "B8.pdf"));
}

}  // namespace
}  // namespace zv::platform
