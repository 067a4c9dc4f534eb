// The collation pass: result files to ListData.ini, to the users' inboxes in
// the shared link folder, to each user's local list -- across processes,
// computers and crashes.
#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <set>
#include <thread>

#include "companion/services.h"
#include "implist/collate.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/temp_dir.h"

namespace zv::implist {
namespace {

namespace ini = platform::ini;
using testing::Names;

const std::string kHelper = std::string(ZV_TEST_TOOLS_DIR) + "/implist_helper";
// One base second for every computer, an hour ago.
const std::int64_t kBase = platform::UnixSeconds() - 3600;

// The local time stamp of kBase + offset.
std::string StampAt(int offset) {
  const std::time_t t = static_cast<std::time_t>(kBase + offset);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
  return buf;
}

// One computer: its own program folder, viewer folder (listing the shared
// link folder), settings and temporary folders; `Run` starts the helper there.
struct Computer {
  std::string root, user, link;
  Computer(const std::string& dir, std::string u, std::string l, int dispListMax)
      : root(dir), user(std::move(u)), link(std::move(l)) {
    for (const char* f : {"/program/Rslt", "/tmp", "/run", "/appdata/zorvan", "/viewer"})
      platform::MakeFolders(root + f);
    ini::WriteString(root + "/program/EnvSetInfo.ini", "Option", "LastImpTime", "");
    ini::WriteString(root + "/appdata/zorvan/UserSettings.ini", "Product", "User", user);
    ini::WriteString(root + "/viewer/FolderList.ini", "Folder", "LinkFolder1", link);
    ini::WriteInt(root + "/program/Quibbin.ini", "ImpListSettings", "DispListMax", dispListMax);
  }
  std::string local() const { return root + "/program/Rslt/ImpListData.ini"; }
  testing::RunResult Run(const std::vector<std::string>& args) const {
    return testing::RunProgram(
        kHelper, args,
        {"ZORVAN_PROGRAM_DIR=" + root + "/program", "ZORVAN_VIEWER_DIR=" + root + "/viewer",
         "XDG_CONFIG_HOME=" + root + "/appdata", "TMPDIR=" + root + "/tmp", "XDG_RUNTIME_DIR=" + root + "/run"});
  }
  testing::RunResult Write(int first, int count, const std::string& pc) const {
    return Run({"write", std::to_string(first), std::to_string(count), std::to_string(kBase), pc, link});
  }
  testing::RunResult Collect(int passes) const { return Run({"collect", std::to_string(passes)}); }
};

// How often each import (computer, file) is in a list file.
std::map<std::string, int> Imports(const std::string& file) {
  ini::ClearCache();
  std::map<std::string, int> out;
  for (const auto& s : ini::SectionNames(file)) {
    Record r;
    if (ReadRecord(file, s, r)) ++out[r.Get("ParentPCName") + ":" + r.Get("File")];
  }
  return out;
}

std::map<std::string, int> Expected(const std::vector<std::string>& pcs, int count, bool taro) {
  std::map<std::string, int> out;
  for (const auto& pc : pcs)
    for (int i = 0; i < count; ++i)
      if (i % 3 == 2 || (i % 3 == 0) == taro) out[pc + ":/scan/" + pc + "/" + std::to_string(i) + ".pdf"] = 1;
  return out;
}

std::vector<std::string> Leftovers(const std::string& folder, std::string_view prefix) {
  std::vector<std::string> out;
  for (const auto& n : Names(folder))
    if (n.starts_with(prefix)) out.push_back(n);
  return out;
}

// 200 imports on each of two computers (same seconds on both, so section
// names collide in the shared inboxes), written while both collate.
TEST(Collate, TwoComputersShareOneLinkFolder) {
  testing::TempDir dir;
  const std::string link = dir / "share/Link";
  platform::MakeFolders(link);
  Computer a(dir / "a", "Taro", link, 1000), b(dir / "b", "Hanako", link, 1000);
  std::vector<std::thread> threads;
  for (const Computer* c : {&a, &b}) {
    const std::string pc = c == &a ? "A" : "B";
    threads.emplace_back([c, pc] { EXPECT_EQ(c->Write(0, 200, pc).exitCode, 0); });
    threads.emplace_back([c] { EXPECT_EQ(c->Collect(25).exitCode, 0); });
  }
  for (auto& t : threads) t.join();
  for (const Computer* c : {&a, &b, &a}) ASSERT_EQ(c->Collect(1).exitCode, 0);

  EXPECT_EQ(Imports(a.local()), Expected({"A", "B"}, 200, true));
  EXPECT_EQ(Imports(b.local()), Expected({"A", "B"}, 200, false));
  EXPECT_EQ(Leftovers(link + "/Rslt", "ImpListData_"), std::vector<std::string>{});
  for (const Computer* c : {&a, &b})
    EXPECT_EQ(
        Leftovers(c->root + "/program/Rslt", "ImpRslt_").size() + Leftovers(c->root + "/program/Rslt", "List").size(),
        0u);
}

// A collator killed at each commit point loses and doubles nothing: the next
// pass completes its work.
class CollateKill : public ::testing::TestWithParam<const char*> {};

TEST_P(CollateKill, NextPassCompletesTheWork) {
  testing::TempDir dir;
  const std::string link = dir / "Link";
  platform::MakeFolders(link);
  const bool trim = std::string_view(GetParam()) == "trimmed";
  Computer a(dir / "a", "Taro", link, trim ? 5 : 1000);
  ASSERT_EQ(a.Write(0, 30, "A").exitCode, 0);
  const auto killed = a.Run({"collect", "1", GetParam(), "1"});
  EXPECT_EQ(killed.exitCode, 128 + 9) << killed.err;
  ASSERT_EQ(a.Collect(1).exitCode, 0);

  EXPECT_EQ(Leftovers(a.root + "/program/Rslt", "ImpRslt_"), std::vector<std::string>{});
  EXPECT_FALSE(platform::Exists(a.root + "/program/Rslt/ListData.ini"));
  EXPECT_FALSE(platform::Exists(a.root + "/program/Rslt/~ImpListData_ini.temp"));
  EXPECT_EQ(Imports(link + "/Rslt/ImpListData_Hanako.ini"), Expected({"A"}, 30, false));
  if (!trim) {
    EXPECT_EQ(Imports(a.local()), Expected({"A"}, 30, true));
    return;
  }
  // Trimmed to the five newest of Taro's imports.
  std::map<std::string, int> newest;
  for (int i : {29, 27, 26, 24, 23}) newest["A:/scan/A/" + std::to_string(i) + ".pdf"] = 1;
  EXPECT_EQ(Imports(a.local()), newest);
}

INSTANTIATE_TEST_SUITE_P(Steps, CollateKill, ::testing::Values("gathered", "delivered", "drained", "trimmed"));

// In-process passes on one installation with user Taro and one link folder.
class CollatePass : public ::testing::Test {
 protected:
  void SetUp() override {
    link_ = inst_.AddLinkFolder("Link");
    inst_.WriteSettings({{"LastImpTime", "29991231235959"}});
    ini::WriteString(inst_.userSettings(), "Product", "User", "Taro");
    ini::WriteInt(inst_.program() + "/Quibbin.ini", "ImpListSettings", "LockInterVal", 1);
    platform::MakeFolders(inst_.program() + "/Rslt");
    platform::MakeFolders(link_ + "/Rslt");
  }
  // A result file as the monitor leaves it.
  void Result(const std::string& stamp, const std::string& users, const std::string& linkPath,
              const std::string& file) {
    const std::string path = inst_.program() + "/Rslt/ImpRslt_" + stamp + ".ini";
    for (const auto& [k, v] : std::vector<std::pair<std::string, std::string>>{{"Time", stamp},
                                                                               {"HostName", "fs"},
                                                                               {"File", file},
                                                                               {"Name", file},
                                                                               {"Result", "1"},
                                                                               {"LinkFolderPath", linkPath},
                                                                               {"SetNumber", "1"},
                                                                               {"ImpUser1", users},
                                                                               {"ImpMode", "0"}})
      ini::WriteString(path, "Rslt", k, v);
  }
  PassResult Pass() {
    ini::ClearCache();
    return RunPass(SurveyConfig::Load(), stop_);
  }
  std::string Local() const { return inst_.program() + "/Rslt/ImpListData.ini"; }

  testing::Installation inst_;
  std::string link_;
  std::atomic<bool> stop_{false};
};

TEST_F(CollatePass, InboxLockHeldPastTheTimeOutIsRetriedLater) {
  Result(StampAt(0), "Taro,Hanako,", link_, "f1");
  platform::HeldLock held = platform::HeldLock::TryAcquire(link_ + "/Rslt/~ImpListData_Hanako.Locked");
  ASSERT_TRUE(held);
  PassResult r = Pass();
  EXPECT_EQ(r.failedUsers, std::vector<std::string>{"Hanako"});
  EXPECT_EQ(r.taken, 1);
  EXPECT_TRUE(platform::Exists(held.path()));  // never deleted by the pass that did not hold it
  EXPECT_EQ(ini::GetString(inst_.program() + "/Rslt/ListData.ini",
                           ini::SectionNames(inst_.program() + "/Rslt/ListData.ini").at(0), "PendingUsers"),
            "Hanako,");

  held.Release();
  r = Pass();
  EXPECT_TRUE(r.failedUsers.empty());
  EXPECT_EQ(r.taken, 0);  // Taro had it already
  const std::string inbox = link_ + "/Rslt/ImpListData_Hanako.ini";
  ASSERT_EQ(ini::SectionNames(inbox).size(), 1u);
  EXPECT_EQ(ini::GetString(inbox, ini::SectionNames(inbox)[0], "ImpUser1"), "Taro,Hanako,");
  EXPECT_EQ(ini::GetString(inbox, ini::SectionNames(inbox)[0], "PendingUsers", "none"), "none");
  EXPECT_FALSE(platform::Exists(inst_.program() + "/Rslt/ListData.ini"));
  EXPECT_EQ(Imports(Local()).size(), 1u);
}

TEST_F(CollatePass, HostileNamesPlacesAndUnfinishedFiles) {
  const std::string outside = inst_.Path("outside");
  platform::MakeFolders(outside);
  Result(StampAt(0), "../x,a/b,..,Ta\\ro,<x>,Hanako,", link_, "f1");
  Result(StampAt(1), "Taro,Jiro,", outside, "f2");  // not a link folder of this computer
  Result(StampAt(2), "Taro,", "", "f3");            // work desk
  const std::string empty = inst_.program() + "/Rslt/ImpRslt_20260101100003.ini";
  const std::string half = inst_.program() + "/Rslt/ImpRslt_20260101100004.ini";
  testing::WriteText(empty, "");
  testing::WriteText(half, "[Rslt]\nName=half\n");
  testing::SetAge(empty, 61 * 86400);
  Pass();

  EXPECT_EQ(Names(link_ + "/Rslt"), std::vector<std::string>{"ImpListData_Hanako.ini"});
  EXPECT_EQ(Names(outside), std::vector<std::string>{});
  EXPECT_EQ(Imports(Local()), (std::map<std::string, int>{{":f2", 1}, {":f3", 1}}));
  EXPECT_FALSE(platform::Exists(empty));
  EXPECT_TRUE(platform::Exists(empty + ".bad"));
  EXPECT_TRUE(platform::Exists(half));  // not old yet: left for the writer

  // An invalid own name turns draining off; the validator's bounds.
  ini::WriteString(inst_.userSettings(), "Product", "User", "a/b");
  EXPECT_EQ(companion::ThisUserName(), "");
  ini::WriteString(inst_.userSettings(), "Product", "User", "");
  ini::WriteString(inst_.settings(), "Product", "User", "Hanako");
  EXPECT_EQ(companion::ThisUserName(), "Hanako");
  EXPECT_TRUE(companion::IsValidUserName("山田太郎"));
  EXPECT_FALSE(companion::IsValidUserName("山田太郎山田太郎山田太郎"));  // 24 columns
  EXPECT_FALSE(companion::IsValidUserName("a\tb"));
}

TEST_F(CollatePass, CaseVariantsOfAnInbox) {
  for (const char* v : {"Taro", "taro"}) {
    const std::string f = link_ + "/Rslt/ImpListData_" + std::string(v) + ".ini";
    for (const auto& [k, val] : std::vector<std::pair<std::string, std::string>>{
             {"Time", StampAt(0)}, {"HostName", "fs"}, {"File", v}, {"Name", v}, {"ImpUser1", "Taro,"}})
      ini::WriteString(f, std::to_string(kBase) + "_1", k, val);
  }
  testing::WriteText(link_ + "/Rslt/ImpListData_hanako.ini", "");
  Result(StampAt(5), "HANAKO,", link_, "f1");
  Pass();

  EXPECT_EQ(Imports(Local()), (std::map<std::string, int>{{":Taro", 1}, {":taro", 1}}));
  EXPECT_EQ(Names(link_ + "/Rslt"), std::vector<std::string>{"ImpListData_hanako.ini"});
  EXPECT_EQ(Imports(link_ + "/Rslt/ImpListData_hanako.ini"), (std::map<std::string, int>{{":f1", 1}}));
}

// A record of `days` days ago (plus `minutes`) in a list file.
void Aged(const std::string& file, int days, int minutes, const std::string& name) {
  Record r;
  const std::time_t t = static_cast<std::time_t>(platform::UnixSeconds() - days * 86400 - minutes * 60 - 60);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
  r.keys = {{"Time", buf}, {"HostName", "fs"}, {"File", name}, {"Name", name}};
  ASSERT_FALSE(AppendRecord(file, r, 1).empty());
}

std::set<std::string> Files(const std::string& file) {
  std::set<std::string> out;
  for (const auto& [k, n] : Imports(file)) out.insert(k.substr(1));
  return out;
}

TEST_F(CollatePass, TrimmingAndAgeing) {
  const std::string local = Local();
  {
    ini::WriteGroup g(local);
    for (int k = 0; k < 120; ++k) Aged(local, 0, k, "r" + std::to_string(k));
  }
  EXPECT_EQ(CleanupListDataIni(local, 0, 50), 0);
  EXPECT_EQ(CleanupListDataIni(local, 50, 1501), 0);
  ASSERT_EQ(CleanupListDataIni(local, 50, 50), 1);
  std::set<std::string> newest;
  for (int k = 0; k < 50; ++k) newest.insert("r" + std::to_string(k));
  EXPECT_EQ(Files(local), newest);

  // Inboxes: this user's own period; other users' never below 60 days.
  const std::string own = link_ + "/Rslt/ImpListData_Taro.ini", other = link_ + "/Rslt/ImpListData_Hanako.ini";
  Aged(own, 10, 0, "own10");
  Aged(own, 40, 0, "own40");
  Aged(other, 40, 0, "other40");
  Aged(other, 70, 0, "other70");
  ini::WriteInt(inst_.program() + "/Quibbin.ini", "ImpListSettings", "FileHoldPeriod", 0);
  EXPECT_EQ(DeleteNonRefListData(SurveyConfig::Load(), stop_), 0);  // 0 keeps
  ini::WriteInt(inst_.program() + "/Quibbin.ini", "ImpListSettings", "FileHoldPeriod", 30);
  EXPECT_EQ(DeleteNonRefListData(SurveyConfig::Load(), stop_), 2);
  EXPECT_EQ(Files(own), std::set<std::string>{"own10"});
  EXPECT_EQ(Files(other), std::set<std::string>{"other40"});

  Aged(local, 31, 0, "old");
  EXPECT_EQ(CleanImpListData(SurveyConfig::Load()), 1);
  EXPECT_EQ(Files(local), newest);

  Record sent, imported;
  sent.keys = {{"ImpMode", "1"}, {"SetNumber", "7"}};
  imported.keys = {{"ImpMode", "0"}, {"SetNumber", "3"}};
  EXPECT_TRUE(RecordShown(sent, ""));
  EXPECT_TRUE(RecordShown(imported, "1,3,"));
  EXPECT_FALSE(RecordShown(imported, "1,33,"));
}

// The worker loop announces news, runs a pass at once when asked, and a
// stop ends it promptly even while it waits for an inbox lock.
TEST_F(CollatePass, SurveyLoopAnnouncesAndStopsPromptly) {
  ini::WriteInt(inst_.program() + "/Quibbin.ini", "ImpListSettings", "LockInterVal", 60);
  Result(StampAt(0), "Taro,", link_, "f1");
  std::atomic<int> news{0};
  std::atomic<bool> runNow{false};
  SurveyHooks hooks{
      .mayRun = [] { return true; }, .onNews = [&](const PassResult& r) { news += r.taken; }, .runNow = &runNow};
  std::thread worker([&] { RunFileSurvey(stop_, hooks); });
  for (int i = 0; i < 100 && news == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(news, 1);

  platform::HeldLock held = platform::HeldLock::TryAcquire(link_ + "/Rslt/~ImpListData_Hanako.Locked");
  Result(StampAt(1), "Hanako,", link_, "f2");
  runNow = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  const std::int64_t before = platform::SteadyMs();
  stop_ = true;
  worker.join();
  EXPECT_LT(platform::SteadyMs() - before, 1500);
  EXPECT_EQ(Files(inst_.program() + "/Rslt/ListData.ini"), std::set<std::string>{"f2"});  // still owed
}

}  // namespace
}  // namespace zv::implist
