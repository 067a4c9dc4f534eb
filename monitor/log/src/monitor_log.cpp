#include "monitor/log/monitor_log.h"

#include <vector>

#include "companion/strings.h"
#include "log_file.h"
#include "monitor/settings/profile.h"
#include "platform/paths.h"

namespace zv::monitor {

namespace {

constexpr const char* kMonitorLogName = "Hopvale.log";

// Fills a monitor-log string: the first "%03d" (or "%d") with the setting
// number, the first "%s" with the time, the rest in order. Only these two
// conversions occur in the log's strings; the table text is never handed to
// printf, so a changed translation cannot read stray arguments.
std::string Fill(const std::string& format, const std::vector<std::string>& texts, int number) {
  std::string out;
  std::size_t next = 0;
  bool numberUsed = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      out += format[i];
      continue;
    }
    if (format.compare(i, 4, "%03d") == 0 && !numberUsed) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%03d", number);
      out += buf;
      numberUsed = true;
      i += 3;
    } else if (format[i + 1] == 's' || format[i + 1] == 'd') {
      out += next < texts.size() ? texts[next] : std::string();
      ++next;
      i += 1;
    } else if (format[i + 1] == '%') {
      out += '%';
      i += 1;
    } else {
      out += format[i];
    }
  }
  return out;
}

std::string Text(int id) { return companion::LoadString(companion::StringTable::Monitor, id); }

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
  Put(Fill(Text(20076), {LogTimeText(unixSeconds), folder}, settingNumber));
}

void MonitorLog::WriteStopMonitor(int settingNumber, std::int64_t unixSeconds, std::int64_t elapsedSeconds) {
  if (!IsOpen()) return;
  Put(Fill(Text(20077), {LogTimeText(unixSeconds), std::to_string(elapsedSeconds)}, settingNumber));
}

void MonitorLog::WriteStartReading(int settingNumber, std::int64_t unixSeconds, const std::string& binder) {
  if (!IsOpen()) return;
  Put(Fill(Text(20078), {LogTimeText(unixSeconds), binder}, settingNumber));
}

void MonitorLog::WriteFinishedReading(int settingNumber, std::int64_t unixSeconds, std::int64_t elapsedSeconds) {
  if (!IsOpen()) return;
  Put(Fill(Text(20080), {LogTimeText(unixSeconds), std::to_string(elapsedSeconds)}, settingNumber));
}

}  // namespace zv::monitor
