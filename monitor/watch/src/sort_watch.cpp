// The sort-folder watch: the links read once per raised SortModified, and the
// pass over them in every cycle after the auto-file pass.
#include "monitor/watch/sort_watch.h"

#include <vector>

#include "companion/common.h"
#include "companion/services.h"
#include "monitor/log/imp_log.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
#include "monitor/watch/checks.h"
#include "monitor/watch/folder_check.h"
#include "monitor/watch/network_reach.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "watch_private.h"

namespace zv::monitor {

int ConvertSortFolderInfoToReadFileInfo(const SortSettings* sort, int k, AutoFileSetting* record,
                                        const MonitorOptions& options) {
  if (sort == nullptr || record == nullptr || k < 0 || k >= sort->setTotal()) return 0;
  const SortLink& link = sort->links[static_cast<std::size_t>(k)];
  AutoFileSetting r;
  r.check = sort->enabled;
  r.targetFolder = link.folder;
  r.recursive = 0;
  r.setNumber = link.setNumber;
  r.targetBinder = link.binder;
  r.linkFolder =
      sort->linkFolder.empty() ? LinkFolderOfBinder(link.binder) : platform::TrimTrailingSeparator(sort->linkFolder);
  r.workDesk = 0;
  r.textInfoFlag = 0;
  // The result notice goes to this user only.
  r.sendResult = 2;
  r.users = companion::ThisUserName();
  r.userCount = r.users.empty() ? 0 : 1;
  r.searchBinder = options.disableSearchBinder == 1 ? link.searchBinder : 0;
  r.setDate = link.setDate;
  r.insertPos = sort->insertPos;
  r.setName = MonitorText(kIdsSortLinkName);
  r.checkTimer = sort->checkTimer;
  r.deleteDate = link.deleteDate;
  // The save folders are the defaults below the link's folder.
  r.moveSucceeded = sort->moveSucceeded;
  r.moveFailed = sort->moveFailed;
  r.succeededTerm = sort->succeededTerm;
  r.failedTerm = sort->failedTerm;
  r.hideSaveFolders = sort->hideSaveFolders() ? 1 : 0;
  *record = std::move(r);
  return 1;
}

void TakeOverSortSettings(WatchFrame& frame) {
  WatchFrame::SortWatch& w = frame.sort;
  if (w.read && ReadChangeFlag(frame.settingsFile, ChangeFlag::SortModified) == 0) return;
  if (!ReadSortLinks(frame.env, w.settings)) return;
  w.read = true;
  w.lastCheck = 0;
  // One look at the two roots serves every link below them.
  const int limit = platform::NetworkProbeLimitMs();
  auto onNetwork = [limit](const std::string& p) {
    return !p.empty() && platform::ProbePath(p, limit) != platform::PathReach::Local;
  };
  w.onNetwork = onNetwork(w.settings.sortFolder) || onNetwork(w.settings.linkFolder);
  ZV_WATCH_TRACE("Thread_FileCheck:  Sort Folder setting was read. ");
}

namespace {

// What one pass carries from link to link.
struct SortPass {
  std::vector<int> cleaned;  // links whose clean-up date changed
  bool statusHeld = false;   // the monitor status is 4 for this pass
};

// The status 4 is taken once per pass, when the first link is walked, and
// given back at its end: one write each, not two per link. A stop chosen
// meanwhile (in the cell or the settings file) is never overwritten.
bool HoldSortStatus(WatchFrame& frame, SortPass& pass) {
  if (pass.statusHeld) return frame.status.load() != kStatusStopped;
  EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
  if (MonitorStopRequested(frame)) return false;
  int current = frame.status.load();
  if (current != kStatusSortWatch) {
    current = kStatusOnline;
    if (!frame.status.compare_exchange_strong(current, kStatusSortWatch)) return false;
  }
  ProfileWrite("Option", "MonitorStatus", kStatusSortWatch, frame.settingsFile);
  guard.Commit();
  pass.statusHeld = true;
  if (frame.shell != nullptr) frame.shell->SetStatusIcon(kStatusSortWatch);
  return true;
}

void ReleaseSortStatus(WatchFrame& frame, SortPass& pass) {
  if (!pass.statusHeld) return;
  pass.statusHeld = false;
  EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
  if (MonitorStopRequested(frame)) return;
  int current = kStatusSortWatch;
  if (!frame.status.compare_exchange_strong(current, kStatusOnline)) return;
  ProfileWrite("Option", "MonitorStatus", kStatusOnline, frame.settingsFile);
  guard.Commit();
  if (frame.shell != nullptr) frame.shell->SetStatusIcon(kStatusOnline);
}

// Once a day per link: the dated folders of its "Success" and "Fail"
// folders. Only below a folder given as an absolute path: a relative one
// would be taken from the working folder, which is nobody's sort folder.
void CleanUpLink(WatchFrame& frame, SortPass& pass, int k) {
  SortLink& link = frame.sort.settings.links[static_cast<std::size_t>(k)];
  const std::string folder = platform::TrimTrailingSeparator(link.folder);
  if (folder.empty() || !platform::IsAbsolutePath(folder)) return;
  const std::string today = DayText(platform::UnixSeconds());
  if (!(link.deleteDate < today)) return;
  const SortSettings& sort = frame.sort.settings;
  WriteImpLogLine(frame.log, kImpLogDel, std::string(kImpLogDelStart) + link.folder);
  DeleteOldFolder(frame, OpenDefaultSaveFolder(folder, folder, "Success", false), sort.succeededTerm);
  DeleteOldFolder(frame, OpenDefaultSaveFolder(folder, folder, "Fail", false), sort.failedTerm);
  link.deleteDate = today;
  pass.cleaned.push_back(k);
  WriteImpLogLine(frame.log, kImpLogDel, std::string(kImpLogDelEnd) + link.folder);
}

// The walk of one link's folder, between the monitor log's lines.
void WalkLink(WatchFrame& frame, const AutoFileSetting& record, int k, const std::string& scanFolder) {
  const int no = k + 1;
  const std::int64_t started = platform::UnixSeconds();
  if (frame.monitorLog.IsOpen()) frame.monitorLog.WriteStartReading(no, started, record.targetBinder);
  ZV_WATCH_TRACE("Thread_FileCheck: Call CheckFolder().");
  CheckFolder(frame, no, scanFolder, ".", record.targetFolder, record, record.moveSucceeded, std::string(),
              record.moveFailed, std::string(), kStatusSortWatch, 0, k, frame.stagingInUse ? 1 : 0, 0, 0);
  ZV_WATCH_TRACE("Thread_FileCheck: Return CheckFolder().");
  const std::int64_t ended = platform::UnixSeconds();
  if (frame.monitorLog.IsOpen()) frame.monitorLog.WriteFinishedReading(no, ended, ended - started);
}

// The checks of one link, as for a target-folder setting; false skips it.
bool LinkReady(WatchFrame& frame, const AutoFileSetting& record, int k, std::uint64_t total, std::string& scanFolder) {
  if (const Unreachable dead = FirstUnreachablePath(record)) {
    SkipFile(frame, kSkipNoMonitoredFolder, k, dead.path,
             "Thread_FileCheck: Target folder does not exist - " + dead.path, 10);
    return false;
  }
  if (!platform::IsFolder(record.targetFolder)) {
    SkipFile(frame, kSkipNoMonitoredFolder, k, record.targetFolder,
             "Thread_FileCheck: Target folder does not exist - " + record.targetFolder, 10);
    return false;
  }
  if (!DestinationsFit(frame, record, k)) return false;
  if (!ChooseScanFolder(frame, record, k, scanFolder)) return false;
  ZV_WATCH_TRACE("Thread_FileCheck: Sort Folder Function --------------- Start - No. " + std::to_string(k + 1) +
                 " ---------------");
  if (!RoomForFiles(frame, record, k, total)) return false;
  if (frame.options.recreatedBinderCheck && IsBinderRecreated(frame, record)) {
    SkipFile(frame, kSkipBinderRecreated, k, record.targetBinder,
             "Thread_FileCheck: Skip - Target binder is recreated - " + record.targetBinder, 10);
    return false;
  }
  return true;
}

// One link of the pass.
void WatchLink(WatchFrame& frame, SortPass& pass, int k) {
  if (ImpListDeletionInProgress(frame)) {
    SkipSetting(frame, kSkipImpListDeleting, k, "Thread_FileCheck:  Skip - ImpList data deletion now. ", 10);
    return;
  }
  if (SettingsDialogOpen(frame)) {
    platform::SleepMs(10);
    return;
  }
  CleanUpLink(frame, pass, k);
  const SortLink& link = frame.sort.settings.links[static_cast<std::size_t>(k)];
  if (link.folder.empty() || link.binder.empty()) {
    SkipSetting(frame, kSkipNoFolderOrBinder, k,
                "Thread_FileCheck:  Skip - Target folder or target binder is not set. ", 10);
    return;
  }
  std::uint64_t total = 0;
  if (!CheckFileExists(frame, link.folder, 0, total)) return;

  AutoFileSetting record;
  if (ConvertSortFolderInfoToReadFileInfo(&frame.sort.settings, k, &record, frame.options) != 1) {
    SkipFile(frame, kSkipMonitoredNoWrite, k, link.folder,
             "Thread_FileCheck: Skip - ConvertSortFolderInfoToReadFileInfo failed - " + link.folder, 10);
    return;
  }
  const int onNetwork = frame.sort.onNetwork ? 1 : 0;
  record.targetOnNetwork = record.linkOnNetwork = record.resultFoldersOnNetwork = onNetwork;

  std::string scanFolder;
  const bool ready = LinkReady(frame, record, k, total, scanFolder) && HoldSortStatus(frame, pass);
  if (ready) WalkLink(frame, record, k, scanFolder);
  RemoveStagingFolder(frame);
  if (!ready) return;
  ZV_WATCH_TRACE("Thread_FileCheck: Sort Folder Function --------------- End - No. " + std::to_string(k + 1) +
                 " ---------------");
  platform::SleepMs(20);
}

}  // namespace

void SortFolderPass(WatchFrame& frame) {
  WatchFrame::SortWatch& w = frame.sort;
  if (!w.read || w.settings.enabled != 1) return;
  ZV_WATCH_TRACE("Thread_FileCheck: --- Start Sort Folder Watch ---");
  const std::int64_t now = platform::UnixSeconds();
  if (w.lastCheck != 0 && now < w.lastCheck) {
    w.lastCheck = now;  // the clock went back: the interval starts again
    platform::SleepMs(10);
    return;
  }
  if (w.lastCheck != 0 && (now - w.lastCheck) / 60 < w.settings.checkTimer) {
    platform::SleepMs(10);
    return;
  }
  w.lastCheck = now;
  // A dead network share holds the pass back for one cycle instead of the
  // watch thread: nothing below it (the clean-up included) is touched.
  if (w.onNetwork) {
    for (const std::string& root : {w.settings.sortFolder, w.settings.linkFolder}) {
      if (!root.empty() && companion::ComIsUnreachable(root) != 0) {
        SkipFile(frame, kSkipNoMonitoredFolder, kSkipNoSetting, root,
                 "Thread_FileCheck: Target folder does not exist - " + root, 10);
        return;
      }
    }
  }

  SortPass pass;
  for (int k = 0; k < w.settings.setTotal(); ++k) {
    if (!frame.watching.load()) break;
    // Stopped, or another pass owns the status.
    const int status = frame.status.load();
    if (status != kStatusOnline && status != kStatusSortWatch) break;
    if (MonitorStopRequested(frame)) break;
    WatchLink(frame, pass, k);
  }
  ReleaseSortStatus(frame, pass);
  RemoveStagingFolder(frame);
  WriteSortDeleteDates(frame.env, w.settings, pass.cleaned);
}

}  // namespace zv::monitor
