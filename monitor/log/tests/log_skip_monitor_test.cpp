#include <gtest/gtest.h>

#include <chrono>

#include "monitor/log/monitor_log.h"
#include "monitor/log/skip_log.h"
#include "platform/fs.h"
#include "support/log_support.h"

namespace zv::monitor {
namespace {

using testing::LogFixture;
using testing::ReadText;

TEST(SkipLog, LineFormats) {
  EXPECT_EQ(SkipLogLine(kSkipNoFolderOrBinder, kSkipNoSetting, nullptr),
            "61040: Not Specify Monitored Folder or Target Binder");
  EXPECT_EQ(SkipLogLine(kSkipFaxNoMonitoredFolder, kSkipFaxOther, nullptr),
            "62120: <other>[FAX]Not Specify/Not exist Monitored Folder");
  std::string path = "/scan/%s%n.pdf";  // a path is never a format
  EXPECT_EQ(SkipLogLine(kSkipFileHidden, 3, &path), "63020: <3>[File]Hidden File(/scan/%s%n.pdf)");
  std::string longPath(2000, 'p');
  EXPECT_EQ(SkipLogLine(kSkipFileTooLong, 12, &longPath).size(), std::string("63050: <12>").size() + 1023);
}

TEST(SkipLog, LogsOneSettingSkipPerIntervalAndEveryFileSkip) {
  LogFixture f("SkipLogEnabled=1\nSkipLogInterval=600\n");
  SkipLog log;
  log.Begin(f.context);
  const std::string file = f / "AutoImpInfo/AutoImpLog_skip/20240305_skip.log";

  // First cycle: armed at start, the first skip is written, the second not.
  EXPECT_FALSE(log.ArmIfDue());
  EXPECT_EQ(WriteSkipLog(log, kSkipNoFolderOrBinder, 1), 1);
  EXPECT_EQ(WriteSkipLogPath(log, kSkipNoMonitoredFolder, 2, "/x"), 0);
  log.Disarm();

  // Not before the interval has run out.
  f.clock.Advance(599'000);
  EXPECT_FALSE(log.ArmIfDue());
  EXPECT_EQ(WriteSkipLogPath(log, kSkipNoMonitoredFolder, 2, "/x"), 0);
  log.Disarm();
  // Armed in a cycle that skips nothing: the next cycle stays quiet.
  f.clock.Advance(1'000);
  EXPECT_TRUE(log.ArmIfDue());
  log.Disarm();
  EXPECT_FALSE(log.ArmIfDue());
  EXPECT_EQ(WriteSkipLog(log, kSkipDisplayMenu, 1), 0);

  // The folder check arms before every entry: ten skipped files, ten lines.
  for (int i = 0; i < 10; ++i) {
    log.Arm();
    EXPECT_EQ(WriteSkipLogPath(log, kSkipFileHidden, 4, "/s/." + std::to_string(i)), 1);
  }
  log.Disarm();

  auto lines = testing::Lines(ReadText(file));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_TRUE(lines[0].ends_with(" 61040: <1>Not Specify Monitored Folder or Target Binder")) << lines[0];
  EXPECT_TRUE(lines[10].ends_with(" 63020: <4>[File]Hidden File(/s/.9)")) << lines[10];
}

TEST(SkipLog, OffWritesNothingAndOnPurgesOldFiles) {
  LogFixture f;
  SkipLog off;
  off.Begin(f.context);
  EXPECT_EQ(WriteSkipLog(off, kSkipNoFolderOrBinder, 1), 0);
  EXPECT_FALSE(platform::Exists(f / "AutoImpInfo"));

  // Files kept longer than SkipLogTerm days go when a line is written.
  f.SetOptions("SkipLogEnabled=1\nSkipLogTerm=10\n");
  const std::string old = f / "AutoImpInfo/AutoImpLog_skip/20000101_skip.log";
  testing::WriteText(old, "x\n");
  const auto realNow =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  f.clock.SetUnixSeconds(realNow + 11 * 86400);
  SkipLog on;
  on.Begin(f.context);
  EXPECT_EQ(WriteSkipLog(on, kSkipNoFolderOrBinder, kSkipNoSetting), 1);
  EXPECT_FALSE(platform::Exists(old));
}

TEST(MonitorLog, ModesAndLines) {
  LogFixture f("MonitorLog=0\n");
  MonitorLog log;
  EXPECT_FALSE(log.OpenFromSettings(f.context.programFolder));
  log.WriteStartMonitor(1, testing::kStartTime, "/scan");
  EXPECT_FALSE(platform::Exists(f / "Hopvale.log"));

  testing::WriteText(f / "Hopvale.log", "before\n");
  f.SetOptions("MonitorLog=1\n");
  ASSERT_TRUE(log.OpenFromSettings(f.context.programFolder));
  log.WriteStartMonitor(1, testing::kStartTime, "/scan/%d");
  log.WriteStopMonitor(12, testing::kStartTime, 7);
  log.WriteStartReading(3, testing::kStartTime, "/links/B");
  log.WriteFinishedReading(3, testing::kStartTime, 5);
  log.Close();
  EXPECT_EQ(ReadText(f / "Hopvale.log"),
            "before\n"
            "001: 2024/03/05 09:13:02 - Start Monitor </scan/%d>\n"
            "012: 2024/03/05 09:13:02 - Stop Monitor <7>\n"
            "003:    2024/03/05 09:13:02 - Start reading file /links/B \n"
            "003:    2024/03/05 09:13:02 - Finished reading (5s)\n");

  ASSERT_TRUE(log.Open(f.context.programFolder, 2));
  log.WriteStopMonitor(2, testing::kStartTime, 0);
  log.Close();
  EXPECT_EQ(ReadText(f / "Hopvale.log"), "002: 2024/03/05 09:13:02 - Stop Monitor <0>\n");

  // A failed open leaves the log off, silently.
  EXPECT_FALSE(log.Open(f / "missing", 1));
  log.WriteStopMonitor(2, testing::kStartTime, 0);
  EXPECT_FALSE(log.IsOpen());
}

}  // namespace
}  // namespace zv::monitor
