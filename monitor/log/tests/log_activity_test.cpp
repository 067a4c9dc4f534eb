#include <gtest/gtest.h>

#include <cstring>

#include "dravel/dravel.h"
#include "monitor/log/imp_log.h"
#include "platform/fs.h"
#include "support/log_support.h"

namespace zv::monitor {
namespace {

using testing::LogFixture;
using testing::ReadText;
using testing::WriteText;

ImpLogRecord Record(std::string file, bool ok) {
  ImpLogRecord r;
  r.impTime = testing::kStartTime;
  r.name = "Scans";
  r.srcFolder = "/data/scan";
  r.srcFile = std::move(file);
  r.success = ok;
  r.binder = "Invoices";
  r.index = "3";
  return r;
}

TEST(ImpLog, WritesEachKindOfLineToTheFileOfTheDay) {
  LogFixture f;
  EXPECT_EQ(StartImpLog(f.context), 1);
  WriteImpLogLine(f.context, kImpLogDel, std::string(kImpLogDelStart) + "/data/scan");
  WriteImpLogLine(f.context, kImpLogImport, "never written");
  WriteImpLogImport(f.context, Record("a.pdf", true));
  WriteImpLogImport(f.context, Record("b\nc.pdf", false));  // a name with a line break stays one line
  WriteImpLogLine(f.context, kImpLogDel, std::string(kImpLogDelEnd) + "/data/scan");
  EndImpLog(f.context);
  EXPECT_EQ(ReadText(f / "Hopvale_20240305.log"),
            "2024/03/05 09:13:02,APP,Start --------------------------------------------------\n"
            "2024/03/05 09:13:02,DEL,Start,/data/scan\n"
            "2024/03/05 09:13:02,IMP,Scans,/data/scan,a.pdf,OK,Invoices,3\n"
            "2024/03/05 09:13:02,IMP,Scans,/data/scan,b\\nc.pdf,NG,Invoices,3\n"
            "2024/03/05 09:13:02,DEL,End  ,/data/scan\n"
            "2024/03/05 09:13:02,APP,End   --------------------------------------------------\n");

  // An import stamped before midnight but logged after it goes to the new day.
  f.clock.Advance((14 * 3600 + 47 * 60 - 2 + 5) * 1000LL);  // 2024-03-06 00:00:05
  WriteImpLogImport(f.context, Record("late.pdf", true));
  EXPECT_EQ(ReadText(f / "Hopvale_20240306.log"), "2024/03/05 09:13:02,IMP,Scans,/data/scan,late.pdf,OK,Invoices,3\n");
}

TEST(ImpLog, FollowsTheSwitchAndTheFolderSetting) {
  LogFixture f("ImpLogFlg=0\n");
  StartImpLog(f.context);
  WriteImpLogImport(f.context, Record("a.pdf", true));
  EXPECT_FALSE(platform::Exists(f / "Hopvale_20240305.log"));
  EXPECT_TRUE(f.context.started);

  // Switched on while running: the end line comes without a start line.
  f.SetOptions("ImpLogFlg=1\n");
  EndImpLog(f.context);
  EXPECT_EQ(testing::Lines(ReadText(f / "Hopvale_20240305.log")).size(), 1u);

  // No end line from a process that never started the log.
  LogContext other = f.context;
  other.started = false;
  EndImpLog(other);
  EXPECT_EQ(testing::Lines(ReadText(f / "Hopvale_20240305.log")).size(), 1u);

  // A missing log folder falls back to the program folder; an existing one
  // (with a trailing separator) is used.
  platform::RemoveFile(f / "Hopvale_20240305.log");
  f.SetOptions("ImpLogDir=" + (f / "nowhere") + "\n");
  WriteImpLogLine(f.context, kImpLogApp, "x");
  EXPECT_TRUE(platform::Exists(f / "Hopvale_20240305.log"));
  platform::MakeFolders(f / "logs");
  f.SetOptions("ImpLogDir=" + (f / "logs") + "/\n");
  WriteImpLogLine(f.context, kImpLogApp, "y");
  EXPECT_EQ(ReadText(f / "logs/Hopvale_20240305.log"), "2024/03/05 09:13:02,APP,y\n");
}

TEST(ImpLog, TakesTheLibraryRecordUpToItsArraySizes) {
  DravelImpRecord rec{};
  rec.impTime = testing::kStartTime;
  std::memset(rec.name, 'n', sizeof rec.name);  // no terminator
  std::strcpy(rec.srcFolder, "/in");
  std::strcpy(rec.srcFile, "a.pdf");
  rec.result = 2;  // only 1 counts as success
  std::strcpy(rec.binder, "B");
  std::strcpy(rec.index, "I");
  ImpLogRecord r = ImpLogRecordFrom(rec);
  EXPECT_EQ(r.name, std::string(sizeof rec.name, 'n'));
  EXPECT_EQ(r.srcFolder, "/in");
  EXPECT_FALSE(r.success);
}

TEST(ImpLogPurge, DeletesOnlyValidDatesOlderThanTheTerm) {
  LogFixture f;
  const char* gone[] = {"Hopvale_20240203.log", "Hopvale_20200229.log", "hopvale_20200101.LOG"};
  const char* kept[] = {"Hopvale_20240204.log", "Hopvale_2020O101.log", "Hopvale_20230231.log",
                        "Hopvale_20231301.log", "Hopvale_20230229.log", "Hopvale_20200101.log.bak",
                        "Other_20200101.log",   "Hopvale_20990101.log"};
  for (const char* n : gone) WriteText(f / n, "x\n");
  for (const char* n : kept) WriteText(f / n, "x\n");
  platform::MakeFolders(f / "Hopvale_20200102.log");
  EXPECT_EQ(StartImpLog(f.context), 1);
  for (const char* n : gone) EXPECT_FALSE(platform::Exists(f / n)) << n;
  for (const char* n : kept) EXPECT_TRUE(platform::Exists(f / n)) << n;
  EXPECT_TRUE(platform::IsFolder(f / "Hopvale_20200102.log"));
}

TEST(ImpLogPurge, KeepsEverythingWhenOffOrPointedElsewhere) {
  LogFixture f("ImpLogTerm=0\n");
  WriteText(f / "Hopvale_20200101.log", "x\n");
  EXPECT_EQ(PurgeImpLogs(f.context), 1);
  f.SetOptions("ImpLogFlg=0\n");
  EXPECT_EQ(PurgeImpLogs(f.context), 1);
  // A configured folder that is missing: the writer falls back, the purge
  // does not, and reports the failed search.
  f.SetOptions("ImpLogDir=" + (f / "nowhere") + "\n");
  EXPECT_EQ(StartImpLog(f.context), 0);
  EXPECT_TRUE(platform::Exists(f / "Hopvale_20200101.log"));
  EXPECT_TRUE(platform::Exists(f / "Hopvale_20240305.log"));
}

}  // namespace
}  // namespace zv::monitor
