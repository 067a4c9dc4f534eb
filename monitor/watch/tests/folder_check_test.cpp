// The watch engine on a private installation, through watch cycles with a
// fake clock: filing, the move rules, the lock list, the skips, crash recovery.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "companion/common.h"
#include "dravel/pipeline.h"
#include "monitor/settings/lock_list.h"
#include "monitor/settings/status.h"
#include "monitor/watch/checks.h"
#include "monitor/watch/folder_check.h"
#include "platform/attributes.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "support/watch_env.h"
#include "testing/files.h"
#include "testing/pdf.h"

namespace zv::monitor {
namespace {

using test::Engine;
using test::Installation;
namespace pf = platform;

// The insertion as the tests see it: a hook around the real one.
std::function<int(char* binder, const char* source)> gBefore;  // non-zero result: returned instead
std::function<void(const char* source, int result)> gAfter;
int gCalls = 0;

int HookedInsert(void* owner, char* binder, const char* source, int dataChange, int index, int insertPos, int a3b4,
                 char* printCopy, int printFlag, int* pageCount, const char* keyword, int service, char* message,
                 int* reserved, int vlCode, char* title, int* errorCode, int contentsAdd, int securePdfMode,
                 int* securedFlag, const char* extraKeyword, int searchVariant) {
  ++gCalls;
  if (gBefore) {
    if (int r = gBefore(binder, source); r != 0) return r == 99 ? 0 : r;
  }
  const int r = InsertFileToBinder(owner, binder, source, dataChange, index, insertPos, a3b4, printCopy, printFlag,
                                   pageCount, keyword, service, message, reserved, vlCode, title, errorCode,
                                   contentsAdd, securePdfMode, securedFlag, extraKeyword, searchVariant);
  if (gAfter) gAfter(source, r);
  return r;
}

class Watch : public ::testing::Test {
 protected:
  void SetUp() override {
    gBefore = nullptr;
    gAfter = nullptr;
    gCalls = 0;
  }
  void Start() {
    engine = std::make_unique<Engine>(inst);
    engine->frame.insert = &HookedInsert;
  }
  std::string Scan(const std::string& name) const { return pf::JoinPath(inst.target(), name); }
  std::string Success() const { return test::DatedFolder(pf::JoinPath(inst.target(), "Success")); }
  std::string Fail() const { return test::DatedFolder(pf::JoinPath(inst.target(), "Fail")); }
  std::string SkipLog() const { return test::ReadTree(pf::JoinPath(inst.program(), "AutoImpInfo"), "_skip"); }
  std::size_t Pages() const { return test::BinderKeywords(inst.binder()).size(); }

  Installation inst;
  std::unique_ptr<Engine> engine;
};

TEST_F(Watch, FilesDocumentsAndKeepsEveryRecord) {
  testing::MakePdf(Scan("a.pdf"), 2);
  Start();
  engine->Cycle();
  // Pages keyed with the import time stamp, source in the dated Success folder.
  const auto keywords = test::BinderKeywords(inst.binder());
  ASSERT_EQ(keywords.size(), 2u);
  const std::string stamp = keywords[0].substr(0, 14);
  EXPECT_EQ(keywords[0].rfind(stamp + "_1", 0), 0u);
  ASSERT_FALSE(Success().empty());
  EXPECT_EQ(pf::LastComponent(Success()), stamp.substr(0, 8));
  EXPECT_EQ(testing::Names(Success()), std::vector<std::string>{"a.pdf"});
  EXPECT_FALSE(pf::Exists(Scan("a.pdf")));
  // Result file, import list, activity log, host name of the link folder.
  const std::string result = test::ReadTree(pf::JoinPath(inst.program(), "Rslt"), "ImpRslt_" + stamp);
  EXPECT_NE(result.find("Result=1"), std::string::npos);
  EXPECT_NE(result.find("ImpUser1=tester,"), std::string::npos);
  EXPECT_NE(test::ReadTree(pf::JoinPath(inst.program(), "AutoImpInfo"), "ImpResult.csv").find("/a.pdf"),
            std::string::npos);
  EXPECT_NE(test::ReadTree(inst.program(), "Hopvale_").find(",IMP,Scans," + inst.target() + ",a.pdf,OK,"),
            std::string::npos);
  EXPECT_NE(test::ReadTree(pf::JoinPath(inst.link(), "Rslt"), "ImpHostname.ini").find("HostName="), std::string::npos);
  EXPECT_TRUE(ReadLockList(inst.settings()).empty());
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "MonitorStatus", -1), 0);

  // The same name again goes in as a_002.pdf.
  testing::MakePdf(Scan("a.pdf"), 1);
  engine->Cycle();
  EXPECT_EQ(Pages(), 3u);
  EXPECT_EQ(testing::Names(Success()), (std::vector<std::string>{"a.pdf", "a_002.pdf"}));
}

TEST_F(Watch, NameLengthLimitAndIneligibleFiles) {
  // Folder path plus name (without the separator): 258 bytes imported, 259 skipped.
  const std::size_t room = 258 - inst.target().size();
  const std::string ok = std::string(room - 4, 'k') + ".pdf";
  const std::string tooLong = std::string(room - 3, 'l') + ".pdf";
  testing::MakePdf(Scan(ok), 1);
  testing::MakePdf(Scan(tooLong), 1);
  std::vector<std::string> handed;
  gBefore = [&](char*, const char* source) {
    handed.push_back(source);
    return 99;  // filed (the library's own work path limit is its business)
  };
  Start();
  engine->Cycle();
  EXPECT_EQ(handed, std::vector<std::string>{Scan(ok)});
  EXPECT_TRUE(pf::Exists(Scan(tooLong)));
  EXPECT_NE(SkipLog().find("63050: <1>[File]Too long filename(" + Scan(tooLong)), std::string::npos);
}

TEST_F(Watch, HiddenReadOnlyAndExceptedFilesAreNeverHandedOver) {
  inst.SetOption("SkipLogInterval", "0");
  pf::ini::WriteString(inst.settings(), "exceptExt", "FileCount", "1");
  pf::ini::WriteString(inst.settings(), "exceptExt", "File1", "TMP");
  testing::MakePdf(Scan(".hidden.pdf"), 1);
  testing::MakePdf(Scan("ro.pdf"), 1);
  pf::SetReadOnly(Scan("ro.pdf"), true);
  testing::MakePdf(Scan("part.tmp"), 1);
  Start();
  std::uint64_t total = 0;
  EXPECT_EQ(CheckFileExists(engine->frame, inst.target(), 0, total), 0);
  engine->Cycle();
  EXPECT_EQ(gCalls, 0);
  EXPECT_EQ(SkipLog(), "");
  EXPECT_EQ(testing::Names(inst.target()).size(), 3u);
}

TEST_F(Watch, LockListCycleNeverImportsTwice) {
  // The source is held open by another writer right after its import: it
  // cannot be moved, goes to the lock list and is not imported again.
  pf::HeldLock holder;
  gAfter = [&](const char* source, int) { holder = pf::HeldLock::TryAcquire(source); };
  testing::MakePdf(Scan("held.pdf"), 1);
  Start();
  engine->Cycle();
  ASSERT_TRUE(holder.valid());
  EXPECT_EQ(Pages(), 1u);
  auto list = ReadLockList(inst.settings());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].file, Scan("held.pdf"));
  EXPECT_EQ(list[0].readState, 3);
  EXPECT_EQ(list[0].result, 0);

  gAfter = nullptr;
  engine->Cycle();  // still held: skipped
  EXPECT_EQ(gCalls, 1);
  EXPECT_TRUE(pf::Exists(Scan("held.pdf")));

  holder.CloseOnly();
  engine->Cycle();  // free now: moved with the stored result, not imported
  EXPECT_EQ(gCalls, 1);
  EXPECT_EQ(Pages(), 1u);
  EXPECT_EQ(testing::Names(Success()), std::vector<std::string>{"held.pdf"});
  EXPECT_TRUE(ReadLockList(inst.settings()).empty());
}

TEST_F(Watch, ReplacedFileIsImportedAgain) {
  testing::MakePdf(Scan("r.pdf"), 1);
  Start();
  ASSERT_EQ(SetLockFileList(engine->frame, Scan("r.pdf"), 0, 1, 3, LockListIdentity(Scan("r.pdf"))), 1);
  // A new file under the same name: another identity.
  pf::RemoveFile(Scan("r.pdf"));
  testing::MakePdf(Scan("spacer.bin"), 1);
  testing::MakePdf(Scan("r.pdf"), 1);
  pf::RemoveFile(Scan("spacer.bin"));
  engine->Cycle();
  EXPECT_EQ(gCalls, 1);
  EXPECT_EQ(Pages(), 1u);
  EXPECT_EQ(testing::Names(Success()), std::vector<std::string>{"r.pdf"});
}

TEST_F(Watch, BusyBinderAndSettingsChangeStopTheWalk) {
  testing::MakePdf(Scan("1.pdf"), 1);
  testing::MakePdf(Scan("2.pdf"), 1);
  gBefore = [](char*, const char*) { return 1; };  // binder busy
  Start();
  engine->Cycle();
  EXPECT_EQ(gCalls, 1);  // the walk ended at the first file
  EXPECT_EQ(testing::Names(inst.target()), (std::vector<std::string>{"1.pdf", "2.pdf"}));
  EXPECT_TRUE(ReadLockList(inst.settings()).empty());

  // A settings change after the first import stops further imports.
  gBefore = nullptr;
  gAfter = [&](const char*, int) { pf::ini::WriteString(inst.settings(), "Option", "Modified", "1"); };
  engine->Cycle();
  EXPECT_EQ(gCalls, 2);
  EXPECT_EQ(testing::Names(inst.target()), (std::vector<std::string>{"2.pdf", "Success"}));
  gAfter = nullptr;
  engine->Cycle();  // settings re-read, then the rest
  EXPECT_EQ(gCalls, 3);
  EXPECT_EQ(Pages(), 2u);
}

TEST_F(Watch, DueArithmeticAndClockSetBack) {
  inst.SetAuto("checkTimer1", "5");
  Start();
  auto& last = engine->frame.lastCheck[0];
  testing::MakePdf(Scan("d.pdf"), 1);
  const std::int64_t now = pf::UnixSeconds();
  last = now - 299;  // 4 min 59 s
  engine->Cycle();
  EXPECT_EQ(gCalls, 0);
  last = pf::UnixSeconds() - 300;  // 5 min
  engine->Cycle();
  EXPECT_EQ(gCalls, 1);
  // The clock went back: one more interval, never a negative one.
  testing::MakePdf(Scan("e.pdf"), 1);
  last = pf::UnixSeconds() + 3600;
  engine->Cycle();
  EXPECT_EQ(gCalls, 1);
  EXPECT_LE(last, pf::UnixSeconds());
  EXPECT_GE(last, pf::UnixSeconds() - 5);
}

TEST_F(Watch, ImportStampsStayUniqueWhenTheClockGoesBack) {
  testing::MakePdf(Scan("a.pdf"), 1);
  Start();
  engine->Cycle();
  // An hour back: the next import neither waits the hour out nor reuses a
  // stamp, so every page stays tied to its own import.
  engine->clock.SetUnixSeconds(engine->clock.UnixSeconds() - 3600 - engine->clock.SteadyMs() / 1000);
  testing::MakePdf(Scan("b.pdf"), 1);
  const std::int64_t slept = engine->clock.totalSleptMs();
  engine->Cycle();  // the due time is re-based after a step back
  engine->Cycle();
  EXPECT_LT(engine->clock.totalSleptMs() - slept, 60'000);
  const auto keywords = test::BinderKeywords(inst.binder());
  ASSERT_EQ(keywords.size(), 2u);
  EXPECT_NE(keywords[0].substr(0, 14), keywords[1].substr(0, 14));
}

TEST_F(Watch, SpaceChecks) {
  testing::MakePdf(Scan("s.pdf"), 1);
  Start();
  const std::uint64_t MiB = 1024 * 1024;
  const std::uint64_t size = *pf::FileSize(Scan("s.pdf"));
  std::uint64_t free = 2 * (size + 10 * MiB) - 1;  // short for the link folder only
  engine->frame.freeSpace = [&](const std::string&) { return std::optional<std::uint64_t>(free); };
  engine->Cycle();
  EXPECT_EQ(gCalls, 0);
  EXPECT_NE(SkipLog().find("61180: <1>No space in link folder(" + inst.link()), std::string::npos);
  free = 2 * (size + 10 * MiB);
  engine->Cycle();
  EXPECT_EQ(gCalls, 1);
  // A failed query counts as enough space.
  testing::MakePdf(Scan("t.pdf"), 1);
  engine->frame.freeSpace = [](const std::string&) { return std::optional<std::uint64_t>(); };
  engine->Cycle();
  EXPECT_EQ(gCalls, 2);
}

TEST_F(Watch, DatedFolderAges) {
  Start();
  const std::int64_t now = pf::UnixSeconds();
  EXPECT_EQ(DatedFolderAgeDays("20231301", now), -1);  // month 13
  EXPECT_EQ(DatedFolderAgeDays("19991231", now), -1);  // 1999
  EXPECT_EQ(DatedFolderAgeDays("20230230", now), -1);
  EXPECT_EQ(DatedFolderAgeDays("2023010x", now), -1);
  const std::string base = inst.Path("old");
  const std::string old = DayText(now - 40 * 86400), recent = DayText(now - 10 * 86400);
  for (const auto& d : {old, recent, std::string("20231301"), std::string("19991231")})
    pf::MakeFolders(pf::JoinPath(base, d));
  DeleteOldFolder(engine->frame, base, 0);  // term 0 keeps all
  EXPECT_EQ(testing::Names(base).size(), 4u);
  DeleteOldFolder(engine->frame, base, 30);
  EXPECT_EQ(testing::Names(base), (std::vector<std::string>{"19991231", recent, "20231301"}));
}

TEST_F(Watch, UnwritableTargetIsStagedAndItsSourceLocked) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes read-only folders";
  testing::MakePdf(Scan("st.pdf"), 1);
  // The save folders must exist: they cannot be made in the folder.
  pf::MakeFolders(pf::JoinPath(inst.target(), "Success"));
  pf::MakeFolders(pf::JoinPath(inst.target(), "Fail"));
  pf::SetReadOnly(inst.target(), true);
  Start();
  engine->Cycle();
  // Filed from the staging copy; the original cannot be deleted and is locked.
  EXPECT_EQ(gCalls, 1);
  EXPECT_EQ(Pages(), 1u);
  EXPECT_EQ(testing::Names(Success()), std::vector<std::string>{"st.pdf"});
  auto list = ReadLockList(inst.settings());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].file, Scan("st.pdf"));
  engine->Cycle();
  EXPECT_EQ(gCalls, 1);  // never imported twice
  EXPECT_FALSE(pf::Exists(engine->frame.stagingFolder));
  // Writable again: the original is deleted and its entry gone.
  pf::SetReadOnly(inst.target(), false);
  engine->Cycle();
  EXPECT_EQ(gCalls, 1);
  EXPECT_FALSE(pf::Exists(Scan("st.pdf")));
  EXPECT_TRUE(ReadLockList(inst.settings()).empty());
}

TEST_F(Watch, UnwritableSuccessFolderSkipsTheSetting) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes read-only folders";
  const std::string succ = inst.Path("done");
  pf::MakeFolders(succ);
  pf::SetReadOnly(succ, true);
  inst.SetAuto("SucceededFolder1", succ);
  testing::MakePdf(Scan("u.pdf"), 1);
  Start();
  engine->Cycle();
  EXPECT_EQ(gCalls, 0);
  EXPECT_TRUE(pf::Exists(Scan("u.pdf")));
  EXPECT_NE(SkipLog().find("61070: <1>"), std::string::npos);
  pf::SetReadOnly(succ, false);
}

TEST_F(Watch, BinderOrSourceGoneAtImportTime) {
  Start();
  // A file removed between the listing and the import: nothing is left behind.
  testing::MakePdf(Scan("c.pdf"), 1);
  gBefore = [&](char*, const char* source) {
    pf::RemoveFile(source);
    return 0;
  };
  engine->Cycle();
  EXPECT_EQ(gCalls, 1);
  EXPECT_FALSE(pf::Exists(Scan("c.pdf")));
  EXPECT_TRUE(ReadLockList(inst.settings()).empty());
  EXPECT_EQ(engine->frame.status.load(), 0);
  // The binder vanishes between the checks and the import: the source is kept in Fail.
  testing::MakePdf(Scan("b.pdf"), 1);
  gBefore = [&](char*, const char*) {
    pf::RemoveTree(inst.binder());
    return 0;
  };
  engine->Cycle();
  EXPECT_EQ(gCalls, 2);
  EXPECT_EQ(testing::Names(Fail()), std::vector<std::string>{"b.pdf"});
  EXPECT_NE(test::ReadTree(pf::JoinPath(inst.program(), "Rslt"), "ImpRslt_").find("Result=0"), std::string::npos);
  EXPECT_TRUE(ReadLockList(inst.settings()).empty());
}

TEST_F(Watch, FailedSourceIsNeverDeletedForLackOfRoom) {
  Start();
  // A destination path over the limit: a filed copy may go, a failed source stays.
  const std::string deep = inst.Path(std::string(200, 'd'));
  pf::MakeFolders(deep);
  const std::string name = std::string(60, 'n') + ".pdf";
  const std::string failed = pf::JoinPath(inst.target(), name);
  testing::MakePdf(failed, 1);
  const std::string id = LockListIdentity(failed);
  EXPECT_EQ(MoveSourceToSaveFolder(engine->frame, failed, "", deep, pf::UnixSeconds(), -1, id), 0);
  EXPECT_TRUE(pf::Exists(failed));
  auto list = ReadLockList(inst.settings());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].result, -1);
  EXPECT_EQ(MoveSourceToSaveFolder(engine->frame, failed, "", deep, pf::UnixSeconds(), 0, id), 2);
  EXPECT_FALSE(pf::Exists(failed));
}

TEST_F(Watch, InterruptedImportIsSettledOnlyOnItsOwnPages) {
  // Sources are deleted after filing: one taken for filed wrongly is lost.
  inst.SetAuto("move_succeeded1", "1");
  testing::MakePdf(Scan("filed.pdf"), 1);
  testing::MakePdf(Scan("lost.pdf"), 1);
  testing::MakePdf(Scan("shared.pdf"), 1);
  testing::MakePdf(inst.Path("tmp/other.pdf"), 1);
  {
    Engine before(inst);
    const std::int64_t t1 = pf::UnixSeconds(), t2 = t1 + 5, t3 = t1 + 9;
    auto file = [&](const std::string& source, std::int64_t stamp) {
      char binder[DRAVEL_PATH_MAX];
      std::snprintf(binder, sizeof binder, "%s", inst.binder().c_str());
      char msg[1024] = {0}, title[DRAVEL_PATH_MAX] = {0};
      int pages = 0, err = 0, sec = 0, res = 0;
      EXPECT_EQ(InsertFileToBinder(nullptr, binder, source.c_str(), 0, 1, 1, 0, nullptr, 0, &pages,
                                   StampText(stamp).c_str(), 0, msg, &res, 2, title, &err, 0, 0, &sec, "", 0),
                0);
    };
    auto inProgress = [&](const std::string& name, std::int64_t stamp) {
      SetLockFileList(before.frame, Scan(name), static_cast<int>(stamp), 1, 1, LockListIdentity(Scan(name)));
    };
    // filed.pdf: crashed after its pages were in and noted.
    inProgress("filed.pdf", t1);
    file(Scan("filed.pdf"), t1);
    ASSERT_TRUE(
        NoteImportedPages(before.frame, Scan("filed.pdf"), LockListIdentity(Scan("filed.pdf")), inst.binder(), 1));
    // lost.pdf: crashed before its insertion; another writer filed a page in
    // that same second.
    inProgress("lost.pdf", t2);
    file(inst.Path("tmp/other.pdf"), t2);
    // shared.pdf: its page is in and noted, and so is another writer's of
    // the same second: which page is whose cannot be told.
    inProgress("shared.pdf", t3);
    file(Scan("shared.pdf"), t3);
    ASSERT_TRUE(
        NoteImportedPages(before.frame, Scan("shared.pdf"), LockListIdentity(Scan("shared.pdf")), inst.binder(), 1));
    file(inst.Path("tmp/other.pdf"), t3);
  }
  ASSERT_EQ(Pages(), 4u);
  Start();  // thread start settles the entries
  auto list = ReadLockList(inst.settings());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].file, Scan("filed.pdf"));
  EXPECT_EQ(list[0].readState, 3);
  EXPECT_EQ(list[0].result, 0);
  EXPECT_TRUE(list[0].binder.empty());
  engine->Cycle();
  EXPECT_EQ(gCalls, 2);  // lost.pdf and shared.pdf are imported (again); filed.pdf is not
  EXPECT_EQ(Pages(), 6u);
  EXPECT_TRUE(testing::Names(inst.target()).empty());
  EXPECT_TRUE(ReadLockList(inst.settings()).empty());
}

TEST_F(Watch, StopChosenDuringAnImportHoldsBeforeTheNextFile) {
  testing::MakePdf(Scan("1.pdf"), 1);
  testing::MakePdf(Scan("2.pdf"), 1);
  testing::MakePdf(Scan("3.pdf"), 1);
  // Another program stops the monitor while the first document is filed.
  gAfter = [&](const char*, int) {
    if (gCalls != 1) return;
    pf::Process other = pf::Process::Spawn(
        ZV_INIPROFILE_EXE, {"--env-lock", inst.program(), "set", inst.settings(), "Option", "MonitorStatus", "1"});
    EXPECT_EQ(other.Wait(-1), 0);  // no time-out: the test's clock is a fake one
  };
  Start();
  engine->Cycle();
  engine->Cycle();
  EXPECT_EQ(gCalls, 1);
  EXPECT_EQ(engine->frame.status.load(), kStatusStopped);
  pf::ini::ClearCache();
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "MonitorStatus", -1), kStatusStopped);

  // "Start", then "Stop" from the tray menu (cell first, then the file)
  // during the next import.
  engine->frame.status.store(kStatusOnline);
  WriteMonitorStatus(engine->frame.env, kStatusOnline);
  gAfter = [&](const char*, int) {
    engine->frame.status.store(kStatusStopped);
    WriteMonitorStatus(engine->frame.env, kStatusStopped);
  };
  engine->Cycle();
  EXPECT_EQ(gCalls, 2);
  EXPECT_EQ(testing::Names(Success()).size(), 2u);
  pf::ini::ClearCache();
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "MonitorStatus", -1), kStatusStopped);
  EXPECT_EQ(engine->frame.status.load(), kStatusStopped);
}

TEST_F(Watch, RaisedFlagsOfOtherSettingsNeverHoldImportsBack) {
  // Start-up raises FaxModified; a sort-folder save is pending too.
  inst.SetOption("FaxModified", "1");
  pf::ini::WriteString(inst.settings(), "option", "SortModified", "1");
  testing::MakePdf(Scan("1.pdf"), 1);
  testing::MakePdf(Scan("2.pdf"), 1);
  // A fax save during the walk leaves the auto-file record in hand valid.
  gAfter = [&](const char*, int) { inst.SetOption("FaxModified", "1"); };
  Start();
  engine->Cycle();  // the first cycle files both
  EXPECT_EQ(gCalls, 2);
  EXPECT_EQ(testing::Names(Success()).size(), 2u);
  engine->Cycle();
  pf::ini::ClearCache();
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "FaxModified", -1), 0);
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "SortModified", -1), 0);
}

TEST_F(Watch, EmptyRecipientIsReportedOnceAndImportsGoOn) {
  // A save left setting 2 with an empty recipient name.
  inst.SetAuto("SetTotal", "2");
  inst.SetAuto("SendUser2count", "1");
  inst.SetAuto("SendUser2user1", "");
  inst.SetOption("Modified", "1");
  testing::MakePdf(Scan("a.pdf"), 1);
  int boxes = 0;
  companion::SetMessageBoxHook([&](const std::string&, const std::string&, int) {
    ++boxes;
    return 1;
  });
  Start();
  for (int i = 0; i < 3; ++i) engine->Cycle();
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(gCalls, 1);  // setting 1 imports
  pf::ini::ClearCache();
  EXPECT_EQ(pf::ini::GetInt(inst.settings(), "Option", "Modified", -1), 0);

  inst.SetOption("Modified", "1");  // saved again, still faulty: told once more
  for (int i = 0; i < 3; ++i) engine->Cycle();
  companion::SetMessageBoxHook(nullptr);
  EXPECT_EQ(boxes, 2);
}

TEST_F(Watch, LinkedFileIsNeverFiled) {
  // Anyone who may write the target folder plants a link to a file they may not read.
  const std::string secret = inst.Path("private/private.pdf");
  pf::MakeFolders(inst.Path("private"));
  testing::MakePdf(secret, 2);
  ASSERT_EQ(::symlink(secret.c_str(), Scan("leak.pdf").c_str()), 0);
  testing::MakePdf(Scan("ok.pdf"), 1);
  std::vector<std::string> handed;
  gBefore = [&](char*, const char* source) {
    handed.push_back(source);
    return 0;
  };
  Start();
  engine->Cycle();
  EXPECT_EQ(handed, std::vector<std::string>{Scan("ok.pdf")});
  EXPECT_EQ(Pages(), 1u);
  EXPECT_TRUE(pf::IsSymlink(Scan("leak.pdf")));
  EXPECT_EQ(testing::Names(Success()), std::vector<std::string>{"ok.pdf"});
  EXPECT_NE(SkipLog().find("63080: <1>[File]Read Only/Hidden /System/Temporary(" + Scan("leak.pdf")),
            std::string::npos);
  // The library refuses a link as its source as well.
  char binder[DRAVEL_PATH_MAX];
  std::snprintf(binder, sizeof binder, "%s", inst.binder().c_str());
  char msg[1024] = {0}, title[DRAVEL_PATH_MAX] = {0};
  int pages = 0, err = 0, sec = 0, res = 0;
  EXPECT_EQ(InsertFileToBinder(nullptr, binder, Scan("leak.pdf").c_str(), 0, 1, 1, 0, nullptr, 0, &pages,
                               "20260101000000", 0, msg, &res, 2, title, &err, 0, 0, &sec, "", 0),
            -1);
  EXPECT_EQ(err, 300300);
  EXPECT_EQ(Pages(), 1u);
}

TEST_F(Watch, SaveFoldersNeverFollowLinksPlantedInTheTarget) {
  // target/Fail leads elsewhere: the first cycle's clean-up leaves the old
  // dated folder there alone and the setting is skipped, nothing is moved.
  const std::string elsewhere = inst.Path("elsewhere");
  pf::MakeFolders(pf::JoinPath(elsewhere, "20200101"));
  ASSERT_EQ(::symlink(elsewhere.c_str(), Scan("Fail").c_str()), 0);
  testing::MakePdf(Scan("s.pdf"), 1);
  Start();
  engine->Cycle();
  EXPECT_EQ(gCalls, 0);
  EXPECT_EQ(testing::Names(elsewhere), std::vector<std::string>{"20200101"});
  EXPECT_NE(SkipLog().find("61120: <1>"), std::string::npos);

  // A dated folder that is a link counts as one that cannot be accessed.
  ASSERT_TRUE(pf::RemoveFile(Scan("Fail")));
  const std::string today = DayText(pf::UnixSeconds());
  pf::MakeFolders(Scan("Success"));
  ASSERT_EQ(::symlink(elsewhere.c_str(), pf::JoinPath(Scan("Success"), today).c_str()), 0);
  engine->Cycle();
  EXPECT_EQ(gCalls, 1);
  EXPECT_EQ(testing::Names(elsewhere), std::vector<std::string>{"20200101"});
  EXPECT_EQ(testing::Names(pf::JoinPath(Scan("Success"), today + "_001")), std::vector<std::string>{"s.pdf"});
}

TEST_F(Watch, NegativeTermsNeverRemoveTodaysFolder) {
  inst.SetOption("FailedTerm", "-1");  // reads as 30
  inst.SetAuto("FailedTerm1", "-2");   // reads as the [Option] value
  Start();
  const std::int64_t now = pf::UnixSeconds();
  const std::string today = pf::JoinPath(Scan("Fail"), DayText(now));
  const std::string old = pf::JoinPath(Scan("Fail"), DayText(now - 40 * 86400));
  pf::MakeFolders(today);
  pf::MakeFolders(old);
  testing::MakePdf(pf::JoinPath(today, "failed.pdf"), 1);
  engine->Cycle();  // the first cycle runs the daily clean-up
  EXPECT_EQ(testing::Names(today), std::vector<std::string>{"failed.pdf"});
  EXPECT_FALSE(pf::Exists(old));
  // Nothing removes today's folder, whatever term reaches the clean-up.
  DeleteOldFolder(engine->frame, Scan("Fail"), -1);
  EXPECT_EQ(testing::Names(today), std::vector<std::string>{"failed.pdf"});
}

TEST_F(Watch, StagingLeavesAFileStillBeingWritten) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes read-only folders";
  testing::MakePdf(Scan("w.pdf"), 1);
  pf::MakeFolders(pf::JoinPath(inst.target(), "Success"));
  pf::MakeFolders(pf::JoinPath(inst.target(), "Fail"));
  // A scanner still writing the file, in its own process.
  pf::Process writer = pf::Process::Spawn("/bin/sh", {"-c", "exec 3>>\"$0\"; exec sleep 60", Scan("w.pdf")});
  ASSERT_TRUE(writer.valid());
  pf::ExclusiveOpenProbe probe;
  for (int i = 0; i < 100 && probe.CanOpenExclusively(Scan("w.pdf")); ++i) usleep(20000);
  ASSERT_FALSE(probe.CanOpenExclusively(Scan("w.pdf")));
  pf::SetReadOnly(inst.target(), true);
  Start();
  engine->Cycle();
  EXPECT_EQ(gCalls, 0);
  writer.Terminate();
  engine->Cycle();
  EXPECT_EQ(gCalls, 1);
  EXPECT_EQ(Pages(), 1u);
  pf::SetReadOnly(inst.target(), false);
}

}  // namespace
}  // namespace zv::monitor
