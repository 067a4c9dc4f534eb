// The sort-folder core: both directions, the limits, the checks and the
// linking walk, on a private installation.
#include <gtest/gtest.h>

#include <functional>

#include <unistd.h>
#include "binderlib/folderlist.h"
#include "binderlib/format.h"
#include "companion/common.h"
#include "companion/strings.h"

#include "platform/attributes.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "sort/sort.h"
#include "store/store.h"
#include "testing/files.h"
#include "testing/installation.h"

namespace zv::sort {
namespace {

namespace bl = companion::binder;

class RecordingUi : public Ui {
 public:
  int Message(const std::string& text, const std::string&, int) override {
    messages.push_back(text);
    return answer;
  }
  void ProgressOpen(const std::string&, int) override {
    if (betweenPasses) betweenPasses();
  }
  void ProgressStep(const std::string&, int, int) override { ++steps; }
  std::function<void()> betweenPasses;  // runs after the check pass
  void ShowFolderErrors(const std::string& text, const std::string&) override { messages.push_back(text); }
  int answer = companion::kIdOk;
  int steps = 0;
  std::vector<std::string> messages;
  std::string All() const {
    std::string s;
    for (auto& m : messages) s += m + "\n";
    return s;
  }
};

class SortCore : public ::testing::Test {
 protected:
  void SetUp() override {
    link = inst.AddLinkFolder("Local");
    sortFolder = inst.Path("sort");
    platform::MakeFolders(sortFolder);
    run.linkFolder = link;
    run.sortFolder = sortFolder;
    run.linkName = "Local";
    run.trace.path = inst.Path("trace");
    run.trace.enabled = 1;
    run.ui = &ui;
  }
  void Mk(const std::string& relative) { ASSERT_TRUE(platform::MakeFolders(platform::JoinPath(sortFolder, relative))); }
  std::string TraceText() const {
    std::string all;
    for (const auto& n : zv::testing::Names(run.trace.path))
      all += zv::testing::ReadText(platform::JoinPath(run.trace.path, n));
    return all;
  }
  std::vector<std::string> Titles(const std::string& cabinet) const {
    std::vector<std::string> t;
    for (auto& b : store::ListBindersWithInfo(cabinet)) t.push_back(b.title);
    return t;
  }
  // Every listed level of the link folder: the store check finds nothing,
  // TypeList runs parallel to NameList, Folder.dat equals Folder.ini.
  void ExpectSound() const {
    EXPECT_EQ(store::CheckStore(link), std::vector<std::string>{});
    std::vector<std::pair<std::string, bl::Level>> levels = {{link, bl::Level::LinkFolder}};
    for (auto& lib : store::ListLibraries(link).children) {
      levels.push_back({lib.path, bl::Level::Library});
      for (auto& cab : store::ListCabinets(lib.path).children) levels.push_back({cab.path, bl::Level::Cabinet});
    }
    for (auto& [folder, level] : levels) {
      const auto list = bl::ReadFolderList(folder, level);
      if (level != bl::Level::Cabinet) {
        EXPECT_EQ(list.types.size(), list.names.size()) << folder;
      }
      EXPECT_EQ(platform::ReadFile(folder + "/Folder.ini"), platform::ReadFile(folder + "/Folder.dat")) << folder;
      EXPECT_FALSE(platform::Exists(folder + "/~Write.Locked")) << folder;
    }
  }

  zv::testing::Installation inst;
  std::string link, sortFolder;
  RecordingUi ui;
  sort::Run run;
};

TEST(SortNames, TitlesAndFolderNamesMapBothWays) {
  const std::string two = std::string("A") + bl::kTitleBreak1 + bl::kTitleBreak2 + "B";
  EXPECT_EQ(FolderNameOfTitle(two), "A$$B");
  EXPECT_EQ(DisplayOfTitle(two), "A..B");
  EXPECT_EQ(TitleOfParts("A", "B"), two);
  EXPECT_EQ(TitleOfParts("Inbox", ""), "Inbox");
  EXPECT_EQ(FolderNameOfTitle("Inbox"), "Inbox");
  for (const char* bad : {"", ".", "..", "a/b", "a,b", "tab\there"}) EXPECT_FALSE(SafeFolderName(bad)) << bad;
  EXPECT_TRUE(IsOverflowName("Lib#2"));
  EXPECT_TRUE(IsOverflowName("Report#12"));
  EXPECT_FALSE(IsOverflowName("Report"));
  EXPECT_FALSE(IsOverflowName("No. 5"));
}

TEST_F(SortCore, LibraryLimitStopsTheCheckPassAndCreatesNothing) {
  for (int i = 1; i <= 5; ++i) inst.AddCabinet(link, "L" + std::to_string(i), "C");
  Mk("New1/C/B");
  Mk("New2/C/B");
  const auto before = platform::ReadFile(link + "/Folder.ini");
  const Outcome o = FromFolderToBinder(run);
  EXPECT_EQ(o.result, 0);
  EXPECT_NE(ui.All().find("(6)"), std::string::npos) << ui.All();
  EXPECT_NE(TraceText().find("Lib Count > 6 ERROR LinkPath = " + link), std::string::npos);
  EXPECT_EQ(platform::ReadFile(link + "/Folder.ini"), before);
  EXPECT_FALSE(platform::Exists(link + "/New1"));
  EXPECT_TRUE(o.created.empty());
}

TEST_F(SortCore, ACabinetOfTwentyBindersTakesExactlyOneMore) {
  const std::string cab = inst.AddCabinet(link, "Lib", "Cab");
  for (int i = 1; i <= 20; ++i) inst.AddBinder(cab, "B" + std::to_string(i));
  Mk("Lib/Cab/Extra1");
  Mk("Lib/Cab/Extra2");
  EXPECT_EQ(FromFolderToBinder(run).result, 0);
  EXPECT_NE(TraceText().find("Binder Count > 21 ERROR"), std::string::npos);
  EXPECT_EQ(Titles(cab).size(), 20u);

  platform::RemoveFolder(sortFolder + "/Lib/Cab/Extra2");
  EXPECT_EQ(FromFolderToBinder(run).result, 1) << ui.All();
  EXPECT_EQ(Titles(cab).size(), 21u);
  ExpectSound();
}

TEST_F(SortCore, ALimitReachedByAnotherWriterAfterTheCheckIsReported) {
  const std::string cab = inst.AddCabinet(link, "Lib", "Cab");
  for (int i = 1; i <= 19; ++i) inst.AddBinder(cab, "B" + std::to_string(i));
  Mk("Lib/Cab/Mine");
  ui.betweenPasses = [&] {
    inst.AddBinder(cab, "Theirs1");
    inst.AddBinder(cab, "Theirs2");
  };
  const Outcome o = FromFolderToBinder(run);
  EXPECT_EQ(o.result, 0);
  EXPECT_NE(o.failure.find("(21)"), std::string::npos) << o.failure;
  EXPECT_EQ(Titles(cab).size(), 21u);
  ExpectSound();
}

TEST_F(SortCore, ARefusedFolderNameEndsTheRunWithTheErrorList) {
  Mk("A library name that is far longer than forty columns/Cab/B");
  Mk("Fine/Cab/B");
  Mk("Fine/Cab/Fail");  // a result folder: passed over without a report
  EXPECT_EQ(FromFolderToBinder(run).result, 0);
  EXPECT_TRUE(platform::IsFile(FolderErrorListPath()));
  EXPECT_NE(ui.All().find(companion::LoadString(companion::StringTable::SortFolder, 15)), std::string::npos);
  EXPECT_FALSE(platform::Exists(link + "/Fine"));
  EXPECT_EQ(zv::testing::Lines(zv::testing::ReadText(FolderErrorListPath())).size(), 3u);
}

TEST_F(SortCore, FullRunIsSoundAndTheSecondRunCreatesNothing) {
  const std::string cab = inst.AddCabinet(link, "Library", "Cab");
  inst.AddBinder(cab, "Inbox");
  Mk("library/cab/inbox");      // the existing items in another case
  Mk("library/cab/A$$B");       // a two-line title
  Mk("library/New Cab/Notes");  // a new cabinet with a binder
  Mk("Second/Cab/Mail");        // a new library
  Mk("library/cab/.hidden");    // hidden: not an item
  zv::testing::WriteText(sortFolder + "/library/cab/file.pdf", "x");

  const Outcome o = FromFolderToBinder(run);
  ASSERT_EQ(o.result, 1) << ui.All();
  EXPECT_EQ(store::ListLibraries(link).children.size(), 2u);  // no "library" beside "Library"
  const std::string two = std::string("A") + bl::kTitleBreak1 + bl::kTitleBreak2 + "B";
  EXPECT_EQ(Titles(cab), (std::vector<std::string>{"Inbox", two}));
  EXPECT_TRUE(platform::IsFolder(cab + "/A$$B"));
  EXPECT_EQ(o.created.size(), 6u);  // A$$B, New Cab, Notes, Second, Cab, Mail
  ExpectSound();

  ui.messages.clear();
  const Outcome again = FromFolderToBinder(run);
  EXPECT_EQ(again.result, 0);
  EXPECT_TRUE(again.nothingToCreate);
  EXPECT_NE(TraceText().find("No Target to Create! SortFolderPath = " + sortFolder), std::string::npos);

  // Every binder-level folder links to its binder, the two-line title too.
  const LinkResult links = LinkSortFolder(sortFolder, link);
  EXPECT_EQ(links.links.size(), 4u);
  EXPECT_TRUE(links.unmatched.empty());
  EXPECT_FALSE(links.folderErrors);
  bool twoLine = false;
  for (auto& l : links.links) twoLine |= l.binder == cab + "/A$$B";
  EXPECT_TRUE(twoLine);
  const std::string summary = LinksSummary(true, sortFolder, "Local", links.links);
  EXPECT_NE(summary.find("\tlibrary\\cab\\A$$B\n"), std::string::npos) << summary;
}

TEST_F(SortCore, AForeignFolderInTheLinkFolderIsNeverAdopted) {
  platform::MakeFolders(link + "/Rslt");
  Mk("Rslt/Cab/Binder");
  Mk("Fine/Cab/Binder");
  const Outcome o = FromFolderToBinder(run);
  EXPECT_EQ(o.result, 0);
  EXPECT_NE(ui.All().find(link + "/Rslt"), std::string::npos) << ui.All();
  EXPECT_TRUE(store::ListLibraries(link).children.empty());
  EXPECT_FALSE(platform::Exists(link + "/Rslt/Folder.ini"));
  EXPECT_FALSE(platform::Exists(link + "/Fine"));
}

TEST_F(SortCore, AFailureMidwayKeepsWhatWasMadeAndLeavesNoLock) {
  const std::string bad = inst.AddCabinet(link, "Lib", "CabB");
  inst.AddBinder(bad, "Old");
  // A damaged cabinet: its PosList no longer runs parallel to NameList.
  platform::ini::WriteString(bad + "/Folder.ini", "BinderInfo", "PosList", "1,2,");
  Mk("Lib/CabA/First");
  Mk("Lib/CabB/Second");
  const Outcome o = FromFolderToBinder(run);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(ui.messages.size(), 2u) << ui.All();  // the question, then the failure once
  EXPECT_NE(o.failure.find(bad + "/Second"), std::string::npos) << o.failure;
  EXPECT_TRUE(platform::IsFolder(link + "/Lib/CabA/First"));
  EXPECT_FALSE(platform::Exists(bad + "/~Write.Locked"));
  EXPECT_FALSE(platform::Exists(bad + "/Folder.Locked"));
}

TEST_F(SortCore, AFolderThatMayNotBeWrittenIsRefusedBeforeAnythingIsMade) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write every folder";
  const std::string cab = inst.AddCabinet(link, "Lib", "Cab");
  Mk("Lib/Cab/Mine");
  Mk("Lib/New/Binder");
  ASSERT_TRUE(platform::SetReadOnly(cab, true));
  const Outcome o = FromFolderToBinder(run);  // at once, not after the lock waits
  platform::SetReadOnly(cab, false);
  EXPECT_EQ(o.result, 0);
  EXPECT_NE(o.failure.find("(ErrCode=13)"), std::string::npos) << o.failure;
  EXPECT_NE(o.failure.find(cab + "/Mine"), std::string::npos) << o.failure;
  EXPECT_FALSE(platform::Exists(link + "/Lib/New"));
  EXPECT_FALSE(platform::Exists(cab + "/~Write.Locked"));
}

TEST_F(SortCore, BindersToFoldersSkipsOverflowAndSecuredBindersAndLinksBack) {
  const std::string cab = inst.AddCabinet(link, "Lib", "Cab");
  inst.AddBinder(cab, "Report");
  inst.AddBinder(cab, "Report#2");
  inst.AddBinder(cab, std::string("Q1") + bl::kTitleBreak1 + bl::kTitleBreak2 + "Sales");
  bl::BinderDescription secured;
  secured.title = "Secret";
  secured.password = "pw";
  ASSERT_TRUE(store::CreateBinder(cab, secured).ok());
  inst.AddBinder(inst.AddCabinet(link, "Lib#2", "Cab"), "Report");
  const auto linkBefore = zv::testing::Names(link);

  BinderTree tree = LoadBinderTree(link, "Local");
  ASSERT_EQ(tree.libraries.size(), 1u);
  ASSERT_EQ(tree.libraries[0].cabinets.size(), 1u);
  const auto& binders = tree.libraries[0].cabinets[0].binders;
  ASSERT_EQ(binders.size(), 2u);
  EXPECT_EQ(binders[1].display, "Q1..Sales");
  tree.TickAll(true);
  const Outcome o = BuildFoldersForBinders(run, tree);
  ASSERT_EQ(o.result, 1) << ui.All();
  EXPECT_TRUE(platform::IsFolder(sortFolder + "/Lib/Cab/Q1$$Sales"));
  EXPECT_FALSE(platform::Exists(sortFolder + "/Lib/Cab/Report#2"));
  EXPECT_FALSE(platform::Exists(sortFolder + "/Lib#2"));
  EXPECT_EQ(zv::testing::Names(link), linkBefore);  // nothing made under the link folder

  const LinkResult links = LinkSortFolder(sortFolder, link);
  ASSERT_EQ(links.links.size(), 2u);
  EXPECT_EQ(links.links[0].folder, sortFolder + "/Lib/Cab/Q1$$Sales");
  EXPECT_EQ(links.links[0].binder, cab + "/Q1Sales");
  // And the folders made are exactly what FromFolderToBinder needs: nothing.
  EXPECT_TRUE(FromFolderToBinder(run).nothingToCreate);
}

TEST_F(SortCore, UnusableAndSharedFoldersAreReportedAndNothingIsMade) {
  const std::string cab = inst.AddCabinet(link, "Lib", "Cab");
  auto add = [&](const std::string& title, const std::string& folder) {
    bl::BinderDescription d;
    d.title = title;
    d.folderName = folder;
    ASSERT_TRUE(store::CreateBinder(cab, d).ok()) << folder;
  };
  add("..", "dots");
  add("a\x01z", "control");
  add("Minutes", "m1");
  add("minutes", "m2");
  add("A title far wider than a folder may be", "wide");
  BinderTree tree = LoadBinderTree(link, "Local");
  tree.TickAll(true);
  const Outcome o = BuildFoldersForBinders(run, tree);
  EXPECT_EQ(o.result, 0);
  EXPECT_NE(o.failure.find("Lib/Cab/.."), std::string::npos) << o.failure;
  EXPECT_NE(o.failure.find("A title far wider"), std::string::npos) << o.failure;
  EXPECT_NE(o.failure.find("Lib/Cab/Minutes  /  Lib/Cab/minutes"), std::string::npos) << o.failure;
  EXPECT_TRUE(zv::testing::Names(sortFolder).empty());
}

TEST_F(SortCore, OverlappingFoldersAreRefused) {
  inst.AddBinder(inst.AddCabinet(link, "Lib", "Cab"), "Inbox");
  sort::Run inside = run;
  inside.sortFolder = link + "/Lib";
  BinderTree tree = LoadBinderTree(link, "Local");
  tree.TickAll(true);
  EXPECT_EQ(BuildFoldersForBinders(inside, tree).result, 0);
  EXPECT_FALSE(platform::Exists(link + "/Lib/Lib"));
  inside.sortFolder = inst.root();
  EXPECT_EQ(FromFolderToBinder(inside).result, 0);
}

}  // namespace
}  // namespace zv::sort
