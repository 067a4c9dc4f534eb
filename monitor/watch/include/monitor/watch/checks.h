// The checks the watch loop makes before it hands a setting to the folder
// check: eligible files, the daily clean-up of dated folders, the write
// probe, the free-space query and the recreated-binder test.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/watch/engine.h"
#include "platform/fs.h"

namespace zv::monitor {

// 1 when the folder holds at least one eligible file (a file, neither
// read-only nor hidden nor temporary, not on the except lists); adds every
// eligible file's size to `total`. With `recursive` it descends while the
// depth is below MaxRecursive - 1, skipping "Success" and "Fail". Sleeps
// 10 ms per entry.
int CheckFileExists(WatchFrame& frame, const std::string& folder, int recursive, std::uint64_t& total, int depth = 0);

// Removes the dated subfolders (YYYYMMDD, a real date after 1999) older than
// termDays whole days; nothing for termDays 0. A failed removal writes the
// DEL line "Error,<path>". Returns 1 (0 when the walk was cut short).
// The folder is taken as given (links in its path followed: an explicit save
// folder); below it nothing is followed. A negative term removes nothing,
// and today's folder is never removed.
int DeleteOldFolder(WatchFrame& frame, const std::string& folder, int termDays);
// The same on a folder already open (a default save folder entered without
// following links).
int DeleteOldFolder(WatchFrame& frame, const platform::FolderHandle& folder, int termDays);
// The age in whole days of a dated folder name at `now`, or -1 when the name
// is not a date this clean-up may remove.
int DatedFolderAgeDays(const std::string& name, std::int64_t now);

// The write probe: 1 when the path exists and (for a folder) a file can be
// created, renamed and deleted in it; -1 otherwise.
int MyTestWritePermission(const std::string& path, const std::string& programFolder);
// The same probe on an open folder: nothing it creates, renames or deletes
// goes through a link.
int TestWritePermissionAt(const platform::FolderHandle& folder, const std::string& programFolder);

// The default save folder `name` ("Success", "Fail") of a target (sub)folder,
// entered without following links: `targetFolder` is opened below the
// configured `topTarget` component by component (the configured folder
// itself as given), then `name` in it; with create it is made when missing.
// Invalid when any of them is a link, no folder, or cannot be had.
platform::FolderHandle OpenDefaultSaveFolder(const std::string& topTarget, const std::string& targetFolder,
                                             const std::string& name, bool create);

// True when the volume of `path` has at least `needed` free bytes, or when
// the free space cannot be told.
bool HasFreeSpace(const WatchFrame& frame, const std::string& path, std::uint64_t needed);

// The recreated-binder test: true ("recreated") when the target binder was
// replaced by another binder of the same path since the setting was made.
bool IsBinderRecreated(const WatchFrame& frame, const AutoFileSetting& setting);

// [ImpListSettings] DeleteLockFlag of <program folder>/Quibbin.ini is 1.
bool ImpListDeletionInProgress(const WatchFrame& frame);
// The settings dialog is open (status file or the shell's mark).
bool SettingsDialogOpen(const WatchFrame& frame);
bool MenuOpen(const WatchFrame& frame);

// Skip-log entries of the engine (written only while the skip log is armed;
// every written entry disarms it).
void SkipLog(WatchFrame& frame, int code, int setting);
void SkipLogPath(WatchFrame& frame, int code, int setting, const std::string& path);

// One trace line of the engine.
void WatchTrace(const char* file, int line, const std::string& text);
#define ZV_WATCH_TRACE(text) ::zv::monitor::WatchTrace(__FILE__, __LINE__, (text))

// Removes the staging folder when it is in use.
void RemoveStagingFolder(WatchFrame& frame);

// Sleeps `ms` through the platform clock in 100 ms slices, returning early
// when the watching flag is cleared.
void SleepWatching(WatchFrame& frame, std::int64_t ms);

}  // namespace zv::monitor
