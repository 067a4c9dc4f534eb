// The fax watch through watch cycles on a fake clock: routing by mask and
// ownership, $FaxTmp and $ImpTmp, leftovers, the lock list, recursion,
// files still being written, links, a stop, filing into a plain folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>

#include "monitor/settings/lock_list.h"
#include "monitor/settings/status.h"
#include "monitor/watch/folder_check.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "support/watch_env.h"
#include "testing/files.h"

namespace zv::monitor {
namespace {

namespace pf = platform;
using testing::Names;
using testing::ReadText;
using testing::WriteText;

// The insertion as these tests see it: every hand-over is recorded as
// "<binder folder>:<file>"; `gHook` may answer instead (its result, or -2
// to go on as filed).
std::vector<std::string> gHanded;
std::function<int(const std::string& binder, const std::string& source)> gHook;
std::string gChosen;  // the binder search's choice, when set

int RecordingInsert(void*, char* binder, const char* source, int, int, int, int, char*, int, int* pageCount,
                    const char*, int, char*, int*, int, char*, int*, int, int, int*, const char*, int) {
  gHanded.push_back(pf::LastComponent(binder) + ":" + pf::LastComponent(source));
  *pageCount = 1;
  if (!gChosen.empty()) std::snprintf(binder, 260, "%s", gChosen.c_str());
  if (gHook) {
    const int r = gHook(binder, source);
    if (r != -2) return r;
  }
  return 0;
}

class Fax : public ::testing::Test {
 protected:
  void SetUp() override {
    gHanded.clear();
    gHook = nullptr;
    gChosen.clear();
    pf::MakeFolders(fax_);
    cabinet_ = inst.AddCabinet(inst.link(), "FaxLib", "FaxCab");
    inst.SetOption("FaxMonitorSet", "1");
    Set("Enabled", "1");
    Set("TarFolder", fax_);
    Set("move_succeeded", "0");
  }
  void Set(const std::string& key, const std::string& value) const {
    pf::ini::WriteString(inst.settings(), "FaxMonitor", key, value);
  }
  // The next numbered setting; its binder folder's name is `binder`.
  void AddSetting(const std::string& mask, const std::string& binder, bool enabled = true) {
    const std::string n = std::to_string(++settings_);
    Set("SetTotal", n);
    Set("bCheck" + n, enabled ? "1" : "0");
    Set("TargetName" + n, mask);
    Set("TarBinder" + n, Binder(binder));
  }
  void Other(const std::string& binder) {
    Set("OtherEnabled", "1");
    Set("OtherTarBinder", Binder(binder));
  }
  std::string Binder(const std::string& name) {
    if (!binders_.count(name)) {
      binders_.insert(name);
      const std::string made = inst.AddBinder(cabinet_, name);
      paths_[name] = made;
    }
    return paths_[name];
  }
  void Start() {
    engine = std::make_unique<test::Engine>(inst);
    engine->frame.insert = &RecordingInsert;
  }
  std::string F(const std::string& name) const { return pf::JoinPath(fax_, name); }
  std::string FaxTmp() const { return F("$FaxTmp"); }
  std::vector<std::string> Dated(const std::string& base) const {
    const std::string d = test::DatedFolder(base);
    return d.empty() ? std::vector<std::string>{} : Names(d);
  }
  std::string SkipLog() const { return test::ReadTree(pf::JoinPath(inst.program(), "AutoImpInfo"), "_skip"); }
  std::string Named(const std::string& binder, const std::string& file) {
    return pf::LastComponent(Binder(binder)) + ":" + file;
  }

  test::Installation inst;
  std::unique_ptr<test::Engine> engine;
  const std::string fax_ = inst.Path("fax");
  std::string cabinet_;
  int settings_ = 0;
  std::set<std::string> binders_;
  std::map<std::string, std::string> paths_;
};

TEST_F(Fax, FirstMatchOwnsTheDocumentEvenWhenItsSettingSkips) {
  inst.SetOption("RecreateBinder", "0");
  AddSetting("old*", "Gone");            // 1: its binder is removed below: recreated
  AddSetting("INV*.pdf", "Invoices");    // 2: busy in the first cycle
  AddSetting("*.pdf", "Papers");         // 3
  AddSetting("*.tif", "Images", false);  // 4: disabled
  AddSetting("", "Nothing");             // 5: enabled, no mask: matches nothing
  Other("Rest");
  pf::RemoveTree(Binder("Gone"));
  for (const char* n : {"old1.pdf", "inv1.pdf", "memo.pdf", "pic.tif", "notes"}) WriteText(F(n), n);
  gHook = [&](const std::string& binder, const std::string&) { return binder == Binder("Invoices") ? 1 : -2; };
  Start();
  engine->Cycle();
  std::vector<std::string> want = {Named("Invoices", "inv1.pdf"), Named("Papers", "memo.pdf"), Named("Rest", "notes"),
                                   Named("Rest", "pic.tif")};
  EXPECT_EQ(gHanded, want) << "old1.pdf and the busy inv1.pdf are nobody else's";
  EXPECT_EQ(Names(fax_), (std::vector<std::string>{"Success", "inv1.pdf", "old1.pdf"}));
  EXPECT_NE(SkipLog().find("62500: <0>[FAX]Re-create Binder at Target Binder(" + Binder("Gone")), std::string::npos);
  EXPECT_EQ(Dated(F("Success")), (std::vector<std::string>{"memo.pdf", "notes", "pic.tif"}));
  EXPECT_EQ(engine->frame.status.load(), kStatusOnline);

  gHook = nullptr;
  gHanded.clear();
  engine->Cycle();
  EXPECT_EQ(gHanded, std::vector<std::string>{Named("Invoices", "inv1.pdf")});
  EXPECT_EQ(Names(fax_), (std::vector<std::string>{"Success", "old1.pdf"}));
}

TEST_F(Fax, LeftoversGoBackUnderFreeNamesAndAreNeverDeleted) {
  AddSetting("a*.pdf", "A");
  Other("Rest");
  WriteText(F("a.pdf"), "first");
  // Busy while a second a.pdf arrives: the first goes back as a_001.pdf.
  gHook = [&](const std::string&, const std::string&) {
    if (!pf::Exists(F("a.pdf"))) WriteText(F("a.pdf"), "second");
    return 1;
  };
  Start();
  engine->Cycle();
  EXPECT_EQ(ReadText(F("a.pdf")), "second");
  EXPECT_EQ(ReadText(F("a_001.pdf")), "first");
  EXPECT_FALSE(pf::Exists(FaxTmp()));

  // Every name taken while both wait in $FaxTmp: the one that cannot go
  // back stays there, nothing is deleted.
  gHook = [&](const std::string&, const std::string&) {
    if (!pf::Exists(F("a.pdf"))) {
      WriteText(F("a.pdf"), "third");
      for (int i = 1; i <= 999; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "a_%03d.pdf", i);
        WriteText(F(name), "x");
      }
    }
    return 1;
  };
  engine->Cycle();
  EXPECT_EQ(Names(FaxTmp()), std::vector<std::string>{"a.pdf"});
  EXPECT_EQ(ReadText(pf::JoinPath(FaxTmp(), "a.pdf")), "second");
  EXPECT_EQ(ReadText(F("a_001_001.pdf")), "first");
  EXPECT_EQ(Names(fax_).size(), 1 + 1000 + 1u) << "$FaxTmp, the 1,000 new files, a_001_001.pdf";

  // The kept $FaxTmp is worked first, on its own.
  for (const auto& n : Names(fax_))
    if (n.rfind("a_", 0) == 0 && n != "a_001_001.pdf") pf::RemoveFile(F(n));
  pf::RemoveFile(F("a.pdf"));
  gHook = nullptr;
  gHanded.clear();
  engine->Cycle();
  EXPECT_EQ(gHanded, std::vector<std::string>{Named("A", "a.pdf")});
  EXPECT_FALSE(pf::Exists(FaxTmp()));
  EXPECT_EQ(ReadText(pf::JoinPath(test::DatedFolder(F("Success")), "a.pdf")), "second");
  EXPECT_EQ(ReadText(F("a_001_001.pdf")), "first");
}

TEST_F(Fax, LockListedDocumentIsNotImportedTwiceAcrossCycles) {
  AddSetting("x*.pdf", "X");
  Other("Rest");
  WriteText(F("x.pdf"), "x");
  // Held right after its import: it cannot go to Success and is listed.
  pf::HeldLock holder;
  gHook = [&](const std::string&, const std::string& source) {
    holder = pf::HeldLock::TryAcquire(source);
    return -2;
  };
  Start();
  engine->Cycle();
  ASSERT_TRUE(holder.valid());
  ASSERT_TRUE(pf::Exists(F("x.pdf")));
  gHook = nullptr;
  // Other documents come and go beside it while it is held.
  for (int cycle = 0; cycle < 2; ++cycle) {
    WriteText(F("y" + std::to_string(cycle) + ".pdf"), "y");
    engine->Cycle();
  }
  holder.CloseOnly();
  engine->Cycle();
  EXPECT_EQ(gHanded, (std::vector<std::string>{Named("X", "x.pdf"), Named("Rest", "y0.pdf"), Named("Rest", "y1.pdf")}));
  EXPECT_EQ(Dated(F("Success")), (std::vector<std::string>{"x.pdf", "y0.pdf", "y1.pdf"}));
  EXPECT_TRUE(ReadLockList(inst.settings()).empty());
}

TEST_F(Fax, ReadOnlyFaxFolderIsStagedThroughImpTmp) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes read-only folders";
  AddSetting("*.pdf", "P");
  Other("Rest");
  Set("SucceededFolder", inst.Path("done"));
  Set("FailedFolder", inst.Path("failed"));
  WriteText(F("r.pdf"), "r");
  pf::SetReadOnly(fax_, true);
  Start();
  engine->Cycle();
  engine->Cycle();
  EXPECT_EQ(gHanded, std::vector<std::string>{Named("P", "r.pdf")}) << "once, from the staged copy";
  EXPECT_EQ(Dated(inst.Path("done")), std::vector<std::string>{"r.pdf"});
  EXPECT_FALSE(pf::Exists(engine->frame.stagingFolder));
  EXPECT_EQ(Names(fax_), std::vector<std::string>{"r.pdf"}) << "the original is untouched";
  pf::SetReadOnly(fax_, false);
  engine->Cycle();
  EXPECT_EQ(gHanded.size(), 1u);
  EXPECT_FALSE(pf::Exists(F("r.pdf")));
}

TEST_F(Fax, SubfoldersToTheDepthLimitWithTheirOwnSaveFolders) {
  Set("bRecursive", "1");
  inst.SetOption("MaxRecursive", "3");
  AddSetting("*.pdf", "P");
  for (const char* p :
       {"a.pdf", "sub/b.pdf", "sub/deeper/c.pdf", "sub/deeper/deepest/d.pdf", "Success/s.pdf", "sub/Fail/f.pdf"}) {
    pf::MakeFolders(pf::ParentFolder(F(p)));
    WriteText(F(p), p);
  }
  Start();
  engine->Cycle();
  // Two levels below the fax folder; save folders are never walked.
  EXPECT_EQ(gHanded, (std::vector<std::string>{Named("P", "a.pdf"), Named("P", "b.pdf"), Named("P", "c.pdf")}));
  EXPECT_EQ(Dated(F("sub/Success")), std::vector<std::string>{"b.pdf"});
  EXPECT_EQ(Dated(F("sub/deeper/Success")), std::vector<std::string>{"c.pdf"});
  EXPECT_TRUE(pf::Exists(F("sub/deeper/deepest/d.pdf")));
  EXPECT_TRUE(pf::Exists(F("Success/s.pdf")));
  EXPECT_TRUE(pf::Exists(F("sub/Fail/f.pdf")));
}

TEST_F(Fax, FileStillBeingWrittenOrALinkIsNeverFiled) {
  AddSetting("*.pdf", "P");
  Other("Rest");
  WriteText(inst.Path("secret.pdf"), "secret");
  ASSERT_EQ(::symlink(inst.Path("secret.pdf").c_str(), F("link.pdf").c_str()), 0);
  WriteText(F("w.pdf"), "partial");
  // A receiver still writing the fax, in its own process.
  pf::Process writer = pf::Process::Spawn("/bin/sh", {"-c", "exec 3>>\"$0\"; exec sleep 60", F("w.pdf")});
  ASSERT_TRUE(writer.valid());
  pf::ExclusiveOpenProbe probe;
  for (int i = 0; i < 100 && probe.CanOpenExclusively(F("w.pdf")); ++i) usleep(20000);
  ASSERT_FALSE(probe.CanOpenExclusively(F("w.pdf")));
  const auto before = pf::Stamp(F("w.pdf"));
  Start();
  engine->Cycle();
  EXPECT_TRUE(gHanded.empty());
  EXPECT_EQ(pf::Stamp(F("w.pdf"))->ctimeNs, before->ctimeNs) << "not even moved to and fro";
  EXPECT_EQ(Names(fax_), (std::vector<std::string>{"link.pdf", "w.pdf"})) << "neither moved nor filed";
  writer.Terminate();
  engine->Cycle();
  EXPECT_EQ(gHanded, std::vector<std::string>{Named("P", "w.pdf")});
  EXPECT_TRUE(pf::IsSymlink(F("link.pdf")));
  EXPECT_EQ(ReadText(inst.Path("secret.pdf")), "secret");

  // A link planted as $FaxTmp never takes documents out of the folder.
  pf::MakeFolders(inst.Path("elsewhere"));
  ASSERT_EQ(::symlink(inst.Path("elsewhere").c_str(), FaxTmp().c_str()), 0);
  WriteText(F("z.pdf"), "z");
  engine->Cycle();
  EXPECT_EQ(gHanded.size(), 1u);
  EXPECT_TRUE(pf::Exists(F("z.pdf")));
  EXPECT_TRUE(Names(inst.Path("elsewhere")).empty());
}

TEST_F(Fax, StopBetweenTwoSettingsHolds) {
  AddSetting("a*", "A");
  AddSetting("b*", "B");
  Other("Rest");
  WriteText(F("a.pdf"), "a");
  WriteText(F("b.pdf"), "b");
  Start();
  // "Stop" from the tray while the first document is filed.
  gHook = [&](const std::string&, const std::string&) {
    engine->frame.status.store(kStatusStopped);
    return -2;
  };
  engine->Cycle();
  EXPECT_EQ(gHanded, std::vector<std::string>{Named("A", "a.pdf")});
  EXPECT_EQ(engine->frame.status.load(), kStatusStopped);
  EXPECT_EQ(Names(fax_), (std::vector<std::string>{"Success", "b.pdf"})) << "put back, not filed";
  engine->Cycle();
  EXPECT_EQ(gHanded.size(), 1u);
}

TEST_F(Fax, ModeOneCopiesIntoAPlainFolderUnderAFreeName) {
  AddSetting("p*.pdf", "unused");
  Set("ImpMode1", "1");
  const std::string plain = inst.Path("plain");
  Set("TarBinder1", plain);
  AddSetting("q*.pdf", "unused");
  Set("ImpMode2", "1");
  Set("TarBinder2", inst.Path("missing"));
  Set("Print1", "2");
  Set("Print2", "1");
  pf::MakeFolders(plain);
  WriteText(pf::JoinPath(plain, "p.pdf"), "old");
  WriteText(pf::JoinPath(plain, "p_002.pdf"), "old");
  WriteText(F("p.pdf"), "new");
  WriteText(F("q.pdf"), "q");
  // The fax folder's daily clean-up on the first cycle: 30 days kept.
  Start();
  const std::int64_t now = pf::UnixSeconds();
  pf::MakeFolders(pf::JoinPath(F("Success"), DayText(now - 40 * 86400)));
  pf::MakeFolders(pf::JoinPath(F("Fail"), DayText(now - 20 * 86400)));
  std::vector<std::string> printed;  // "<mode>:<content>", the copy gone afterwards
  engine->frame.print = [&](const std::string& copy, int mode) {
    printed.push_back(std::to_string(mode) + ":" + ReadText(copy));
    return true;
  };
  engine->Cycle();
  EXPECT_EQ(printed, std::vector<std::string>{"2:new"}) << "the filed one printed, the failed one not";
  EXPECT_EQ(test::ReadTree(pf::JoinPath(pf::TempFolder(), "Hopvale"), ""), "") << "print copy deleted";
  EXPECT_TRUE(gHanded.empty()) << "no binder insertion";
  EXPECT_EQ(ReadText(pf::JoinPath(plain, "p_003.pdf")), "new");
  EXPECT_EQ(Dated(F("Success")), std::vector<std::string>{"p.pdf"});
  EXPECT_EQ(Names(F("Success")), std::vector<std::string>{DayText(now)});
  EXPECT_EQ(Names(F("Fail")), (std::vector<std::string>{DayText(now - 20 * 86400), DayText(now)}));
  EXPECT_EQ(Names(pf::JoinPath(F("Fail"), DayText(now))), std::vector<std::string>{"q.pdf"}) << "kept, not deleted";
  EXPECT_EQ(test::ReadTree(pf::JoinPath(inst.program(), "Rslt"), "ImpRslt_"), "") << "no result file";
}

TEST_F(Fax, AFaxFolderOnAShareThatDoesNotAnswerIsLeftForTheCycle) {
  AddSetting("*.pdf", "A");
  WriteText(F("a.pdf"), "a");
  // The fax folder's share hangs; only the probe's limit is waited for.
  pf::SetPathStallForTesting([this](const std::string& p) { return p.rfind(fax_, 0) == 0; }, 200);
  Start();
  engine->Cycle();
  pf::SetPathStallForTesting(nullptr);
  ASSERT_EQ(engine->frame.fax.onNetwork, 1) << "a folder that does not answer counts as network";
  EXPECT_TRUE(gHanded.empty());
  EXPECT_EQ(Names(fax_), std::vector<std::string>{"a.pdf"}) << "no work folder, no save folder, no clean-up";
  EXPECT_NE(SkipLog().find("62120: "), std::string::npos) << SkipLog();
  engine->Cycle();
  EXPECT_EQ(gHanded, std::vector<std::string>{Named("A", "a.pdf")}) << "filed once the share answers";
}

TEST_F(Fax, BinderSearchIsWrittenBackAndReadAtTheNextCycleStart) {
  inst.SetOption("DisableSearchBinder", "1");
  AddSetting("*.pdf", "Full");
  Set("SearchBinder1", "1");
  WriteText(F("a.pdf"), "a");
  gChosen = Binder("Next");
  Start();
  engine->Cycle();
  EXPECT_EQ(pf::ini::GetString(inst.settings(), "FaxMonitor", "TarBinder1", ""), Binder("Next"));
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "FaxModified", 0), 1);
  gChosen.clear();
  gHanded.clear();
  WriteText(F("b.pdf"), "b");
  engine->Cycle();
  EXPECT_EQ(gHanded, std::vector<std::string>{Named("Next", "b.pdf")});
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "FaxModified", 1), 0);
}

}  // namespace
}  // namespace zv::monitor
