// Change flags, the status file's work flags, the monitor state, the host
// name of the settings file and the result-area copies.
#pragma once

#include <string>
#include <string_view>

#include "companion/services.h"
#include "monitor/settings/env_files.h"

namespace zv::monitor {

// [Option] MonitorStatus values.
enum MonitorStatus : int {
  kStatusOnline = 0,
  kStatusStopped = 1,
  kStatusImporting = 2,
  kStatusFaxWatch = 3,
  kStatusSortWatch = 4,
};

enum class ChangeFlag { Modified, FaxModified, SortModified };

// Raises the flag (1) and stamps [Product] LastModified with the current time
// (seconds since 1970) in `settingsFile`. The caller holds the environment
// lock (a settings save writes these into its ".new" copy).
bool WriteChangeFlag(const std::string& settingsFile, ChangeFlag flag);
// Sets the flag back to 0 under the environment lock (a reader that has read
// its whole group).
bool ResetChangeFlag(const EnvFiles& env, ChangeFlag flag);
// The flag's current value (0 when absent).
int ReadChangeFlag(const std::string& settingsFile, ChangeFlag flag);

// [work] ImportFlag / PropertyFlag of the status file.
inline constexpr const char* kImportFlag = "ImportFlag";
inline constexpr const char* kPropertyFlag = "PropertyFlag";

// Writes "1" or "0" to [work] <name> of the status file under the
// environment lock and flushes. False when the write failed.
bool SetWorkFlag(const EnvFiles& env, std::string_view name, bool on);

// 1 when ImportFlag is 1 or MonitorStatus is 2; else 2 when PropertyFlag is
// 1; else 3 or 4 when MonitorStatus is 3 or 4; else 0.
int GetMonitorState(const EnvFiles& env);

// Writes [Option] MonitorStatus under the environment lock.
bool WriteMonitorStatus(const EnvFiles& env, int status);

// Host-name refresh: when `computerName` (trimmed) is non-empty and differs,
// ignoring ASCII case, from the settings file's [Product] HostName, writes it
// there under the environment lock (an empty HostName is filled, so results
// and result-area copies always name their computer), and, when there was an
// old name, into each result-area copy of the viewer's link folders 1 to 3
// that exists and carries it.
// Returns the number of files rewritten (0 when nothing was due).
int RefreshHostName(const EnvFiles& env, std::string_view computerName, const companion::ViewerFolders& folders);

// Result-area copies: for each of the link folders 1 to 3 that exists,
// creates "Rslt" when missing and copies the settings file to
// "Rslt/EnvSetInfo.ini" when that is missing, or its [Product] HostName is
// empty or equals `computerName`. A copy owned by another computer is left
// alone. Returns the number of copies made.
int RefreshResultAreaCopies(const EnvFiles& env, std::string_view computerName,
                            const companion::ViewerFolders& folders);

}  // namespace zv::monitor
