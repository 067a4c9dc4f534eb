// The monitor log <program folder>/Hopvale.log: an optional plain-text file
// the watch loop writes around each folder check. [Option] MonitorLog 1
// appends, 2 starts the file anew, anything else (or a failed open) leaves it
// off for the run. The file stays open while the log is open.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/fs.h"

namespace zv::monitor {

class MonitorLog {
 public:
  MonitorLog() = default;
  ~MonitorLog() { Close(); }
  MonitorLog(const MonitorLog&) = delete;
  MonitorLog& operator=(const MonitorLog&) = delete;

  // Opens <programFolder>/Hopvale.log for `mode` (the MonitorLog value).
  // True when the log is on afterwards.
  bool Open(const std::string& programFolder, int mode);
  // Reads MonitorLog from <programFolder>/EnvSetInfo.ini and opens.
  bool OpenFromSettings(const std::string& programFolder);
  void Close();
  bool IsOpen() const;

  // kIdsLogStartMonitor: "NNN: <time> - Start Monitor <folder>".
  void WriteStartMonitor(int settingNumber, std::int64_t unixSeconds, const std::string& folder);
  // kIdsLogStopMonitor: "NNN: <time> - Stop Monitor <seconds>" (elapsed seconds).
  void WriteStopMonitor(int settingNumber, std::int64_t unixSeconds, std::int64_t elapsedSeconds);
  // kIdsLogStartReading: "NNN:    <time> - Start reading file <target binder> ".
  void WriteStartReading(int settingNumber, std::int64_t unixSeconds, const std::string& binder);
  // kIdsLogFinishedReading: "NNN:    <time> - Finished reading (<seconds>s)".
  void WriteFinishedReading(int settingNumber, std::int64_t unixSeconds, std::int64_t elapsedSeconds);

 private:
  void Put(const std::string& line);
  mutable std::mutex mutex_;
  platform::AppendFile file_;
};

// "%Y/%m/%d %H:%M:%S" in local time: the time stamp of the log lines.
std::string LogTimeText(std::int64_t unixSeconds);

}  // namespace zv::monitor
