// The watch thread: its start, its cycles over the auto-file settings, and
// starting and stopping it.
#include <algorithm>

#include "companion/common.h"
#include "companion/services.h"
#include "monitor/log/imp_log.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/watch/checks.h"
#include "monitor/watch/engine.h"
#include "monitor/watch/fax_watch.h"
#include "monitor/watch/folder_check.h"
#include "monitor/watch/network_reach.h"
#include "monitor/watch/sort_watch.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "watch_private.h"

namespace zv::monitor {

namespace {

constexpr std::uint64_t kMiB = 1024ull * 1024ull;

std::string Join(const std::string& a, const std::string& b) { return platform::JoinPath(a, b); }

int SettingCount(const WatchFrame& frame) {
  return std::max(0, std::min(frame.options.setTotal, static_cast<int>(frame.settings.size())));
}

void ReReadSettings(WatchFrame& frame) {
  frame.options = ReadMonitorOptions(frame.env.settings, platform::UserName());
  frame.published.Publish(frame.options);
  if (frame.settings.size() < static_cast<std::size_t>(std::max(frame.options.setTotalMax, 1)))
    frame.settings.resize(static_cast<std::size_t>(std::max(frame.options.setTotalMax, 1)));
  ReadAutoFileSettings(frame.env, frame.options, frame.settingContext, frame.settings);
  frame.lastCheck.assign(frame.settings.size(), 0);
}

// A file another process still holds open (a scanner still writing it) is
// not copied half-finished: it stays for a later cycle, as the walk leaves it.
bool StillInUse(WatchFrame& frame, int n, const std::string& path) {
  if (frame.probe->CanOpenExclusively(path)) return false;
  SkipFile(frame, kSkipFileLocked, n, path, "CheckFolder: Skip - File is in Lock. \n " + path, 0);
  return true;
}

// Copies the eligible files of a folder (and its subfolders) into the
// staging folder, leaving out files still in use. False when anything could
// not be copied.
bool StageFiles(WatchFrame& frame, int n, const std::string& from, const std::string& to) {
  if (!platform::MakeFolders(to)) return false;
  auto entries = platform::ListFolder(from);
  if (!entries) return false;
  for (const auto& e : *entries) {
    const std::string src = Join(from, e.name);
    if (e.isSymlink) continue;
    if (platform::IsHidden(src) || platform::IsSystemOrTemporary(src)) continue;
    if (e.isFolder) {
      if (platform::EqualsNoCase(e.name, "Success") || platform::EqualsNoCase(e.name, "Fail")) continue;
      if (!StageFiles(frame, n, src, Join(to, e.name))) return false;
      continue;
    }
    if (StillInUse(frame, n, src)) continue;
    const std::string dst = Join(to, e.name);
    if (!platform::CopyFile(src, dst, true)) return false;
    platform::SetReadOnly(dst, false);
  }
  return true;
}

// The folders a setting moves to must exist or be creatable and be writable.
bool SaveFolderUsable(WatchFrame& frame, const std::string& folder) {
  if (!platform::IsFolder(folder)) {
    if (!platform::IsAbsolutePath(folder) ||
        platform::ProbePath(folder, platform::NetworkProbeLimitMs()) != platform::PathReach::Local)
      return false;
    if (!platform::MakeFolders(folder)) return false;
  }
  return MyTestWritePermission(folder, frame.env.folder) == 1;
}

// An explicit save folder is cleaned as configured; a default one is
// entered without following a link planted in its place.
void CleanSaveFolder(WatchFrame& frame, const AutoFileSetting& record, const std::string& given,
                     const char* defaultName, int term) {
  if (!given.empty())
    DeleteOldFolder(frame, given, term);
  else
    DeleteOldFolder(frame, OpenDefaultSaveFolder(record.targetFolder, record.targetFolder, defaultName, false), term);
}

void DailyCleanUp(WatchFrame& frame, AutoFileSetting& record, int n) {
  const std::string today = DayText(platform::UnixSeconds());
  if (record.targetFolder.empty() || !(record.deleteDate < today)) return;
  const std::string succ =
      record.succeededFolder.empty() ? Join(record.targetFolder, "Success") : record.succeededFolder;
  const std::string fail = record.failedFolder.empty() ? Join(record.targetFolder, "Fail") : record.failedFolder;
  WriteImpLogLine(frame.log, kImpLogDel, std::string(kImpLogDelStart) + record.targetFolder);
  CleanSaveFolder(frame, record, record.succeededFolderSet ? succ : std::string(), "Success", record.succeededTerm);
  CleanSaveFolder(frame, record, record.failedFolderSet ? fail : std::string(), "Fail", record.failedTerm);
  {
    EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
    ProfileWrite("AutoFileRead", "DeleteFolderDate" + std::to_string(n), today, frame.settingsFile);
    guard.Commit();
  }
  record.deleteDate = today;
  frame.settings[static_cast<std::size_t>(n - 1)].deleteDate = today;
  WriteImpLogLine(frame.log, kImpLogDel, std::string(kImpLogDelEnd) + record.targetFolder);
}

// The sort-folder and fax settings whose change flags are raised are taken
// over at the start of the cycle, before any pass walks a folder: a raised
// flag (start-up raises FaxModified) thus never holds a pass back for a
// cycle.
void TakeOverSortAndFaxSettings(WatchFrame& frame) {
  TakeOverSortSettings(frame);
  TakeOverFaxSettings(frame);
}

// A setting whose network path does not answer, with the skip of that path.
void SkipUnreachable(WatchFrame& frame, int n, const Unreachable& dead) {
  switch (dead.part) {
    case UnreachablePart::Target:
      SkipFile(frame, kSkipNoMonitoredFolder, n, dead.path,
               "Thread_FileCheck: Target folder does not exist - " + dead.path, 0);
      break;
    case UnreachablePart::Binder:
      SkipFile(frame, kSkipBinderNoWrite, n, dead.path,
               "Thread_FileCheck: Skip - No write authority. Target binder. - " + dead.path, 0);
      break;
    case UnreachablePart::Succeeded:
      SkipFile(frame, kSkipSucceededNoWrite, n, dead.path, "Thread_FileCheck: Skip - No write authority - " + dead.path,
               0);
      break;
    case UnreachablePart::Failed:
      SkipFile(frame, kSkipFailedNoWrite, n, dead.path,
               "Thread_FileCheck: Skip - By failed folder's permission - " + dead.path, 0);
      break;
    case UnreachablePart::None: break;
  }
  platform::SleepMs(10);
}

// Not while the import list is being cleared or the settings
// dialog is open; changed settings are read anew. False when the setting
// is not walked this time.
bool SettingMayStart(WatchFrame& frame, int n) {
  const std::size_t idx = static_cast<std::size_t>(n - 1);
  if (ImpListDeletionInProgress(frame)) {
    SkipSetting(frame, kSkipImpListDeleting, n, "Thread_FileCheck:  Skip - ImpList data deletion now. ", 10);
    return false;
  }
  RemoveStagingFolder(frame);
  if (SettingsDialogOpen(frame)) {
    platform::SleepMs(10);
    return false;
  }
  if (ReadChangeFlag(frame.settingsFile, ChangeFlag::Modified) != 0) {
    ReReadSettings(frame);
    ZV_WATCH_TRACE("Thread_FileCheck:  Auto File setting was read. ");
    if (idx >= frame.settings.size() || n > SettingCount(frame)) return false;
  }
  return true;
}

// The record of a setting as this pass uses it.
AutoFileSetting RecordInHand(const WatchFrame& frame, std::size_t idx) {
  AutoFileSetting record = frame.settings[idx];
  if (frame.options.disableSearchBinder == 0) record.searchBinder = 0;
  // Unset save folders are the defaults below the (sub)folder being walked.
  if (!record.succeededFolderSet) record.succeededFolder.clear();
  if (!record.failedFolderSet) record.failedFolder.clear();
  return record;
}

// Due check: false while the setting's interval has not passed.
bool SettingDue(WatchFrame& frame, std::size_t idx, const AutoFileSetting& record, std::int64_t now) {
  const std::int64_t elapsedMinutes = frame.lastCheck[idx] == 0 ? INT32_MAX : (now - frame.lastCheck[idx]) / 60;
  if (frame.lastCheck[idx] != 0 && now < frame.lastCheck[idx]) {
    frame.lastCheck[idx] = now;  // the clock went back: wait one more interval
    platform::SleepMs(20);
    RemoveStagingFolder(frame);
    platform::SleepMs(10);
    return false;
  }
  if (elapsedMinutes < record.checkTimer) {
    RemoveStagingFolder(frame);
    platform::SleepMs(10);
    return false;
  }
  frame.lastCheck[idx] = now;
  return true;
}

// One save folder the sources are moved to: a given one must be a writable
// folder, a default one no link, file or read-only folder. False skips.
bool SaveFolderFit(WatchFrame& frame, int n, const std::string& given, const std::string& fallback, bool success) {
  if (!given.empty()) {
    if (!platform::IsFolder(given) || MyTestWritePermission(given, frame.env.folder) != 1) {
      if (success)
        SkipFile(frame, kSkipSucceededNoWrite, n, given, "Thread_FileCheck: Skip - No write authority - " + given, 10);
      else
        SkipFile(frame, kSkipFailedNoWrite, n, given,
                 "Thread_FileCheck: Skip - By failed folder's permission - " + given, 10);
      return false;
    }
  } else if (platform::IsSymlink(fallback) ||  // a link planted there is never followed
             (platform::Exists(fallback) && (!platform::IsFolder(fallback) || platform::IsReadOnly(fallback) ||
                                             platform::IsSystemOrTemporary(fallback)))) {
    if (success)
      SkipFile(frame, kSkipSucceededReadOnly, n, fallback,
               "Thread_FileCheck: Skip - Folder has a hide attribute - " + fallback, 10);
    else
      SkipFile(frame, kSkipFailedReadOnly, n, fallback,
               "Thread_FileCheck: Skip - Failed folder's attribute - " +
                   std::to_string(platform::IsReadOnly(fallback) ? 1 : 0) + ", " + fallback,
               10);
    return false;
  }
  return true;
}

}  // namespace

// The save folders, the binder and the link folder of a setting. False skips.
bool DestinationsFit(WatchFrame& frame, const AutoFileSetting& record, int n) {
  if (record.moveSucceeded == 0 &&
      !SaveFolderFit(frame, n, record.succeededFolder, Join(record.targetFolder, "Success"), true))
    return false;
  if (record.moveFailed == 0 && !SaveFolderFit(frame, n, record.failedFolder, Join(record.targetFolder, "Fail"), false))
    return false;
  if (MyTestWritePermission(record.targetBinder, frame.env.folder) != 1) {
    SkipFile(frame, kSkipBinderNoWrite, n, record.targetBinder,
             "Thread_FileCheck: Skip - No write authority. Target binder. - " + record.targetBinder, 10);
    return false;
  }
  if (!record.linkFolder.empty()) {
    const companion::ViewerFolders v = companion::ReadViewerFolders();
    bool known = false;
    for (const auto& l : v.link)
      if (!l.empty() && platform::EqualsNoCase(platform::TrimTrailingSeparator(l),
                                               platform::TrimTrailingSeparator(record.linkFolder)))
        known = true;
    if (!known) {
      SkipFile(frame, kSkipBinderNotInLink, n, record.linkFolder,
               "Thread_FileCheck: Skip - Target binder is not in link folder. Link folder - " + record.linkFolder, 10);
      return false;
    }
  }
  return true;
}

// Monitored-folder access: the folder itself, or a staged copy of it when
// it cannot be written. False skips.
bool ChooseScanFolder(WatchFrame& frame, const AutoFileSetting& record, int n, std::string& scanFolder) {
  scanFolder = record.targetFolder;
  if (MyTestWritePermission(record.targetFolder, frame.env.folder) == 1) return true;
  std::string inHand = record.targetFolder;
  bool ok = StageFiles(frame, n, record.targetFolder, frame.stagingFolder);
  frame.stagingInUse = true;
  if (ok) {
    inHand = frame.stagingFolder;
    if (record.moveSucceeded == 0)
      ok = SaveFolderUsable(
          frame, record.succeededFolder.empty() ? Join(record.targetFolder, "Success") : record.succeededFolder);
    if (ok && record.moveFailed == 0)
      ok = SaveFolderUsable(frame,
                            record.failedFolder.empty() ? Join(record.targetFolder, "Fail") : record.failedFolder);
  }
  if (!ok) {
    SkipFile(frame, kSkipMonitoredNoWrite, n, inHand, "Thread_FileCheck: Skip - No write authority - " + inHand, 10);
    return false;
  }
  scanFolder = frame.stagingFolder;
  return true;
}

// Room for `total` bytes of files where their pages and sources go. False skips.
bool RoomForFiles(WatchFrame& frame, const AutoFileSetting& record, int n, std::uint64_t total) {
  if (total == 0) return true;
  if (!record.linkFolder.empty() && !HasFreeSpace(frame, record.linkFolder, 2 * (total + 10 * kMiB))) {
    SkipFile(frame, kSkipNoSpaceLink, n, record.linkFolder,
             "Thread_FileCheck: Skip - No disk area in link folder - " + record.linkFolder, 10);
    return false;
  }
  const std::string succVol = record.succeededFolder.empty() ? record.targetFolder : record.succeededFolder;
  if (!HasFreeSpace(frame, succVol, total + 20 * kMiB)) {
    SkipFile(frame, kSkipNoSpaceSucceeded, n, succVol,
             "Thread_FileCheck: Skip - No disk area in succeeded folder - " + succVol, 10);
    return false;
  }
  const std::string failVol = record.failedFolder.empty() ? record.targetFolder : record.failedFolder;
  if (!HasFreeSpace(frame, failVol, total + 20 * kMiB)) {
    SkipFile(frame, kSkipNoSpaceFailed, n, failVol,
             "Thread_FileCheck: Skip - No disk area in failed folder - " + failVol, 10);
    return false;
  }
  return true;
}

namespace {

// The walk over the setting's folder, between the monitor log's lines.
void WalkSetting(WatchFrame& frame, const AutoFileSetting& record, int n, const std::string& scanFolder) {
  const std::int64_t started = platform::UnixSeconds();
  if (frame.monitorLog.IsOpen()) frame.monitorLog.WriteStartReading(n, started, record.targetBinder);
  ZV_WATCH_TRACE("Thread_FileCheck: Call CheckFolder().");
  CheckFolder(frame, n, scanFolder, ".", record.targetFolder, record, record.moveSucceeded, record.succeededFolder,
              record.moveFailed, record.failedFolder, frame.status.load(), 0, n, frame.stagingInUse ? 1 : 0, 0, 0);
  ZV_WATCH_TRACE("Thread_FileCheck: Return CheckFolder().");
  const std::int64_t ended = platform::UnixSeconds();
  if (frame.monitorLog.IsOpen()) frame.monitorLog.WriteFinishedReading(n, ended, ended - started);
  frame.lastCheck[static_cast<std::size_t>(n - 1)] = ended;
  platform::SleepMs(20);
}

// One auto-file setting (steps 1 to 24 of the pass).
void WatchSetting(WatchFrame& frame, int n) {
  const std::size_t idx = static_cast<std::size_t>(n - 1);
  if (!SettingMayStart(frame, n)) return;
  AutoFileSetting record = RecordInHand(frame, idx);
  const std::int64_t now = platform::UnixSeconds();
  if (!SettingDue(frame, idx, record, now)) return;

  if (MenuOpen(frame)) {
    SkipSetting(frame, kSkipDisplayMenu, n, "Thread_FileCheck:  Skip - Popup menu is openinig now. ", 10);
    return;
  }
  if (record.check != 1 || frame.status.load() != kStatusOnline) {
    frame.lastCheck[idx] = now;
    platform::SleepMs(20);
    return;
  }
  // A dead network mount skips the setting instead of hanging the thread:
  // every network path of the setting is looked at, with a time limit,
  // before anything (the clean-up included) touches it.
  if (const Unreachable dead = FirstUnreachablePath(record)) {
    SkipUnreachable(frame, n, dead);
    return;
  }
  DailyCleanUp(frame, record, n);
  if (record.targetFolder.empty() || record.targetBinder.empty()) {
    SkipSetting(frame, kSkipNoFolderOrBinder, n,
                "Thread_FileCheck:  Skip - Target folder or target binder is not set. ", 10);
    return;
  }
  std::uint64_t total = 0;
  if (!CheckFileExists(frame, record.targetFolder, record.recursive, total)) {
    platform::SleepMs(10);
    return;
  }
  if (!platform::IsFolder(record.targetFolder)) {
    SkipFile(frame, kSkipNoMonitoredFolder, n, record.targetFolder,
             "Thread_FileCheck: Target folder does not exist - " + record.targetFolder, 10);
    return;
  }
  if (!DestinationsFit(frame, record, n)) return;
  std::string scanFolder;
  if (!ChooseScanFolder(frame, record, n, scanFolder)) return;
  ZV_WATCH_TRACE("Thread_FileCheck: Auto File Function --------------- Start - No. " + std::to_string(n) +
                 " ---------------");
  if (!RoomForFiles(frame, record, n, total)) return;
  if (frame.options.recreatedBinderCheck && IsBinderRecreated(frame, record)) {
    SkipFile(frame, kSkipBinderRecreated, n, record.targetBinder,
             "Thread_FileCheck: Skip - Target binder is recreated - " + record.targetBinder, 10);
    return;
  }
  WalkSetting(frame, record, n, scanFolder);
  ZV_WATCH_TRACE("Thread_FileCheck: Auto File Function --------------- End - No. " + std::to_string(n) +
                 " ---------------");
}

}  // namespace

void WatchThreadStart(WatchFrame& frame) {
  frame.settingsFile = frame.env.settings;
  frame.waitLocal = frame.options.waitLocal;
  frame.waitNetwork = frame.options.waitNetwork;
  frame.skipLog.Begin(frame.log);
  frame.viewerEnvFile = companion::ViewerEnvironmentPath();
  frame.except = ReadExceptLists(frame.settingsFile);
  {
    EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
    for (int n = 1; n <= SettingCount(frame); ++n) {
      ProfileWrite("AutoFileRead", "DeleteFolderDate" + std::to_string(n), "", frame.settingsFile);
      frame.settings[static_cast<std::size_t>(n - 1)].deleteDate.clear();
    }
    const int sortTotal = std::min(ProfileRead(kSortSection, "SetTotal", 0, frame.settingsFile), kSortLinksMax);
    for (int n = 1; n <= sortTotal; ++n)
      ProfileWrite("FolderMonitorSet", "DeleteFolderDate" + std::to_string(n), "", frame.settingsFile);
    ProfileWrite("FaxMonitor", "DeleteFolderDate", "", frame.settingsFile);
    guard.Commit();
  }
  RefreshResultAreaCopies(frame.env, frame.computerName, AnsweringLinkFolders(companion::ReadViewerFolders()));
  frame.lastCheck.assign(frame.settings.size(), 0);
  // An earlier run may have filed pages in this very second: the stamps of
  // this run start after it, so recovery never mistakes one import's pages
  // for another's.
  frame.lastImportStamp = std::max(frame.lastImportStamp, platform::UnixSeconds());
  RecoverInterruptedImports(frame);
}

void WatchCycle(WatchFrame& frame) {
  ZV_WATCH_TRACE("Thread_FileCheck: --- Start Watch Loop ---");
  if (frame.shell != nullptr) {
    if (frame.trayShown.load()) {
      if (!frame.shell->KeepIconAlive()) frame.trayShown.store(false);
    } else if (frame.shell->RestoreIcon()) {
      frame.shell->SetStatusIcon(frame.status.load());
      frame.trayShown.store(true);
    }
  }
  frame.skipLog.ArmIfDue();

  // Mirror the viewer's link folders.
  {
    const companion::ViewerFolders v = companion::ReadViewerFolders();
    bool wrote = false;
    EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
    for (int i = 0; i < 3; ++i) {
      const std::string key = "LinkFolder" + std::to_string(i + 1);
      std::string viewer(platform::Trim(v.link[i]));
      viewer = platform::TrimTrailingSeparator(viewer);
      const std::string mine = ProfileRead("Option", key, "", frame.settingsFile);
      if ((!viewer.empty() || !mine.empty()) && !platform::EqualsNoCase(viewer, mine)) {
        ProfileWrite("Option", key, viewer, frame.settingsFile);
        wrote = true;
      }
    }
    (void)wrote;
    guard.Commit();
  }

  TakeOverSortAndFaxSettings(frame);

  // Auto-file pass.
  if (frame.lastCheck.size() < frame.settings.size()) frame.lastCheck.resize(frame.settings.size(), 0);
  for (int n = 1; n <= SettingCount(frame); ++n) {
    if (!frame.watching.load()) {
      RemoveStagingFolder(frame);
      break;
    }
    WatchSetting(frame, n);
  }

  // Wait after the pass.
  RemoveStagingFolder(frame);
  bool network = false;
  for (int n = 1; n <= SettingCount(frame); ++n) {
    const AutoFileSetting& s = frame.settings[static_cast<std::size_t>(n - 1)];
    if (s.check == 1 && (s.targetOnNetwork || s.resultFoldersOnNetwork)) network = true;
  }
  SleepWatching(frame, network ? frame.waitNetwork : frame.waitLocal);

  SortFolderPass(frame);
  FaxWatchStep(frame);

  frame.skipLog.Disarm();
  frame.cycles.fetch_add(1);
}

void Thread_FileCheck(WatchParams params) {
  WatchFrame& frame = *params.frame;
  WatchThreadStart(frame);
  while (frame.watching.load()) WatchCycle(frame);
  RemoveStagingFolder(frame);
}

void WatchThread::Start(WatchFrame& frame) {
  if (thread_.joinable()) return;
  frame_ = &frame;
  WatchParams params;
  params.frame = &frame;
  params.status = &frame.status;
  params.settings = &frame.settings;
  params.count = SettingCount(frame);
  ZV_WATCH_TRACE("======== Start AutoImp Monitor   ========");
  frame.watching.store(true);
  thread_ = std::thread(Thread_FileCheck, params);
}

void WatchThread::Stop() {
  if (!thread_.joinable()) return;
  frame_->watching.store(false);
  thread_.join();
  ZV_WATCH_TRACE("======== Stopped AutoImp Monitor ========\n");
}

}  // namespace zv::monitor
