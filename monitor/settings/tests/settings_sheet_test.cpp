// The settings dialog's input checks and its page saves, without windows.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "companion/strings.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/sheet_checks.h"
#include "monitor/settings/sheet_store.h"
#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "support/message_capture.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::monitor {
namespace {

using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

struct English {
  English() { companion::ForceLanguage(companion::Language::English); }
  ~English() { companion::ResetLanguage(); }
};

class SheetChecksTest : public ::testing::Test {
 protected:
  English english;
  TempDir dir;
  std::string link = dir / "link";
  std::string binder = dir / "link/lib/cab/bnd";
  SheetChecksTest() {
    platform::MakeFolders(binder);
    for (const char* f : {"scan", "scan2", "Scan3", "fax", "sort/a", "save"}) platform::MakeFolders(dir / f);
  }
  TargetCheck Target(const std::string& folder) const {
    TargetCheck t;
    t.folder = folder;
    t.checkTimer = "0";
    t.binder = binder;
    return t;
  }
  WatchedPlaces Places() const {
    WatchedPlaces p;
    p.linkFolders = {link};
    return p;
  }
  std::vector<int> Check(const std::vector<TargetCheck>& all, std::size_t i, const WatchedPlaces& p) const {
    SheetErrors e;
    CheckTargetSetting(all, i, p, e);
    return e.ids();
  }
};

using Ids = std::vector<int>;

TEST_F(SheetChecksTest, PathsCompareWholeComponentsWithoutCaseAfterLinks) {
  EXPECT_FALSE(FolderInside(dir / "scan2", dir / "scan"));
  EXPECT_TRUE(FolderInside(dir / "scan/sub", dir / "scan"));
  EXPECT_TRUE(SameFolder(dir / "SCAN/", dir / "scan"));
  EXPECT_TRUE(SameFolder(dir / "scan/../scan", dir / "scan"));
  ASSERT_EQ(symlink((dir / "scan").c_str(), (dir / "alias").c_str()), 0);
  EXPECT_TRUE(SameFolder(dir / "alias", dir / "scan"));
  EXPECT_TRUE(FolderInside(dir / "alias/new", dir / "scan"));  // not made yet
  EXPECT_FALSE(SameFolder("", ""));
  EXPECT_FALSE(SameFolder("scan", "scan"));
}

TEST_F(SheetChecksTest, TargetFolderRows) {
  const WatchedPlaces p = Places();
  EXPECT_EQ(Check({Target("")}, 0, p), Ids{kIdsChkFolderEmpty});
  EXPECT_EQ(Check({Target(dir / "nothere")}, 0, p), Ids{kIdsChkFolderMissing});
  EXPECT_EQ(Check({Target("scan")}, 0, p), Ids{kIdsChkSourceWrong});
  EXPECT_EQ(Check({Target(binder)}, 0, p), Ids{kIdsChkBinderAsFolder});
  EXPECT_EQ(Check({Target(dir / "SCAN"), Target(dir / "scan")}, 1, p), Ids{kIdsChkFolderDuplicated});

  // Inside another setting's watch only when that one includes subfolders.
  TargetCheck outer = Target(dir / "scan");
  EXPECT_EQ(Check({outer, Target(dir / "scan/sub")}, 1, p), Ids{kIdsChkFolderMissing});
  outer.recursive = true;
  platform::MakeFolders(dir / "scan/sub");
  EXPECT_EQ(Check({outer, Target(dir / "scan/sub")}, 1, p), Ids{kIdsChkWatchedBySetting});
  EXPECT_EQ(Check({outer, Target(dir / "scan2")}, 1, p), Ids{});
  outer.enabled = false;  // a disabled setting watches nothing
  EXPECT_EQ(Check({outer, Target(dir / "scan/sub")}, 1, p), Ids{});

  WatchedPlaces fax = p;
  fax.fax = {dir / "FAX", false};
  EXPECT_EQ(Check({Target(dir / "fax")}, 0, fax), Ids{kIdsChkSameAsFax});
  fax.fax = {dir / "scan", true};
  EXPECT_EQ(Check({Target(dir / "scan/sub")}, 0, fax), Ids{kIdsChkWatchedByFax});
  WatchedPlaces sort = p;
  sort.sortTop = dir / "sort";
  EXPECT_EQ(Check({Target(dir / "sort/a")}, 0, sort), Ids{kIdsChkWatchedBySort});

  TargetCheck t = Target(dir / "scan");
  for (const auto& [timer, id] : std::vector<std::pair<std::string, int>>{
           {"", kIdsChkIntervalEmpty}, {"1x", kIdsChkIntervalNotNumber}, {"361", kIdsChkIntervalRange}}) {
    t.checkTimer = timer;
    EXPECT_EQ(Check({t}, 0, p), Ids{id}) << timer;
  }
  t.checkTimer = "360";
  t.binder = dir / "scan2";  // not below a link folder
  EXPECT_EQ(Check({t}, 0, p), Ids{kIdsChkBinderWrong});
  t.binder = binder;
  t.sendResult = 3;
  EXPECT_EQ(Check({t}, 0, p), Ids{kIdsChkNoRecipient});
  t.users = {"ann,bob"};  // one name with a comma is unusable, never two people
  EXPECT_EQ(Check({t}, 0, p), Ids{kIdsRecipientsUnreadable});
}

TEST_F(SheetChecksTest, SeveralErrorsInOneBoxWithTheirTexts) {
  TargetCheck t = Target(dir / "nothere");
  t.checkTimer = "abc";
  t.binder = "";
  SheetErrors e;
  CheckTargetSetting({t}, 0, Places(), e);
  EXPECT_EQ(e.ids(), (Ids{kIdsChkFolderMissing, kIdsChkIntervalNotNumber, kIdsChkBinderWrong}));
  EXPECT_EQ(e.BoxText(),
            "Check the input content as the following error occurred: \n\n"
            "The monitored folder does not exist.\n"
            "The check folder every contains non-numeric strings. \n"
            "The target binder of Auto-File Read No.1 is mistake setting.\n");
}

TEST_F(SheetChecksTest, FaxRows) {
  WatchedPlaces p = Places();
  p.targets = {{dir / "scan", true}, {dir / "SCAN2", false}};
  p.sortTop = dir / "sort";
  FaxCheck fax;
  fax.enabled = true;
  fax.checkTimer = "5";
  auto ids = [&] {
    SheetErrors e;
    CheckFaxPage(fax, p, e);
    return e.ids();
  };
  EXPECT_EQ(ids(), Ids{kIdsChkFaxFolderEmpty});
  fax.folder = dir / "scan2";
  EXPECT_EQ(ids(), Ids{kIdsChkFaxSameAsTarget});
  platform::MakeFolders(dir / "scan/f");
  fax.folder = dir / "scan/f";
  EXPECT_EQ(ids(), Ids{kIdsChkFaxWatchedBySetting});
  fax.folder = dir / "sort/a";
  EXPECT_EQ(ids(), Ids{kIdsChkFaxWatchedBySort});
  fax.folder = dir / "fax";
  FaxEntryCheck a{"A*.pdf", binder};
  FaxEntryCheck b{"a*.PDF", binder};
  FaxEntryCheck c{"x;y", binder};
  FaxEntryCheck d{"", binder};
  fax.entries = {a, b, c, d};
  EXPECT_EQ(ids(), (Ids{kIdsChkFaxNameDuplicated, kIdsChkFaxNameSemicolon, kIdsChkFaxNameEmpty}));
  fax.entries = {a};
  fax.otherEnabled = true;
  EXPECT_EQ(ids(), Ids{kIdsChkOtherNoBinder});
  fax.otherBinder = dir / "gone";
  EXPECT_EQ(ids(), Ids{kIdsChkOtherBinderMissing});
  fax.otherBinder = dir / "scan2";
  EXPECT_EQ(ids(), Ids{kIdsChkOtherNotOnLink});
}

TEST_F(SheetChecksTest, SortAndSaveFolderRows) {
  WatchedPlaces p = Places();
  p.targets = {{dir / "scan", false}};
  p.fax = {dir / "fax", true};
  auto sortIds = [&](const std::string& top, const std::string& linkFolder) {
    SheetErrors e;
    CheckSortPage(top, linkFolder, p, e);
    return e.ids();
  };
  EXPECT_EQ(sortIds("", link), Ids{kIdsChkTopEmpty});
  EXPECT_EQ(sortIds("sort", link), Ids{kIdsChkTopWrong});
  EXPECT_EQ(sortIds(dir / "nothere", link), Ids{kIdsChkTopMissing});
  EXPECT_EQ(sortIds(dir / "link/lib", link), Ids{kIdsChkTopIsLink});
  EXPECT_EQ(sortIds(dir / "scan", link), Ids{kIdsChkTopWatchedBySetting});
  EXPECT_EQ(sortIds(dir / "fax", link), Ids{kIdsChkTopWatchedByFax});
  EXPECT_EQ(sortIds(dir / "sort", ""), Ids{kIdsChkNoLinkFolder});
  EXPECT_EQ(sortIds(dir / "sort", dir / "nolink"), Ids{kIdsChkLinkMissing});
  EXPECT_EQ(sortIds(dir / "sort", link), Ids{});

  p.sortTop = dir / "sort";
  auto saveIds = [&](const std::string& folder, SaveFolderVerdict want) {
    SheetErrors e;
    EXPECT_EQ(CheckSaveFolder(folder, "Auto-File Read", "Success", p, e), want) << folder;
    return e;
  };
  EXPECT_EQ(saveIds("", SaveFolderVerdict::Refused).ids(), Ids{kIdsChkSaveEmpty});
  EXPECT_EQ(saveIds("rel", SaveFolderVerdict::Refused).ids(), Ids{kIdsChkSaveWrong});
  EXPECT_EQ(saveIds(dir / "scan", SaveFolderVerdict::Refused).ids(), Ids{kIdsChkSaveSameAsTarget});
  EXPECT_EQ(saveIds(dir / "fax/x", SaveFolderVerdict::Refused).ids(), Ids{kIdsChkSaveSameAsFax});
  const SheetErrors inSort = saveIds(dir / "sort/a", SaveFolderVerdict::Refused);
  EXPECT_EQ(inSort.ids(), Ids{kIdsChkSaveInSort});
  EXPECT_NE(inSort.Messages().find("(Auto-File Read, Success)"), std::string::npos);
  EXPECT_TRUE(saveIds(dir / "save/new", SaveFolderVerdict::AskCreate).empty());
  EXPECT_TRUE(saveIds(dir / "save", SaveFolderVerdict::Ok).empty());
}

TEST(SheetTexts, AttachTextCutOnCharacterBoundaryAndEveryMessageInBothLanguages) {
  const std::string kana = "あいうえおかきくけこさしすせそたちつてと";  // 3 bytes each
  EXPECT_EQ(CutTextInfo(kana).size(), 48u);
  EXPECT_EQ(CutTextInfo(std::string(60, 'x')).size(), 50u);
  for (int id :
       {kIdsChkSaveSameAsTarget, kIdsChkSaveSameAsFax, kIdsChkWatchedByFax, kIdsChkOtherNotOnLink, kIdsChkCannotMake,
        kIdsChkFaxNoReadDelete, kIdsChkNoRecipient, kIdsBinderRecreatedKeep, kIdsChkTopWatchedBySetting,
        kIdsChkTopWatchedByFax, kIdsSortLinkAsk, kIdsChkSaveInSort, kIdsChkWatchedBySort, kIdsChkFaxWatchedBySort,
        kIdsSortLinkAskMore, kIdsUnmatchedListMissing, kIdsSortSaveWithoutLink}) {
    const std::string en = companion::LoadString(companion::StringTable::Monitor, id, companion::Language::English);
    const std::string ja = companion::LoadString(companion::StringTable::Monitor, id, companion::Language::Japanese);
    EXPECT_FALSE(en.empty()) << id;
    EXPECT_NE(en, ja) << id;
  }
}

// ---- page saves ---------------------------------------------------------------------

class SheetStoreTest : public ::testing::Test {
 protected:
  platform::FakeClock clock;
  platform::ScopedClock scoped{clock};
  TempDir dir;
  EnvFiles env = EnvFiles::ForFolder(dir.path());
  test::MessageCapture messages;
};

TEST_F(SheetStoreTest, TargetPageWritesBackWhatItReadAndDropsRemovedSlots) {
  WriteText(env.settings,
            "[Option]\nmove_succeeded=0\nBackup=1\nBackupFolder=" + (dir / "bak") +
                "\nImpResultLogEnabled=1\n[AutoFileRead]\nSetTotal=2\nSetTotalMax=30\n"
                "bCheck1=1\nSetName1=\"one\"\nTarFolder1=/a\nDeleteFolderDate1=20260101\nSendUser1count=2\n"
                "SendUser1user1=ann\nSendUser1user2=bob\nSendUser1user3=stale\n"
                "bCheck2=1\nSetName2=\"two\"\nTarFolder2=/b\nDeleteFolderDate2=20260102\nCustomKey=7\n"
                "TarFolder3=/left-over\n");
  platform::MakeFolders(dir / "bak");
  auto page = LoadTargetPage(env.settings);
  ASSERT_TRUE(page);
  ASSERT_EQ(page->entries.size(), 2u);
  EXPECT_EQ(page->entries[0].raw.users, (std::vector<std::string>{"ann", "bob"}));
  page->entries.erase(page->entries.begin());           // delete setting 1
  page->entries[0].raw.Set("TarFolder", "/b-changed");  // and change the other's folder
  ASSERT_TRUE(SaveTargetPage(env, *page));

  EXPECT_EQ(ProfileRead("AutoFileRead", "SetTotal", -1, env.settings), 1);
  EXPECT_EQ(ReadText(env.settings).find("\"two\""), ReadText(env.settings).find("SetName1=") + 9);
  EXPECT_EQ(ProfileRead("AutoFileRead", "TarFolder1", "", env.settings), "/b-changed");
  EXPECT_EQ(ProfileRead("AutoFileRead", "DeleteFolderDate1", "x", env.settings), "");  // starts afresh
  for (const char* gone : {"SetName2", "TarFolder2", "SendUser1count", "SendUser1user3", "TarFolder3"})
    EXPECT_EQ(ProfileRead("AutoFileRead", gone, "gone", env.settings), "gone") << gone;
  EXPECT_EQ(ProfileRead("AutoFileRead", "CustomKey", 0, env.settings), 7);  // not ours
  EXPECT_EQ(ReadChangeFlag(env.settings, ChangeFlag::Modified), 1);
  EXPECT_GT(ProfileRead("Product", "LastModified", 0, env.settings), 0);
  EXPECT_EQ(ReadText(dir / "bak/EnvSetInfo.ini"), ReadText(env.settings));
  EXPECT_EQ(ReadText(dir / "AutoImpInfo/EnvSetInfo.ini"), ReadText(env.settings));
  EXPECT_TRUE(platform::IsFile(env.settings + ".bak"));
  EXPECT_FALSE(platform::IsFile(env.settings + ".new"));
}

TEST_F(SheetStoreTest, TargetPageUnchangedSaveKeepsEveryValue) {
  WriteText(env.settings,
            "[AutoFileRead]\nSetTotal=1\nbCheck1=1\nSetName1=\"n\"\nTarFolder1=/a\nInsertPos1=7\nTextInfo1=\n"
            "SendUser1count=1\nSendUser1user1=ann\n");
  auto page = LoadTargetPage(env.settings);
  ASSERT_TRUE(page);
  ASSERT_TRUE(SaveTargetPage(env, *page));
  EXPECT_EQ(ProfileRead("AutoFileRead", "InsertPos1", 0, env.settings), 7);  // written back as read
  EXPECT_EQ(ProfileRead("AutoFileRead", "TextInfo1", "absent", env.settings), "");
  EXPECT_EQ(ProfileRead("AutoFileRead", "SendUser1user1", "", env.settings), "ann");
  EXPECT_EQ(ProfileRead("AutoFileRead", "SearchBinder1", "absent", env.settings), "absent");  // not invented
}

TEST_F(SheetStoreTest, OtherPageKeepsDefaultsAndWritesOnlyWhatItRead) {
  WriteText(env.settings, "[Option]\nImpLogDir=\nShowBalloon=-1\n");
  auto page = LoadOtherPage(env.settings);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->IntValue("ImpListPopup"), 0);  // absent: off
  EXPECT_EQ(page->IntValue("bAddContents"), 0);
  ASSERT_TRUE(SaveOtherPage(env, *page));
  EXPECT_EQ(ProfileRead("Option", "ImpListPopup", "absent", env.settings), "absent");
  EXPECT_EQ(ProfileRead("Option", "bAddContents", "absent", env.settings), "absent");
  EXPECT_EQ(ProfileRead("Option", "ImpLogDir", "absent", env.settings), "");
  EXPECT_EQ(ProfileRead("Option", "ShowBalloon", 9, env.settings), -1);
  page->Change("ShowBalloon", "0");
  ASSERT_TRUE(SaveOtherPage(env, *page));
  EXPECT_EQ(ProfileRead("Option", "ShowBalloon", 9, env.settings), 0);
  EXPECT_EQ(ReadChangeFlag(env.settings, ChangeFlag::Modified), 1);  // the monitor re-reads [Option]
}

TEST_F(SheetStoreTest, BinderStampIsReadWithoutPausing) {
  const std::string binder = dir / "b1";
  platform::MakeFolders(binder);
  WriteText(binder + "/b1.ini", "[BinderInfo]\nCreated=1700000000123456789\n");
  const auto before = clock.totalSleptMs();
  EXPECT_EQ(ReadBinderStamp(binder, "BinderInfo", "Created"), "170000000012345");
  EXPECT_EQ(clock.totalSleptMs(), before);
  EXPECT_TRUE(BinderNewerThan("170000000000000", "170000000012345"));
  EXPECT_FALSE(BinderNewerThan("", "170000000012345"));
}

}  // namespace
}  // namespace zv::monitor
