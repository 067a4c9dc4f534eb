// The skip log: a rate-limited record of why the watch skipped a setting or a
// file, written through the trace logger's append call into
// <program folder>/AutoImpInfo/AutoImpLog_skip/YYYYMMDD_skip.log.
//
// Lines: "<code>: <text>" (no setting), "<code>: <other><text>" (the fax
// "other" setting), "<code>: <<setting>><text>" otherwise.
//
// Arming: a line is written only while the log is armed, and every written
// line disarms it. The watch loop arms it at most once per SkipLogInterval
// (ArmIfDue at the top of a cycle) and disarms it at the end of every cycle,
// so setting-level skips (61xxx, 62xxx) are logged at most once per interval.
// The folder check arms it before every directory entry and disarms it when
// the folder is done, so every file-level skip (63xxx) is logged.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/log/log_context.h"

namespace zv::monitor {

// Setting numbers with a meaning of their own.
inline constexpr int kSkipNoSetting = -1;
inline constexpr int kSkipFaxOther = -9;

// Skip codes. 61xxx watch loop, 62xxx fax watch, 63xxx folder check. The texts
// are the monitor string table's entries of the same number ("%s": the path).
enum SkipCode : int {
  // watch loop
  kSkipImpListDeleting = 61010,
  kSkipDisplaySettings = 61020,
  kSkipDisplayMenu = 61030,
  kSkipNoFolderOrBinder = 61040,
  kSkipNoMonitoredFolder = 61050,
  kSkipNoDeleteInMonitored = 61060,
  kSkipSucceededNoWrite = 61070,
  kSkipSucceededReadOnly = 61080,
  kSkipSucceededNoWrite2 = 61090,
  kSkipSucceededNoWrite3 = 61100,
  kSkipFailedNoWrite = 61110,
  kSkipFailedReadOnly = 61120,
  kSkipFailedNoWrite2 = 61130,
  kSkipFailedNoWrite3 = 61140,
  kSkipBinderNoWrite = 61150,
  kSkipBinderNotInLink = 61160,
  kSkipMonitoredNoWrite = 61170,
  kSkipNoSpaceLink = 61180,
  kSkipNoSpaceSucceeded = 61190,
  kSkipNoSpaceFailed = 61200,
  kSkipBinderRecreated = 61210,
  kSkipBinderEditing = 61220,
  kSkipBinderIsCard = 61230,
  // fax watch
  kSkipFaxImpListDeleting = 62010,
  kSkipFaxDisplaySettings = 62020,
  kSkipFaxImpListDeleting2 = 62100,
  kSkipFaxSettingsOrMenu = 62110,
  kSkipFaxNoMonitoredFolder = 62120,
  kSkipFaxNoDeleteInMonitored = 62130,
  kSkipFaxNoSucceeded = 62140,
  kSkipFaxSucceededReadOnly = 62150,
  kSkipFaxSucceededNoWrite = 62160,
  kSkipFaxSucceededCannotCreate = 62170,
  kSkipFaxSucceededNoWrite2 = 62180,
  kSkipFaxSucceededNoWrite3 = 62190,
  kSkipFaxNoFailed = 62200,
  kSkipFaxFailedReadOnly = 62210,
  kSkipFaxFailedNoWrite = 62220,
  kSkipFaxFailedCannotCreate = 62230,
  kSkipFaxFailedNoWrite2 = 62240,
  kSkipFaxFailedNoWrite3 = 62250,
  kSkipFaxNoSpaceSucceeded = 62260,
  kSkipFaxNoSpaceFailed = 62270,
  kSkipFaxMonitoredNoWrite = 62280,
  kSkipFaxCannotStage = 62290,
  kSkipFaxBinderRecreatedAt = 62500,
  kSkipFaxNoSpaceLink = 62510,
  kSkipFaxBinderEditingOrNoWrite = 62520,
  kSkipFaxBinderRecreated = 62530,
  kSkipFaxSettingSkipped = 62700,
  // folder check
  kSkipFileImpListDeleting = 63010,
  kSkipFileHidden = 63020,
  kSkipFileNoDelete = 63030,
  kSkipFileExcept = 63040,
  kSkipFileTooLong = 63050,
  kSkipFileNoOriginal = 63060,
  kSkipFileNoDeleteOriginal = 63070,
  kSkipFileAttributes = 63080,
  kSkipFileAttributes2 = 63090,
  kSkipFileAttributes3 = 63100,
  kSkipFileNoLinkFolder = 63110,
  kSkipFileNoSucceeded = 63120,
  kSkipFileNoFailed = 63130,
  kSkipFileInLockList = 63140,
  kSkipFileLocked = 63150,
  kSkipFileLocked2 = 63160,
  kSkipFileSettingsOrMenu = 63170,
  kSkipFileOpenBinderLock = 63180,
  kSkipFileWorkArea = 63190,
  kSkipFileImportingLock = 63200,
  kSkipFileNoSpaceLink = 63210,
  kSkipFileNoSpaceSucceeded = 63220,
  kSkipFileNoSpaceFailed = 63230,
  kSkipFileImpListDeleting2 = 63240,
};

// The message text of a skip code ("" for an unknown code).
std::string SkipCodeText(int code);
// The line for a code, a setting and (when non-null) the path that fills the
// text's "%s". The text is cut to 259 bytes without a path, 1,023 with one.
std::string SkipLogLine(int code, int setting, const std::string* path);

// The switches of the skip log ([Option], read once when the watch starts).
struct SkipLogOptions {
  int enabled = 0;     // SkipLogEnabled; also the logger's enabled flag
  int interval = 600;  // SkipLogInterval, seconds between two armings
  int term = 10;       // SkipLogTerm, days the logger's purge keeps
};
SkipLogOptions ReadSkipLogOptions(const std::string& settingsFile);

// One skip log with its armed mark; owned by the watch engine and shared by
// the watch loop and the folder check (one thread writes; the mark is atomic
// so other threads may look at it).
class SkipLog {
 public:
  SkipLog() = default;
  SkipLog(const SkipLog&) = delete;
  SkipLog& operator=(const SkipLog&) = delete;

  // Watch thread start: takes the switches and the base folder
  // (<program folder>/AutoImpInfo), arms the log and notes the time, so the
  // first cycle writes its first skip line.
  void Begin(const std::string& infoFolder, const SkipLogOptions& options);
  void Begin(const LogContext& context);  // switches read from its settings file

  // Top of a watch cycle: arms the log when it is not armed and at least the
  // interval has passed (monotonic clock of platform/clock.h) since it was
  // last armed here; notes the time. True when it armed it.
  bool ArmIfDue();
  // Folder check: before each directory entry (no time noted).
  void Arm() { armed_.store(true); }
  // End of a cycle, end of a folder walk.
  void Disarm() { armed_.store(false); }
  bool armed() const { return armed_.load(); }
  const SkipLogOptions& options() const { return options_; }
  const std::string& infoFolder() const { return infoFolder_; }

 private:
  std::string infoFolder_;
  SkipLogOptions options_;
  std::atomic<bool> armed_{false};
  std::int64_t lastArmedMs_ = 0;
};

// One skip line: 0 when the log is off or not armed (nothing written),
// otherwise the logger's append result (1 written, 0 failed); then disarmed.
// Before the line, skip-log files older than SkipLogTerm days are purged.
int WriteSkipLog(SkipLog& log, int code, int setting);
int WriteSkipLogPath(SkipLog& log, int code, int setting, const std::string& path);
// The common tail of both: writes a prepared line under the arming rules.
int WriteSkipLogLine(SkipLog& log, const std::string& line);

}  // namespace zv::monitor
