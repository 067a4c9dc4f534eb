#include "monitor/log/monitor_log.h"

#include <cstdio>
#include <vector>

#include "log_file.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/text_ids.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

constexpr const char* kMonitorLogName = "Hopvale.log";

// The setting number as the log's lines show it ("%03d", the first
// conversion of each of their texts).
std::string SettingNumberText(int number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%03d", number);
  return buf;
}

}  // namespace

std::string LogTimeText(std::int64_t unixSeconds) {
  return detail::FormatTime("%Y/%m/%d %H:%M:%S", detail::LocalTime(unixSeconds));
}

bool MonitorLog::Open(const std::string& programFolder, int mode) {
  Close();
  if (mode != 1 && mode != 2) return false;
  // The file stays open for the run; mode 2 starts it anew.
  std::string file = platform::JoinPath(programFolder, kMonitorLogName);
  std::lock_guard lock(mutex_);
  return file_.Open(file, /*truncate=*/mode == 2);
}

bool MonitorLog::OpenFromSettings(const std::string& programFolder) {
  int mode = ProfileRead("Option", "MonitorLog", 0, platform::JoinPath(programFolder, "EnvSetInfo.ini"));
  return Open(programFolder, mode);
}

void MonitorLog::Close() {
  std::lock_guard lock(mutex_);
  file_.Close();
}

bool MonitorLog::IsOpen() const {
  std::lock_guard lock(mutex_);
  return file_.IsOpen();
}

void MonitorLog::Put(const std::string& line) {
  std::lock_guard lock(mutex_);
  // Each line goes out in one write, so the log is complete up to the last
  // folder check even when the monitor is killed.
  file_.Write(line);
}

void MonitorLog::WriteStartMonitor(int settingNumber, std::int64_t unixSeconds, const std::string& folder) {
  if (!IsOpen()) return;
  Put(platform::FillInOrder(MonitorText(kIdsLogStartMonitor),
                            {SettingNumberText(settingNumber), LogTimeText(unixSeconds), folder}));
}

void MonitorLog::WriteStopMonitor(int settingNumber, std::int64_t unixSeconds, std::int64_t elapsedSeconds) {
  if (!IsOpen()) return;
  Put(platform::FillInOrder(
      MonitorText(kIdsLogStopMonitor),
      {SettingNumberText(settingNumber), LogTimeText(unixSeconds), std::to_string(elapsedSeconds)}));
}

void MonitorLog::WriteStartReading(int settingNumber, std::int64_t unixSeconds, const std::string& binder) {
  if (!IsOpen()) return;
  Put(platform::FillInOrder(MonitorText(kIdsLogStartReading),
                            {SettingNumberText(settingNumber), LogTimeText(unixSeconds), binder}));
}

void MonitorLog::WriteFinishedReading(int settingNumber, std::int64_t unixSeconds, std::int64_t elapsedSeconds) {
  if (!IsOpen()) return;
  Put(platform::FillInOrder(
      MonitorText(kIdsLogFinishedReading),
      {SettingNumberText(settingNumber), LogTimeText(unixSeconds), std::to_string(elapsedSeconds)}));
}

}  // namespace zv::monitor
