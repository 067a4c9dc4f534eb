// Restarts of the engine after a crash, in process: a crash is an
// exception thrown by the insertion; it leaves the lock list and the binder
// as a killed process would.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dravel/pipeline.h"
#include "monitor/settings/lock_list.h"
#include "monitor/watch/folder_check.h"
#include "platform/clock.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "support/watch_env.h"
#include "testing/files.h"
#include "testing/pdf.h"

namespace zv::monitor {
namespace {

namespace pf = platform;

struct Crash {};
bool gCrashBeforeInsert = false;
bool gCrashAfterInsert = false;
std::int64_t gStampSeconds = 0;  // the clock when the last insertion began

int CrashingInsert(void* owner, char* binder, const char* source, int dataChange, int index, int insertPos, int a3b4,
                   char* printCopy, int printFlag, int* pageCount, const char* keyword, int service, char* message,
                   int* reserved, int vlCode, char* title, int* errorCode, int contentsAdd, int securePdfMode,
                   int* securedFlag, const char* extraKeyword, int searchVariant) {
  gStampSeconds = pf::UnixSeconds();
  if (gCrashBeforeInsert) throw Crash{};
  const int r = InsertFileToBinder(owner, binder, source, dataChange, index, insertPos, a3b4, printCopy, printFlag,
                                   pageCount, keyword, service, message, reserved, vlCode, title, errorCode,
                                   contentsAdd, securePdfMode, securedFlag, extraKeyword, searchVariant);
  if (gCrashAfterInsert) throw Crash{};
  return r;
}

// A desktop without a tray: no icon, so no blink pause before an import.
class NoTrayShell : public HeadlessShell {
 public:
  bool KeepIconAlive() override { return false; }
  bool RestoreIcon() override { return false; }
};

// One run of the monitor, started at a given wall-clock second.
struct MonitorRun {
  MonitorRun(const test::Installation& inst, std::int64_t startSeconds) {
    clock.SetUnixSeconds(startSeconds);
    pf::SetClock(&clock);
    // As the program does at start after a crash mid-import.
    pf::ini::WriteString(inst.settings(), "Option", "MonitorStatus", "0");
    InitWatchFrame(frame, inst.program(), &shell);
    frame.insert = &CrashingInsert;
    frame.watching.store(true);
    WatchThreadStart(frame);
  }
  ~MonitorRun() { pf::SetClock(nullptr); }
  // False when the run died in the insertion.
  bool Cycle() {
    try {
      WatchCycle(frame);
      return true;
    } catch (const Crash&) {
      return false;
    }
  }
  pf::FakeClock clock;
  NoTrayShell shell;
  WatchFrame frame;
};

TEST(CrashRecovery, RestartWithinTheSecondOfAnImportNeitherReusesItsStampNorLosesTheNext) {
  test::Installation inst;
  const std::string target = inst.target();
  testing::MakePdf(pf::JoinPath(target, "a.pdf"), 1);
  std::int64_t stampA = 0;
  {
    // Dies once a.pdf is in the binder, before its source is moved.
    MonitorRun first(inst, 1'700'000'000);
    gCrashAfterInsert = true;
    EXPECT_FALSE(first.Cycle());
    gCrashAfterInsert = false;
    stampA = gStampSeconds;
  }
  ASSERT_EQ(test::BinderKeywords(inst.binder()).size(), 1u);
  testing::MakePdf(pf::JoinPath(target, "b.pdf"), 1);
  {
    // Restarted within the same second; dies as the next insertion begins.
    MonitorRun second(inst, stampA);
    gCrashBeforeInsert = true;
    EXPECT_FALSE(second.Cycle());
    gCrashBeforeInsert = false;
    EXPECT_GT(gStampSeconds, stampA) << "the next import would be filed under a.pdf's time stamp";
  }
  ASSERT_EQ(test::BinderKeywords(inst.binder()).size(), 1u);
  {
    MonitorRun third(inst, stampA + 60);
    EXPECT_TRUE(third.Cycle());
  }
  // a.pdf died before the monitor had noted its pages, so nothing proves
  // them its own: it is filed again (a double, never a loss); b.pdf is not
  // taken for filed and moved away unfiled.
  EXPECT_EQ(test::BinderKeywords(inst.binder()).size(), 3u);
  EXPECT_EQ(testing::Names(test::DatedFolder(pf::JoinPath(target, "Success"))),
            (std::vector<std::string>{"a.pdf", "b.pdf"}));
  pf::ini::ClearCache();
  EXPECT_TRUE(ReadLockList(inst.settings()).empty());
}

}  // namespace
}  // namespace zv::monitor
