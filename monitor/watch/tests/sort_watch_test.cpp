// The sort-folder watch on a private installation, through watch cycles with
// a fake clock: filing through a link, new links taken over, the clean-up.
#include <gtest/gtest.h>

#include <filesystem>

#include "monitor/settings/profile.h"
#include "monitor/settings/sort_links.h"
#include "monitor/settings/status.h"
#include "monitor/watch/sort_watch.h"
#include "platform/attributes.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/iocounts.h"
#include "platform/paths.h"
#include "support/watch_env.h"
#include "testing/files.h"
#include "testing/pdf.h"

namespace zv::monitor {
namespace {

using test::Engine;
using test::Installation;
namespace pf = platform;

class SortWatch : public ::testing::Test {
 protected:
  SortWatch() {
    // Only the links are watched: the target-folder setting is off.
    inst.SetAuto("bCheck1", "0");
    other = inst.AddBinder(platform::ParentFolder(inst.binder()), "Other");
    for (const char* f : {"sort/Lib/Cab/Inbox", "sort/Lib/Cab/Other"}) pf::MakeFolders(inst.Path(f));
  }
  // Links from the sort folders to binders, saved as the settings page does.
  void SaveLinks(const std::vector<std::pair<std::string, std::string>>& links, int showSaveFolder = 0) {
    SortSettings s;
    s.enabled = 1;
    s.sortFolder = inst.Path("sort");
    s.linkFolder = inst.link();
    s.showSaveFolder = showSaveFolder;
    for (const auto& [folder, binder] : links) s.links.push_back({folder, binder, 2, "", "", 1});
    ASSERT_TRUE(SaveSortSettings(inst.settings(), s));
  }
  void Start() { engine = std::make_unique<Engine>(inst); }
  std::string Folder(const std::string& name) const { return inst.Path("sort/Lib/Cab/" + name); }
  static std::size_t Pages(const std::string& binder) { return test::BinderKeywords(binder).size(); }

  Installation inst;
  std::string other;
  std::unique_ptr<Engine> engine;
};

TEST_F(SortWatch, FileDroppedIntoALinkedFolderIsFiledIntoItsBinder) {
  SaveLinks({{Folder("Inbox"), inst.binder()}, {Folder("Other"), other}});
  testing::MakePdf(pf::JoinPath(Folder("Other"), "a.pdf"), 2);
  Start();
  engine->Cycle();

  EXPECT_EQ(Pages(other), 2u);
  EXPECT_EQ(Pages(inst.binder()), 0u);
  const std::string success = pf::JoinPath(Folder("Other"), "Success");
  EXPECT_TRUE(pf::IsFile(pf::JoinPath(test::DatedFolder(success), "a.pdf")));
  EXPECT_TRUE(pf::IsHidden(success)) << "ShowSaveFolder 0 hides the save folders the watch makes";
  const std::string csv = test::ReadTree(pf::JoinPath(inst.program(), "AutoImpInfo"), "ImpResult.csv");
  EXPECT_NE(csv.find(",Sort,"), std::string::npos) << csv;
  EXPECT_EQ(engine->frame.status.load(), kStatusOnline) << "the pass gives the status 4 back";
  EXPECT_EQ(ProfileRead("Option", "MonitorStatus", -1, inst.settings()), kStatusOnline);
}

TEST_F(SortWatch, SavedLinksAreTakenOverBeforeTheNextPass) {
  SaveLinks({{Folder("Inbox"), inst.binder()}});
  Start();
  engine->Cycle();
  EXPECT_EQ(ReadChangeFlag(inst.settings(), ChangeFlag::SortModified), 0);

  // The folder now files into the other binder; a file waits there already.
  SaveLinks({{Folder("Inbox"), other}}, 1);
  testing::MakePdf(pf::JoinPath(Folder("Inbox"), "b.pdf"), 1);
  engine->Cycle();
  EXPECT_EQ(ReadChangeFlag(inst.settings(), ChangeFlag::SortModified), 0);
  EXPECT_EQ(Pages(other), 1u);
  EXPECT_EQ(Pages(inst.binder()), 0u);
  EXPECT_FALSE(pf::IsHidden(pf::JoinPath(Folder("Inbox"), "Success"))) << "ShowSaveFolder 1 shows them";
}

TEST_F(SortWatch, ASortFolderThatDoesNotAnswerHoldsThePassBackAtItsRoot) {
  SaveLinks({{Folder("Inbox"), inst.binder()}, {Folder("Other"), other}});
  testing::MakePdf(pf::JoinPath(Folder("Inbox"), "a.pdf"), 1);
  const std::string root = inst.Path("sort");
  pf::SetPathStallForTesting([root](const std::string& p) { return p.rfind(root, 0) == 0; }, 200);
  Start();
  engine->Cycle();
  pf::SetPathStallForTesting(nullptr);
  EXPECT_EQ(Pages(inst.binder()), 0u);
  const std::string skips = test::ReadTree(pf::JoinPath(inst.program(), "AutoImpInfo"), "_skip");
  // One look at the root, not one wait per link below it.
  EXPECT_NE(skips.find("61050: "), std::string::npos) << skips;
  EXPECT_NE(skips.find(root), std::string::npos) << skips;
  EXPECT_EQ(skips.find(Folder("Inbox")), std::string::npos) << skips;
  EXPECT_FALSE(pf::Exists(pf::JoinPath(Folder("Inbox"), "Success")));
  engine->Cycle();
  EXPECT_EQ(Pages(inst.binder()), 1u) << "filed once the share answers";
}

TEST_F(SortWatch, RecreatedBinderIsToldByItsOwnStamp) {
  inst.SetOption("RecreateBinder", "0");
  inst.SetOption("BinderINISetDateSec", "BinderInfo");
  inst.SetOption("BinderINISetDateKey", "CreateTime");
  const std::string ini = pf::JoinPath(other, pf::LastComponent(other) + ".ini");
  ASSERT_TRUE(pf::ini::WriteString(ini, "BinderInfo", "CreateTime", "2023/11/14 09:00:00"));
  SaveLinks({{Folder("Other"), other}});
  testing::MakePdf(pf::JoinPath(Folder("Other"), "a.pdf"), 1);
  Start();
  engine->Cycle();
  EXPECT_EQ(Pages(other), 1u) << "the binder the link was saved with";

  // The binder made anew in the same folder ten minutes later.
  ASSERT_TRUE(pf::ini::WriteString(ini, "BinderInfo", "CreateTime", "2023/11/14 09:10:00"));
  testing::MakePdf(pf::JoinPath(Folder("Other"), "b.pdf"), 1);
  engine->Cycle();
  EXPECT_EQ(Pages(other), 1u);
  EXPECT_TRUE(pf::IsFile(pf::JoinPath(Folder("Other"), "b.pdf")));
  EXPECT_NE(test::ReadTree(inst.Path("trace"), "").find("Skip - Target binder is recreated"), std::string::npos);
}

TEST_F(SortWatch, CleanUpTakesAbsoluteFoldersOnlyAndWritesItsDatesOnce) {
  // A relative link folder and a link folder of the same name below the
  // working folder, each with a dated folder far past its term.
  const std::filesystem::path was = std::filesystem::current_path();
  pf::MakeFolders(inst.Path("cwd/rel/B/Success/20000105"));
  std::filesystem::current_path(inst.Path("cwd"));
  std::vector<std::pair<std::string, std::string>> links{{"rel/B", inst.binder()}};
  for (int k = 0; k < 30; ++k) {
    const std::string folder = inst.Path("sort/L/C/b" + std::to_string(k));
    pf::MakeFolders(pf::JoinPath(folder, "Success/20000105"));
    links.emplace_back(folder, inst.binder());
  }
  SaveLinks(links);
  Start();
  TakeOverSortSettings(engine->frame);

  const auto before = pf::ReplacementsOf(inst.settings());
  SortFolderPass(engine->frame);
  const auto firstPass = pf::ReplacementsOf(inst.settings()) - before;
  engine->frame.sort.lastCheck = 0;
  SortFolderPass(engine->frame);
  const auto secondPass = pf::ReplacementsOf(inst.settings()) - before - firstPass;
  std::filesystem::current_path(was);

  EXPECT_TRUE(pf::IsFolder(inst.Path("cwd/rel/B/Success/20000105"))) << "a relative folder is never cleaned";
  EXPECT_EQ(ProfileRead(kSortSection, "DeleteFolderDate1", "", inst.settings()), "");
  EXPECT_FALSE(pf::IsFolder(inst.Path("sort/L/C/b29/Success/20000105")));
  EXPECT_NE(ProfileRead(kSortSection, "DeleteFolderDate31", "", inst.settings()), "");
  EXPECT_EQ(firstPass, 1) << "the dates of one pass go out in one replacement";
  EXPECT_EQ(secondPass, 0);
}

}  // namespace
}  // namespace zv::monitor
