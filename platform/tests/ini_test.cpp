#include "platform/ini.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/iocounts.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace ini = zv::platform::ini;

namespace {

using zv::testing::ReadText;
using zv::testing::WriteText;

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    dir_ = scratch_.path();
    file_ = scratch_ / "test.ini";
    ini::ClearCache();
  }
  static ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
  }
  zv::testing::TempDir scratch_;
  std::string dir_, file_;
};

// ------------------------------------------------------------ reading

TEST_F(IniTest, ReadsLineEndsBomBlanksAndEmptyNames) {
  WriteText(file_,
            "\xEF\xBB\xBF"
            "[ section1 ]\r\n"
            "  Key1 =  value one  \r\n"
            "k2=v2\rk3=v3\n"
            "=nameless\n"
            "empty=\n"
            "no equals sign\n"
            "[]\n"
            "e=in empty section\n");
  EXPECT_EQ(ini::GetString(file_, "section1", "key1"), "value one");
  EXPECT_EQ(ini::GetString(file_, "SECTION1", "K2"), "v2");
  EXPECT_EQ(ini::GetString(file_, " section1 ", " k3 "), "v3");
  EXPECT_EQ(ini::GetString(file_, "section1", ""), "nameless");
  EXPECT_EQ(ini::GetString(file_, "section1", "empty", "def"), "");
  EXPECT_EQ(ini::GetString(file_, "section1", "no equals sign", "def"), "def");
  EXPECT_EQ(ini::GetString(file_, "", "e"), "in empty section");
  EXPECT_EQ(ini::KeyNames(file_, "section1"), (std::vector<std::string>{"Key1", "k2", "k3", "", "empty"}));
}

TEST_F(IniTest, DuplicatesPreambleAndOddHeaders) {
  WriteText(file_,
            "top=before any section\n"
            "[A]\nx=1\nX=2\n"
            "[b]\ny=3\n"
            "[a]\nx=4\nz=5\n"
            "[ open header \nk=v\n[x]y]\nk=w\n");
  EXPECT_EQ(ini::GetString(file_, "a", "x"), "1");
  EXPECT_EQ(ini::GetString(file_, "a", "z", "none"), "none");  // in the second [a]
  EXPECT_EQ(ini::GetString(file_, "", "top", "none"), "none");
  EXPECT_EQ(ini::SectionNames(file_), (std::vector<std::string>{"A", "b", "open header", "x"}));
  // A header without "]" takes the rest of the line; a name ends at the first "]".
  EXPECT_EQ(ini::GetString(file_, "open header", "k"), "v");
  EXPECT_EQ(ini::GetString(file_, "x", "k"), "w");
  EXPECT_EQ(ini::KeyNames(file_, "A"), (std::vector<std::string>{"x"}));
}

TEST_F(IniTest, QuotesAndDefaults) {
  WriteText(file_,
            "[q]\n"
            "d=\"double\"\ns='single'\n"
            "mixed=\"a'\nopen=\"abc\nlone=\"\nempty=\"\"\n"
            "inner=a \"b\" c\nspaced= \" padded \" \n");
  EXPECT_EQ(ini::GetString(file_, "q", "d"), "double");
  EXPECT_EQ(ini::GetString(file_, "q", "s"), "single");
  EXPECT_EQ(ini::GetString(file_, "q", "mixed"), "\"a'");
  EXPECT_EQ(ini::GetString(file_, "q", "open"), "\"abc");
  EXPECT_EQ(ini::GetString(file_, "q", "lone"), "\"");
  EXPECT_EQ(ini::GetString(file_, "q", "empty", "x"), "");
  EXPECT_EQ(ini::GetString(file_, "q", "inner"), "a \"b\" c");
  EXPECT_EQ(ini::GetString(file_, "q", "spaced"), " padded ");

  EXPECT_EQ(ini::GetString(file_, "q", "missing", "  keep lead, drop trail \t "), "  keep lead, drop trail");
  EXPECT_EQ(ini::GetString(file_, "nosection", "d"), "");
  EXPECT_EQ(ini::GetString(dir_ + "/missing.ini", "q", "d", "dflt"), "dflt");
  EXPECT_TRUE(ini::SectionNames(dir_ + "/missing.ini").empty());
  EXPECT_FALSE(ini::SectionExists(dir_ + "/missing.ini", "q"));
}

TEST_F(IniTest, IntegersParseLikeWindows) {
  WriteText(file_,
            "[n]\na=42A\nb=  -17\nc=+8\nd=abc\ne=\nf=4294967297\ng=\"12\"\nh=-2147483648\n"
            "i=4294967295\n");
  EXPECT_EQ(ini::GetInt(file_, "n", "a", 9), 42);
  EXPECT_EQ(ini::GetInt(file_, "n", "b", 9), -17);
  EXPECT_EQ(ini::GetInt(file_, "n", "c", 9), 8);
  EXPECT_EQ(ini::GetInt(file_, "n", "d", 9), 0);  // present but not a number
  EXPECT_EQ(ini::GetInt(file_, "n", "e", 9), 9);  // empty text reads the default
  EXPECT_EQ(ini::GetInt(file_, "n", "f", 9), 1);  // wraps at 32 bits
  EXPECT_EQ(ini::GetInt(file_, "n", "g", 9), 12);
  EXPECT_EQ(ini::GetInt(file_, "n", "h", 9), -2147483647 - 1);
  EXPECT_EQ(ini::GetInt(file_, "n", "i", 9), -1);
  EXPECT_EQ(ini::GetInt(file_, "n", "missing", 9), 9);
}

TEST_F(IniTest, SectionEntriesMatchesGetString) {
  WriteText(file_, "[s]\nb=\"2\"\na=1\nB=dup\n; note\nc = 3 \n");
  auto entries = ini::SectionEntries(file_, "S");
  ASSERT_EQ(entries.size(), 3u);
  for (const auto& [k, v] : entries) EXPECT_EQ(ini::GetString(file_, "s", k), v) << k;
  EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"b", "2"}));
  EXPECT_EQ(entries[2], (std::pair<std::string, std::string>{"c", "3"}));
}

TEST_F(IniTest, FolderInPlaceOfFile) {
  ASSERT_EQ(::mkdir(file_.c_str(), 0755), 0);
  EXPECT_EQ(ini::GetString(file_, "s", "k", "d"), "d");
  EXPECT_EQ(ini::GetInt(file_, "s", "k", 5), 5);
  EXPECT_FALSE(ini::WriteString(file_, "s", "k", "v"));
  EXPECT_FALSE(ini::BeginGroup(file_, 100));
  struct stat st {};
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

// ------------------------------------------------------------ writing

TEST_F(IniTest, UntouchedBytesSurviveEveryKindOfChange) {
  const std::string original =
      "; written by another program\r\n"
      "loose line\r\n"
      "\r\n"
      "[Other]\r\n"
      "  Spaced Key =  old  \r\n"
      "keep=this\r\n"
      "; trailing comment\r\n"
      "\r\n"
      "[Mine]\r\n"
      "a=1\r\n"
      "[Last]\r\n"
      "z=26";  // no line break at the end
  WriteText(file_, original);

  ASSERT_TRUE(ini::WriteString(file_, "other", "spaced key", "new"));
  std::string expected = original;
  expected.replace(expected.find("old  "), 5, "new");
  EXPECT_EQ(ReadText(file_), expected);

  // A new key goes after the last key line, before the comment, in CR LF.
  ASSERT_TRUE(ini::WriteString(file_, "OTHER", "added", "x"));
  expected.insert(expected.find("; trailing"), "added=x\r\n");
  EXPECT_EQ(ReadText(file_), expected);

  // A new section is appended after a line break added to the last line.
  ASSERT_TRUE(ini::WriteString(file_, "New", "k", ""));
  expected += "\r\n[New]\r\nk=\r\n";
  EXPECT_EQ(ReadText(file_), expected);

  ASSERT_TRUE(ini::DeleteKey(file_, "mine", "A"));
  expected.replace(expected.find("[Mine]\r\na=1\r\n"), 13, "[Mine]\r\n");
  EXPECT_EQ(ReadText(file_), expected);  // the emptied section keeps its header

  ASSERT_TRUE(ini::DeleteSection(file_, "last"));
  expected.erase(expected.find("[Last]"), std::string("[Last]\r\nz=26\r\n").size());
  EXPECT_EQ(ReadText(file_), expected);

  // Absent key or section: success, and the file is not even rewritten.
  ino_t before = Inode(file_);
  EXPECT_TRUE(ini::DeleteKey(file_, "mine", "nothere"));
  EXPECT_TRUE(ini::DeleteSection(file_, "nothere"));
  EXPECT_TRUE(ini::WriteString(file_, "other", "keep", "this"));  // same value
  EXPECT_EQ(Inode(file_), before);
  EXPECT_EQ(ReadText(file_), expected);
}

TEST_F(IniTest, NewKeyInSectionEndingTheFileWithoutLineBreak) {
  WriteText(file_, "[s]\na=1");
  ASSERT_TRUE(ini::WriteString(file_, "s", "b", "2"));
  EXPECT_EQ(ReadText(file_), "[s]\na=1\nb=2\n");
  WriteText(file_, "[s]");
  ASSERT_TRUE(ini::WriteString(file_, "s", "b", "2"));
  EXPECT_EQ(ReadText(file_), "[s]\nb=2\n");
  WriteText(file_, "[s]\ra=1\r");
  ASSERT_TRUE(ini::WriteString(file_, "t", "b", "2"));
  EXPECT_EQ(ReadText(file_), "[s]\ra=1\r[t]\rb=2\r");
}

TEST_F(IniTest, WindowsCallShape) {
  ASSERT_TRUE(ini::WritePrivateProfileString("S", "k1", "v1", file_));
  ASSERT_TRUE(ini::WritePrivateProfileString("S", "k2", "v2", file_));
  ASSERT_TRUE(ini::WritePrivateProfileString("T", "k", "v", file_));
  EXPECT_EQ(ReadText(file_), "[S]\nk1=v1\nk2=v2\n[T]\nk=v\n");  // a new file uses LF
  EXPECT_TRUE(ini::WritePrivateProfileString("s", "K1", nullptr, file_));
  EXPECT_EQ(ReadText(file_), "[S]\nk2=v2\n[T]\nk=v\n");
  EXPECT_TRUE(ini::WritePrivateProfileString("s", nullptr, "ignored", file_));
  EXPECT_EQ(ReadText(file_), "[T]\nk=v\n");
  EXPECT_FALSE(ini::WritePrivateProfileString(nullptr, "k", "v", file_));
  EXPECT_TRUE(ini::WritePrivateProfileString(nullptr, nullptr, nullptr, file_));
  EXPECT_EQ(ReadText(file_), "[T]\nk=v\n");
  EXPECT_TRUE(ini::WriteInt(file_, "T", "n", -5));
  EXPECT_EQ(ini::GetInt(file_, "t", "N", 0), -5);
}

TEST_F(IniTest, MissingFileDeletesCreateNothing) {
  const std::string missing = dir_ + "/none.ini";
  EXPECT_TRUE(ini::DeleteKey(missing, "s", "k"));
  EXPECT_TRUE(ini::DeleteSection(missing, "s"));
  EXPECT_EQ(::access(missing.c_str(), F_OK), -1);
  EXPECT_EQ(::access(ini::SiblingLockPath(missing).c_str(), F_OK), -1);
  EXPECT_FALSE(ini::WriteString(dir_ + "/no/such/folder.ini", "s", "k", "v"));
}

TEST_F(IniTest, StructureChangingInputIsRefused) {
  WriteText(file_, "[s]\nk=v\n");
  EXPECT_FALSE(ini::WriteString(file_, "s", "k", "x\r\n[Injected]\r\nevil=1"));
  EXPECT_FALSE(ini::WriteString(file_, "s", "a=b", "c"));
  EXPECT_FALSE(ini::WriteString(file_, "s", " [fake", "c"));
  EXPECT_FALSE(ini::WriteString(file_, "s]x", "k", "c"));
  EXPECT_FALSE(ini::WriteString(file_, "s\n", "k", "c"));
  EXPECT_EQ(ReadText(file_), "[s]\nk=v\n");
  // Quotes, "=" and "[" inside a value are harmless.
  EXPECT_TRUE(ini::WriteString(file_, "s", "k", "[a]=b"));
  EXPECT_EQ(ini::GetString(file_, "s", "k"), "[a]=b");
}

TEST_F(IniTest, BinaryGarbageAndHugeLineSurvive) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 131 + 7) % 256));
  std::string huge(1 << 20, 'x');
  const std::string original = "[bin]\n" + garbage + "\n[big]\nlong=" + huge + "\n";
  WriteText(file_, original);
  EXPECT_EQ(ini::GetString(file_, "big", "long").size(), huge.size());
  ASSERT_TRUE(ini::WriteString(file_, "big", "short", "s"));
  EXPECT_EQ(ReadText(file_), original + "short=s\n");
  EXPECT_EQ(ini::GetString(file_, "big", "short"), "s");
}

TEST_F(IniTest, ReplacementKeepsModeAndLeavesNoDebris) {
  WriteText(file_, "[s]\nk=1\n");
  ASSERT_EQ(::chmod(file_.c_str(), 0640), 0);
  ino_t before = Inode(file_);
  ASSERT_TRUE(ini::WriteString(file_, "s", "k", "2"));
  struct stat st {};
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_NE(st.st_ino, before);  // replaced, not rewritten in place
  auto listing = zv::platform::ListFolder(dir_);
  ASSERT_TRUE(listing);
  ASSERT_EQ(listing->size(), 1u);  // no work file, no lock file left behind
  EXPECT_EQ(listing->at(0).name, "test.ini");
}

TEST_F(IniTest, ReadOnlyFileIsNeverWritten) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write anything";
  WriteText(file_, "[s]\nk=1\n");
  ASSERT_EQ(::chmod(file_.c_str(), 0444), 0);
  EXPECT_FALSE(ini::WriteString(file_, "s", "k", "2"));
  EXPECT_FALSE(ini::DeleteSection(file_, "s"));
  ASSERT_TRUE(ini::BeginGroup(file_, 1000));
  EXPECT_FALSE(ini::WriteString(file_, "s", "k", "2"));
  EXPECT_TRUE(ini::Flush(file_));
  EXPECT_EQ(ReadText(file_), "[s]\nk=1\n");
  EXPECT_EQ(ini::GetString(file_, "s", "k"), "1");
}

TEST_F(IniTest, WritableFileInReadOnlyFolderIsRewrittenInPlace) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may create files in any folder";
  WriteText(file_, "[s]\nk=1\n");
  ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
  ino_t before = Inode(file_);
  ASSERT_TRUE(ini::WriteString(file_, "s", "k", "22"));
  EXPECT_EQ(ReadText(file_), "[s]\nk=22\n");
  EXPECT_EQ(Inode(file_), before);
  EXPECT_TRUE(ini::WriteString(file_, "s", "k", "3"));
  EXPECT_EQ(ReadText(file_), "[s]\nk=3\n");  // in-place rewrite truncates
}

TEST_F(IniTest, WritesGoThroughSymbolicLink) {
  const std::string real = dir_ + "/real.ini";
  WriteText(real, "[s]\nk=1\n");
  ASSERT_EQ(::symlink(real.c_str(), file_.c_str()), 0);
  ASSERT_TRUE(ini::WriteString(file_, "s", "k", "2"));
  struct stat st {};
  ASSERT_EQ(::lstat(file_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadText(real), "[s]\nk=2\n");
}

// ------------------------------------------------------------ locking and groups

TEST_F(IniTest, HeldSiblingLockBlocksWriters) {
  WriteText(file_, "[s]\nk=1\n");
  zv::platform::HeldLock other = zv::platform::HeldLock::TryAcquire(ini::SiblingLockPath(file_));
  ASSERT_TRUE(other.valid());
  zv::platform::FakeClock fake;
  {
    zv::platform::ScopedClock scoped(fake);
    EXPECT_FALSE(ini::WriteString(file_, "s", "k", "2"));
    EXPECT_FALSE(ini::BeginGroup(file_, 2000));
    EXPECT_GE(fake.SteadyMs(), 2000);  // it waited through the clock
  }
  EXPECT_EQ(ReadText(file_), "[s]\nk=1\n");
  other.Release();
  EXPECT_TRUE(ini::WriteString(file_, "s", "k", "2"));
}

TEST_F(IniTest, GroupCollectsWritesAndReplacesOnce) {
  WriteText(file_, "[s]\nk=1\n");
  const ino_t before = Inode(file_);
  ASSERT_TRUE(ini::BeginGroup(file_));
  EXPECT_TRUE(ini::InGroup(file_));
  EXPECT_TRUE(ini::InGroup(dir_ + "/./test.ini"));  // any spelling of the file
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(ini::WriteInt(file_, "s", "n" + std::to_string(i), i));
  ASSERT_TRUE(ini::WriteString(file_, "s", "k", "changed"));
  ASSERT_TRUE(ini::DeleteKey(file_, "s", "n3"));
  // The file on disk is untouched, this thread sees its pending changes,
  // another thread still sees the file.
  EXPECT_EQ(ReadText(file_), "[s]\nk=1\n");
  EXPECT_EQ(Inode(file_), before);
  EXPECT_EQ(ini::GetString(file_, "s", "k"), "changed");
  EXPECT_EQ(ini::GetInt(file_, "s", "n49", -1), 49);
  std::string seenByOther;
  std::thread([&] { seenByOther = ini::GetString(file_, "s", "k"); }).join();
  EXPECT_EQ(seenByOther, "1");
  EXPECT_TRUE(::access(ini::SiblingLockPath(file_).c_str(), F_OK) == 0);

  ASSERT_TRUE(ini::WritePrivateProfileString(nullptr, nullptr, nullptr, file_));
  EXPECT_FALSE(ini::InGroup(file_));
  EXPECT_NE(Inode(file_), before);
  EXPECT_EQ(::access(ini::SiblingLockPath(file_).c_str(), F_OK), -1);
  EXPECT_EQ(ini::KeyNames(file_, "s").size(), 50u);  // k plus n0..n49 without n3
  EXPECT_EQ(ini::GetInt(file_, "s", "n3", -1), -1);
}

TEST_F(IniTest, GroupHoldsLockAgainstOtherThreads) {
  WriteText(file_, "[s]\nk=1\n");
  ini::WriteGroup group(file_);
  ASSERT_TRUE(group.ok());
  ASSERT_TRUE(ini::WriteString(file_, "s", "k", "mine"));
  std::atomic<bool> otherDone{false};
  bool otherOk = false;
  std::thread other([&] {
    otherOk = ini::WriteString(file_, "s", "other", "x");  // waits for the group
    otherDone = true;
  });
  zv::platform::SleepMs(200);
  EXPECT_FALSE(otherDone.load());
  EXPECT_TRUE(group.Commit());
  other.join();
  EXPECT_TRUE(otherOk);
  EXPECT_EQ(ReadText(file_), "[s]\nk=mine\nother=x\n");  // neither change lost
}

TEST_F(IniTest, WriteGroupFlushesOnScopeExit) {
  {
    ini::WriteGroup group(file_);
    ASSERT_TRUE(group.ok());
    ASSERT_TRUE(ini::WriteString(file_, "s", "k", "v"));
    EXPECT_EQ(::access(file_.c_str(), F_OK), -1);  // created only at the flush
  }
  EXPECT_EQ(ReadText(file_), "[s]\nk=v\n");
}

TEST_F(IniTest, GroupIsFoundThroughLinksAndASwappedLinkIsNoticed) {
  const std::string a = dir_ + "/a", b = dir_ + "/b", link = dir_ + "/link";
  ASSERT_EQ(::mkdir(a.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(b.c_str(), 0755), 0);
  WriteText(a + "/x.ini", "[s]\nk=a\n");
  WriteText(b + "/x.ini", "[s]\nk=b\n");
  ASSERT_EQ(::symlink(a.c_str(), link.c_str()), 0);
  ASSERT_EQ(::symlink((a + "/x.ini").c_str(), (dir_ + "/file-link.ini").c_str()), 0);
  ini::WriteGroup group(a + "/x.ini");
  ASSERT_TRUE(group.ok());
  EXPECT_TRUE(ini::InGroup(link + "/x.ini"));
  EXPECT_TRUE(ini::InGroup(dir_ + "/file-link.ini"));
  EXPECT_FALSE(ini::InGroup(b + "/x.ini"));
  ASSERT_TRUE(ini::WriteString(link + "/x.ini", "s", "k", "via link"));
  EXPECT_EQ(ReadText(a + "/x.ini"), "[s]\nk=a\n");  // pending in the group
  // Reading other files in the meantime resolves none of their names in full.
  const auto resolved = zv::platform::ReadIoCounts().pathResolutions;
  EXPECT_EQ(ini::GetString(b + "/x.ini", "s", "k"), "b");
  EXPECT_EQ(zv::platform::ReadIoCounts().pathResolutions, resolved);
  // The link now names the other folder: its writes leave the group alone.
  ASSERT_EQ(::unlink(link.c_str()), 0);
  ASSERT_EQ(::symlink(b.c_str(), link.c_str()), 0);
  EXPECT_FALSE(ini::InGroup(link + "/x.ini"));
  ASSERT_TRUE(ini::WriteString(link + "/x.ini", "s", "k", "swapped"));
  EXPECT_EQ(ReadText(b + "/x.ini"), "[s]\nk=swapped\n");
  EXPECT_TRUE(group.Commit());
  EXPECT_EQ(ReadText(a + "/x.ini"), "[s]\nk=via link\n");
  // A fresh file rewritten at once with other bytes of the same size is
  // read anew, though its last parse is kept.
  WriteText(b + "/x.ini", "[s]\nk=BBBBBBB\n");
  EXPECT_EQ(ini::GetString(b + "/x.ini", "s", "k"), "BBBBBBB");
  WriteText(b + "/x.ini", "[s]\nk=CCCCCCC\n");
  EXPECT_EQ(ini::GetString(b + "/x.ini", "s", "k"), "CCCCCCC");
}

TEST_F(IniTest, CacheNeverServesAnOldVersion) {
  WriteText(file_, "[s]\nk=AAAA\n");
  ASSERT_EQ(ini::GetString(file_, "s", "k"), "AAAA");
  zv::platform::SleepMs(250);  // old enough to be cached
  ASSERT_EQ(ini::GetString(file_, "s", "k"), "AAAA");
  ASSERT_EQ(ini::GetString(file_, "s", "k"), "AAAA");
  // Same size, same modification time, rewritten in place: only the change
  // time tells.
  struct stat st {};
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  WriteText(file_, "[s]\nk=BBBB\n");
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, file_.c_str(), times, 0), 0);
  EXPECT_EQ(ini::GetString(file_, "s", "k"), "BBBB");
}

}  // namespace
