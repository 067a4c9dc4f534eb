#include "platform/attributes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include "platform/fs.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::platform {
namespace {

using testing::ModeOf;
using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

TEST(ReadOnly, OwnerWriteBitDecidesAndNormalRestoresIt) {
  TempDir dir;
  const std::string f = dir / "doc.pdf";
  WriteText(f, "x");
  ASSERT_EQ(::chmod(f.c_str(), 0664), 0);
  EXPECT_FALSE(IsReadOnly(f));
  EXPECT_TRUE(SetReadOnly(f, true));
  EXPECT_TRUE(IsReadOnly(f));
  EXPECT_EQ(ModeOf(f), 0464u) << "only the owner write bit changes";
  EXPECT_FALSE(WriteFileAtomic(f, "y")) << "read-only file written";
  EXPECT_TRUE(SetReadOnly(f, false));
  EXPECT_EQ(ModeOf(f), 0664u);
  EXPECT_FALSE(IsReadOnly(dir / "missing"));
  EXPECT_FALSE(SetReadOnly(dir / "missing", true));
}

TEST(Hidden, TransientNamesAreAlwaysHidden) {
  for (const char* n : {"~.tmp", "~Imp_tmp", "~_Imp_tmp", "~WriteEnvSetInfo.Locked", "~Write.Lock", "Folder.Locked",
                        "Locked", "Conv_Locked", "~Imp_Locked", "~$report.docx", "x.LOCKED"})
    EXPECT_TRUE(IsSystemTransientName(n)) << n;
  for (const char* n : {"report.docx", "Locked.pdf", "~report.pdf", ".Locked", "", "Lock"})
    EXPECT_FALSE(IsSystemTransientName(n)) << n;
}

TEST(Hidden, DotNamesTransientNamesAndHiddenList) {
  TempDir dir;
  WriteText(dir / ".dot", "");
  WriteText(dir / "plain.pdf", "");
  WriteText(dir / "~$owner.xlsx", "");
  EXPECT_TRUE(IsHidden(dir / ".dot"));
  EXPECT_TRUE(IsHidden(dir / "~$owner.xlsx"));
  EXPECT_FALSE(IsHidden(dir / "plain.pdf"));
  WriteText(dir / ".hidden", "other\r\nplain.pdf\r\n");
  EXPECT_TRUE(IsHidden(dir / "plain.pdf")) << "CR LF list not understood";
  WriteText(dir / ".hidden", "plain.pdf.bak\n");
  EXPECT_FALSE(IsHidden(dir / "plain.pdf")) << "matched a prefix, not the name";
}

TEST(Hidden, SetAndClearEditTheListKeepingOtherNames) {
  TempDir dir;
  ASSERT_TRUE(MakeFolder(dir / "Cabinet"));
  WriteText(dir / "a.pdf", "");
  WriteText(dir / ".hidden", "keep-me\n");
  EXPECT_TRUE(SetHidden(dir / "Cabinet/", true));
  EXPECT_TRUE(SetHidden(dir / "a.pdf", true));
  EXPECT_TRUE(SetHidden(dir / "a.pdf", true));  // twice: listed once
  EXPECT_TRUE(IsHidden(dir / "Cabinet"));
  EXPECT_EQ(ReadText(dir / ".hidden"), "keep-me\nCabinet\na.pdf\n");
  EXPECT_TRUE(SetHidden(dir / "Cabinet", false));
  EXPECT_FALSE(IsHidden(dir / "Cabinet"));
  EXPECT_EQ(ReadText(dir / ".hidden"), "keep-me\na.pdf\n");
  EXPECT_FALSE(SetHidden(dir / "missing", true));
  EXPECT_FALSE(SetHidden(dir / ".hidden", false)) << "a dot name cannot be shown";
  EXPECT_FALSE(Exists(dir / "Cabinet/.hidden"));
}

TEST(Hidden, SambaDosAttributeBits) {
  TempDir dir;
  const std::string f = dir / "scan.pdf";
  WriteText(f, "");
  const char hiddenArchive[] = "0x22";
  if (::setxattr(f.c_str(), "user.DOSATTRIB", hiddenArchive, 4, 0) != 0)
    GTEST_SKIP() << "no user extended attributes here";
  EXPECT_TRUE(IsHidden(f));
  EXPECT_FALSE(IsSystemOrTemporary(f));
  // Samba's binary form starts with the same text, NUL-terminated.
  const char binary[] = "0x104\0\x03\x00\x03\x00";
  ASSERT_EQ(::setxattr(f.c_str(), "user.DOSATTRIB", binary, sizeof binary - 1, 0), 0);
  EXPECT_FALSE(IsHidden(f));
  EXPECT_TRUE(IsSystemOrTemporary(f)) << "temporary bit 0x100";
  ASSERT_EQ(::setxattr(f.c_str(), "user.DOSATTRIB", "junk", 4, 0), 0);
  EXPECT_FALSE(IsHidden(f));
  EXPECT_FALSE(IsSystemOrTemporary(f));
}

TEST(Identity, TellsAReplacementWithTheSameTimeApart) {
  TempDir dir;
  const std::string f = dir / "in.pdf";
  WriteText(f, "one");
  std::string first = FileIdentity(f);
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(FileIdentity(f), first) << "stable while unchanged";
  // Replace with a copy carrying the same modification time.
  WriteText(dir / "copy", "two");
  struct timespec t[2];
  auto s = Stamp(f);
  t[0] = t[1] = {static_cast<time_t>(s->mtimeNs / 1'000'000'000), static_cast<long>(s->mtimeNs % 1'000'000'000)};
  ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "copy").c_str(), t, 0), 0);
  WriteText(dir / "hold", "");  // keep the old inode number from being reused at once
  ASSERT_TRUE(RenamePath(dir / "copy", f, true));
  EXPECT_NE(FileIdentity(f), first);
  EXPECT_EQ(FileIdentity(dir / "missing"), "");
  if (auto birth = CreationTimeNs(f)) {
    EXPECT_GT(*birth, 0);
  }
}

}  // namespace
}  // namespace zv::platform
