#include <gtest/gtest.h>

#include "monitor/settings/catalogue.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/sort_links.h"
#include "monitor/settings/status.h"
#include "platform/fs.h"
#include "platform/iocounts.h"
#include "platform/paths.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::monitor {
namespace {

using testing::TempDir;
using testing::WriteText;

// A program folder with a default settings file and a binder folder whose
// ini carries a creation stamp.
struct SortFiles {
  SortFiles() {
    platform::MakeFolders(binder);
    WriteText(platform::JoinPath(binder, "B0001.ini"), "[BinderInfo]\nTitle=Inbox\nCreated=1700000123\n");
    EXPECT_TRUE(WriteDefaultSettings(env.settings));
    ProfileWrite("Option", "BinderINISetDateSec", "BinderInfo", env.settings);
    ProfileWrite("Option", "BinderINISetDateKey", "Created", env.settings);
  }
  TempDir dir;
  EnvFiles env = EnvFiles::ForFolder(dir.path());
  std::string binder = dir / "links/Lib/Cab/B0001";
};

SortSettings Links(int count, const std::string& binder) {
  SortSettings s;
  s.enabled = 1;
  s.linkFolder = "/links";
  for (int k = 0; k < count; ++k) s.links.push_back({"/sort/L/C/b" + std::to_string(k), binder, 2, "", "", 1});
  return s;
}

TEST(SortLinks, SaveStampsBindersAndReadClearsTheFlag) {
  SortFiles f;
  SortSettings saved = Links(3, f.binder);
  saved.links[1].binder = f.dir / "links/Lib/Cab/gone";
  ASSERT_TRUE(SaveSortSettings(f.env.settings, saved));
  EXPECT_EQ(ReadChangeFlag(f.env.settings, ChangeFlag::SortModified), 1);

  // Fewer links saved later: the keys of the removed ones vanish.
  SortSettings fewer = Links(2, f.binder);
  ASSERT_TRUE(SaveSortSettings(f.env.settings, fewer));
  EXPECT_EQ(ProfileRead(kSortSection, "TarFolder3", "<none>", f.env.settings), "<none>");

  SortSettings read;
  ASSERT_TRUE(ReadSortLinks(f.env, read));
  EXPECT_EQ(ReadChangeFlag(f.env.settings, ChangeFlag::SortModified), 0);
  ASSERT_EQ(read.setTotal(), 2);
  EXPECT_EQ(read.links[0].setDate, "1700000123") << "the binder's own stamp, not the time of the save";
  EXPECT_EQ(read.links[1].folder, "/sort/L/C/b1");
  EXPECT_EQ(read.linkFolder, "/links");
  EXPECT_TRUE(read.hideSaveFolders());

  SortSettings unreadable = Links(1, f.dir / "links/Lib/Cab/gone");
  ASSERT_TRUE(SaveSortSettings(f.env.settings, unreadable));
  ASSERT_TRUE(ReadSortSettings(f.env.settings, read));
  EXPECT_EQ(read.links[0].setDate, "") << "an unreadable stamp is stored empty";
}

TEST(SortLinks, ReaderClampsAndIgnoresTheOtherSpelling) {
  TempDir dir;
  const std::string file = dir / "EnvSetInfo.ini";
  std::string text =
      "[FolderMonitorSet]\nSetTotalMax=9000\nSetTotal=3000\nInsertPos=3\nShowSaveFolder=1\nmove_failed=2\n"
      "SucceededTerm=-4\nCheckTimer=-1\nLinkFolder=/wrong\nSearchBinderFlag1=5\n";
  WriteText(file, text);
  SortSettings s;
  ASSERT_TRUE(ReadSortSettings(file, s));
  EXPECT_EQ(s.setTotal(), kSortLinksMax);
  EXPECT_EQ(s.insertPos, 1);
  EXPECT_FALSE(s.hideSaveFolders());
  EXPECT_EQ(s.moveFailed, 0) << "a value other than 1 moves, never deletes";
  EXPECT_EQ(s.succeededTerm, 30);
  EXPECT_EQ(s.checkTimer, 0);
  EXPECT_EQ(s.linkFolder, "") << "only LinkFoder names the link folder";
  EXPECT_EQ(s.links[0].searchBinder, 0);
}

TEST(SortLinks, CleanUpDatesOfAPassReplaceTheFileOnce) {
  SortFiles f;
  SortSettings s = Links(40, f.binder);
  ASSERT_TRUE(SaveSortSettings(f.env.settings, s));
  std::vector<int> cleaned;
  for (int k = 0; k < 40; ++k) {
    s.links[static_cast<std::size_t>(k)].deleteDate = "20261208";
    cleaned.push_back(k);
  }
  // Not over links saved anew (still to be read, perhaps numbered otherwise).
  ASSERT_TRUE(WriteSortDeleteDates(f.env, s, cleaned));
  EXPECT_EQ(ProfileRead(kSortSection, "DeleteFolderDate40", "", f.env.settings), "");
  ResetChangeFlag(f.env, ChangeFlag::SortModified);
  const auto before = platform::ReplacementsOf(f.env.settings);
  ASSERT_TRUE(WriteSortDeleteDates(f.env, s, cleaned));
  EXPECT_EQ(platform::ReplacementsOf(f.env.settings) - before, 1);
  EXPECT_EQ(ProfileRead(kSortSection, "DeleteFolderDate40", "", f.env.settings), "20261208");

  // A link that already follows the searched binder changes nothing.
  ASSERT_TRUE(ReadSortSettings(f.env.settings, s));
  EXPECT_FALSE(FollowSearchedBinder(f.env.settings, s, f.binder, f.binder, s.links[0].setDate));
  EXPECT_EQ(ReadChangeFlag(f.env.settings, ChangeFlag::SortModified), 0);
  EXPECT_TRUE(FollowSearchedBinder(f.env.settings, s, f.binder, f.binder + "_2", "1700000999"));
  EXPECT_EQ(ProfileRead(kSortSection, "TarBinder7", "", f.env.settings), f.binder + "_2");
  EXPECT_EQ(ReadChangeFlag(f.env.settings, ChangeFlag::SortModified), 1);
}

}  // namespace
}  // namespace zv::monitor
