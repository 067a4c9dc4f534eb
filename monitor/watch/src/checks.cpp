// Checks of the watch loop and the engine's trace and skip-log helpers.
#include "monitor/watch/checks.h"

#include <cstdlib>
#include <ctime>

#include "companion/common.h"
#include "companion/strings.h"
#include "companion/trace.h"
#include "dravel/pipeline.h"
#include "monitor/log/imp_log.h"
#include "monitor/log/result_list.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/sort_links.h"
#include "monitor/settings/status.h"
#include "monitor/watch/folder_check.h"
#include "monitor/watch/workdesk.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "watch_private.h"

namespace zv::monitor {

void WatchTrace(const char* file, int line, const std::string& text) {
  companion::Trace(kWatchTraceTag, file, line, text);
}

// ---- small tests --------------------------------------------------------------

bool ImpListDeletionInProgress(const WatchFrame& frame) {
  const std::string ini = platform::JoinPath(frame.env.folder, kImportListSettingsName);
  return platform::IsFile(ini) && ProfileRead("ImpListSettings", "DeleteLockFlag", 0, ini) == 1;
}

bool SettingsDialogOpen(const WatchFrame& frame) {
  return (frame.shell != nullptr && frame.shell->SettingsOpen()) || GetMonitorState(frame.env) == 2;
}

bool MenuOpen(const WatchFrame& frame) { return frame.shell != nullptr && frame.shell->MenuOpen(); }

void SkipLog(WatchFrame& frame, int code, int setting) { WriteSkipLog(frame.skipLog, code, setting); }
void SkipLogPath(WatchFrame& frame, int code, int setting, const std::string& path) {
  WriteSkipLogPath(frame.skipLog, code, setting, path);
}

void SkipFile(WatchFrame& frame, int code, int setting, const std::string& logged, const std::string& trace,
              int pauseMs, std::source_location where) {
  SkipLogPath(frame, code, setting, logged);
  WatchTrace(where.file_name(), static_cast<int>(where.line()), trace);
  if (pauseMs > 0) platform::SleepMs(pauseMs);
}

void SkipSetting(WatchFrame& frame, int code, int setting, const std::string& trace, int pauseMs,
                 std::source_location where) {
  SkipLog(frame, code, setting);
  WatchTrace(where.file_name(), static_cast<int>(where.line()), trace);
  if (pauseMs > 0) platform::SleepMs(pauseMs);
}

void RemoveStagingFolder(WatchFrame& frame) {
  if (!frame.stagingInUse) return;
  platform::RemoveTree(frame.stagingFolder);
  frame.stagingInUse = false;
}

void SleepWatching(WatchFrame& frame, std::int64_t ms) {
  if (ms < 10) {
    platform::SleepMs(10);
    return;
  }
  while (ms > 0 && frame.watching.load()) {
    const std::int64_t slice = ms >= 100 ? 100 : ms;
    platform::SleepMs(slice);
    ms -= slice;
  }
}

// ---- CheckFileExists ----------------------------------------------------------

int CheckFileExists(WatchFrame& frame, const std::string& folder, int recursive, std::uint64_t& total, int depth) {
  auto entries = platform::ListFolder(folder);
  if (!entries) return 0;
  int found = 0;
  for (const auto& e : *entries) {
    // The pause paces the look at candidate files (and, in a recursive
    // scan, at subfolders). A subfolder a flat scan passes over, or a name
    // hidden by its leading "." (the hidden list of hidden save folders),
    // costs no look and no pause: an idle pass over thousands of sort links
    // would otherwise sleep a minute.
    if ((e.isFolder && !recursive) || (!e.name.empty() && e.name.front() == '.')) continue;
    platform::SleepMs(10);
    const std::string path = platform::JoinPath(folder, e.name);
    if (e.isFolder) {
      if (recursive && depth < frame.options.maxRecursive - 1 && !e.isSymlink &&
          !platform::EqualsNoCase(e.name, "Success") && !platform::EqualsNoCase(e.name, "Fail")) {
        if (CheckFileExists(frame, path, recursive, total, depth + 1)) found = 1;
      }
      continue;
    }
    // A link is no eligible file (the walk refuses it like a read-only one).
    if (e.isSymlink || !platform::IsFile(path)) continue;
    if (platform::IsReadOnly(path) || platform::IsHidden(path) || platform::IsSystemOrTemporary(path)) continue;
    if (frame.except.IsExceptedFile(e.name) || frame.except.IsExceptedExtension(companion::ComFileExtension(e.name)))
      continue;
    total += platform::FileSize(path).value_or(0);
    found = 1;
    ZV_WATCH_TRACE("CheckFileExists: File Exists. Checked Folder - " + folder + " , Found File - " + e.name);
  }
  return found;
}

// ---- DeleteOldFolder ----------------------------------------------------------

int DatedFolderAgeDays(const std::string& name, std::int64_t now) {
  if (name.size() != 8) return -1;
  for (char c : name)
    if (c < '0' || c > '9') return -1;
  const int year = std::atoi(name.substr(0, 4).c_str());
  const int month = std::atoi(name.substr(4, 2).c_str());
  const int day = std::atoi(name.substr(6, 2).c_str());
  if (year <= 1999 || month < 1 || month > 12 || day < 1) return -1;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int monthDays = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > monthDays) return -1;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_isdst = -1;
  const std::time_t midnight = std::mktime(&tm);
  if (midnight == static_cast<std::time_t>(-1)) return -1;
  const std::int64_t age = (now - static_cast<std::int64_t>(midnight)) / 86400;
  return age < 0 ? 0 : static_cast<int>(age);
}

int DeleteOldFolder(WatchFrame& frame, const std::string& folder, int termDays) {
  if (termDays <= 0) return 1;
  return DeleteOldFolder(frame, platform::FolderHandle::Open(folder), termDays);
}

int DeleteOldFolder(WatchFrame& frame, const platform::FolderHandle& folder, int termDays) {
  // A negative term (a value the readers should have refused) removes nothing.
  if (termDays <= 0 || !folder.valid()) return 1;
  auto entries = folder.List();
  if (!entries) return 1;
  const std::int64_t now = platform::UnixSeconds();
  const std::string today = DayText(now);
  for (const auto& e : *entries) {
    if (!e.isFolder || e.isSymlink || e.name == today) continue;
    const int age = DatedFolderAgeDays(e.name, now);
    if (age < 0 || age <= termDays) continue;
    // Removed relative to the open folder: a link swapped in never leads out.
    if (!folder.RemoveTree(e.name))
      WriteImpLogLine(frame.log, kImpLogDel, std::string(kImpLogDelError) + folder.PathOf(e.name));
  }
  return 1;
}

// ---- write probe ----------------------------------------------------------------

int MyTestWritePermission(const std::string& path, const std::string& programFolder) {
  if (path.empty() || !platform::Exists(path)) return -1;
  if (!platform::IsFolder(path)) return platform::IsReadOnly(path) ? -1 : 1;
  const std::string probe = platform::JoinPath(path, "~.tmp");
  {
    platform::HeldLock held = platform::HeldLock::TryAcquire(probe, true);
    if (!held) return -1;
    if (!held.Release()) {
      platform::SetHidden(probe, true);
      return -1;
    }
  }
  const std::string marker = platform::JoinPath(programFolder, "~Imp_tmp");
  if (!programFolder.empty() && platform::IsFile(marker)) {
    const std::string copy = platform::JoinPath(path, "~_Imp_tmp");
    const std::string renamed = platform::JoinPath(path, "~Imp_tmp");
    if (!platform::CopyFile(marker, copy, true)) return -1;
    if (!platform::RenamePath(copy, renamed, true)) {
      platform::RemoveFile(copy);
      return -1;
    }
    if (!platform::RemoveFile(renamed)) {
      platform::SetHidden(renamed, true);
      return -1;
    }
  }
  return 1;
}

int TestWritePermissionAt(const platform::FolderHandle& folder, const std::string& programFolder) {
  if (!folder.valid()) return -1;
  if (!folder.CreateExclusive("~.tmp")) {
    // A probe file left by an earlier run: replace it.
    if (folder.IsLinkEntry("~.tmp") || !folder.Remove("~.tmp") || !folder.CreateExclusive("~.tmp")) return -1;
  }
  if (!folder.Remove("~.tmp")) {
    platform::SetHidden(folder.PathOf("~.tmp"), true);
    return -1;
  }
  const std::string marker = platform::JoinPath(programFolder, "~Imp_tmp");
  if (!programFolder.empty() && platform::IsFile(marker)) {
    if (!folder.CopyFileIn(marker, "~_Imp_tmp")) return -1;
    if (!folder.Rename("~_Imp_tmp", "~Imp_tmp")) {
      folder.Remove("~_Imp_tmp");
      return -1;
    }
    if (!folder.Remove("~Imp_tmp")) {
      platform::SetHidden(folder.PathOf("~Imp_tmp"), true);
      return -1;
    }
  }
  return 1;
}

platform::FolderHandle OpenDefaultSaveFolder(const std::string& topTarget, const std::string& targetFolder,
                                             const std::string& name, bool create) {
  const std::string top = platform::TrimTrailingSeparator(topTarget);
  const std::string folder = platform::TrimTrailingSeparator(targetFolder);
  platform::FolderHandle parent;
  if (!top.empty() && folder.size() > top.size() && folder.compare(0, top.size(), top) == 0 &&
      folder[top.size()] == '/') {
    parent = platform::FolderHandle::OpenBelow(top, folder.substr(top.size() + 1), false);
  } else {
    parent = platform::FolderHandle::Open(folder);
  }
  return parent.Child(name, create);
}

// ---- free space ---------------------------------------------------------------------

bool HasFreeSpace(const WatchFrame& frame, const std::string& path, std::uint64_t needed) {
  std::optional<std::uint64_t> free = frame.freeSpace ? frame.freeSpace(path) : platform::FreeSpace(path);
  if (!free) return true;  // a failed query counts as enough space
  return *free >= needed;
}

// ---- recreated binder ------------------------------------------------------------------

bool IsBinderRecreated(const WatchFrame& frame, const AutoFileSetting& setting) {
  if (setting.check != 1 || setting.targetBinder.empty()) return false;
  const std::string binder = platform::TrimTrailingSeparator(setting.targetBinder);
  if (!platform::IsFolder(binder)) return true;
  if (setting.workDesk == 1 || setting.setDate.empty()) return false;
  const std::string ini = platform::JoinPath(binder, platform::LastComponent(binder) + ".ini");
  if (!platform::IsFile(ini)) return true;
  const std::string& sec = frame.options.binderIniSetDateSec;
  const std::string& key = frame.options.binderIniSetDateKey;
  if (sec.empty() || key.empty()) return true;
  EnvLockHandle lock = AcquireEnvLock(binder, "~Write.Locked", kEnvLockTimeoutSeconds);
  if (!lock.valid()) return false;
  const std::string raw = ProfileRead(sec, key, "", ini);
  ReleaseEnvLock(lock, binder, "~Write.Locked");
  // Both as digits, so a date-and-time stamp compares by its whole value,
  // not by the year before its first "/". Stamps of two kinds (decimal
  // seconds against a date and time) say nothing about each other.
  const std::string theirs = CreationStampDigits(raw);
  const std::string mine = CreationStampDigits(setting.setDate);
  if (theirs.empty() || mine.empty()) return false;
  if (mine.size() != theirs.size()) {
    ZV_WATCH_TRACE("Thread_FileCheck: creation stamps of two kinds - " + setting.setDate + ", " + raw);
    return false;
  }
  if (std::atoll(mine.c_str()) == 0 || std::atoll(theirs.c_str()) == 0) return false;
  return mine < theirs;
}

}  // namespace zv::monitor
