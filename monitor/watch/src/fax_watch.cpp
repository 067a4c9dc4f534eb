// The fax step of the watch cycle and FAXCheck: one pass over the fax folder
// (and its subfolders), its documents handed setting by setting to the
// folder check.
#include "monitor/watch/fax_watch.h"

#include <algorithm>

#include "companion/common.h"
#include "monitor/log/imp_log.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/fax_settings.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/watch/checks.h"
#include "monitor/watch/folder_check.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "watch_private.h"

namespace zv::monitor {

namespace {

constexpr std::uint64_t kMiB = 1024ull * 1024ull;
constexpr const char* kFaxTmp = "$FaxTmp";

std::string Join(const std::string& a, const std::string& b) { return platform::JoinPath(a, b); }
std::string No(int n) { return std::to_string(n); }

bool StatusLetsFaxRun(int status) {
  return status == kStatusOnline || status == kStatusFaxWatch || status == kStatusSortWatch;
}

// The monitor status from one of the fax watch's own values to `to`, in the
// cell and the settings file, under the environment lock; never over a stop
// (the cell or the file holding 1). False when it was not changed.
bool SetFaxStatus(WatchFrame& frame, int to) {
  EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
  if (MonitorStopRequested(frame)) return false;
  int current = frame.status.load();
  if (!StatusLetsFaxRun(current) || !frame.status.compare_exchange_strong(current, to)) return false;
  if (current != to) ProfileWrite("Option", "MonitorStatus", to, frame.settingsFile);
  guard.Commit();
  if (frame.shell) frame.shell->SetStatusIcon(to);
  return true;
}

bool Stopped(const WatchFrame& frame) { return !frame.watching.load() || frame.status.load() == kStatusStopped; }

// One fax document of the work folder: its name, size and the setting that
// owns it (0: the other setting's).
struct Doc {
  std::string name;
  std::uint64_t size = 0;
  int owner = 0;
};

// The documents of the work folder, owners settled once per listing.
std::vector<Doc> ListDocs(WatchFrame& frame, const std::string& folder) {
  std::vector<Doc> docs;
  auto entries = platform::ListFolder(folder);
  if (!entries) return docs;
  for (const auto& e : *entries) {
    platform::SleepMs(10);
    const std::string path = Join(folder, e.name);
    if (e.isFolder || e.isSymlink || !platform::IsFile(path)) continue;
    if (platform::IsReadOnly(path) || platform::IsHidden(path) || platform::IsSystemOrTemporary(path)) continue;
    docs.push_back({e.name, platform::FileSize(path).value_or(0), FaxOwner(frame, e.name)});
  }
  return docs;
}

std::uint64_t TotalOf(const std::vector<Doc>& docs, int owner) {
  std::uint64_t t = 0;
  for (const Doc& d : docs)
    if (owner < 0 || d.owner == owner) t += d.size;
  return t;
}
bool AnyOwnedBy(const std::vector<Doc>& docs, int owner) {
  return std::any_of(docs.begin(), docs.end(), [&](const Doc& d) { return d.owner == owner; });
}

// What one folder's pass works with.
struct Pass {
  std::string folder;             // the fax (sub)folder
  std::string succeeded, failed;  // explicit save folders; "" for the defaults below `folder`
  std::string staging;            // `folder`, or $ImpTmp holding copies
  std::string work;               // `staging`, or its $FaxTmp
  std::uint64_t total = 0;
};

// Steps 3 and 4: the save folder of one outcome, unless the sources of that
// outcome are deleted. False stops the folder.
bool SaveFolderReady(WatchFrame& frame, const Pass& p, bool success) {
  const FaxSettings& fax = frame.fax;
  if ((success ? fax.moveSucceeded : fax.moveFailed) != 0) return true;
  const std::string& given = success ? p.succeeded : p.failed;
  const std::string path = given.empty() ? Join(p.folder, success ? "Success" : "Fail") : given;
  auto skip = [&](int code, const std::string& trace) {
    SkipFile(frame, code, kSkipNoSetting, path, trace, 5);
    return false;
  };
  const std::string noWrite = success ? "FAXCheck: Skip - Succeeded folder has no write authority - " + path
                                      : "FAXCheck: Skip - Failed folder has no write authority - " + path;
  if (path.empty()) {
    SkipSetting(frame, success ? kSkipFaxNoSucceeded : kSkipFaxNoFailed, kSkipNoSetting,
                success ? "FAXCheck: Skip - Succeeded folder is not set" : "FAXCheck: skip - Failed folder is not set",
                5);
    return false;
  }
  // A default save folder that is a link is never entered.
  if (platform::Exists(path) || platform::IsSymlink(path)) {
    if (!platform::IsFolder(path) || platform::IsReadOnly(path) || platform::IsSystemOrTemporary(path) ||
        (given.empty() && platform::IsSymlink(path)))
      return skip(success ? kSkipFaxSucceededReadOnly : kSkipFaxFailedReadOnly,
                  success ? "Thread_FileCheck: Skip - Succeeded folder has no adequate attribute - " + path
                          : "FAXCheck: Skip - Failed folder has no adequate attribute - " + path);
    if (MyTestWritePermission(path, frame.env.folder) != 1)
      return skip(success ? kSkipFaxSucceededNoWrite : kSkipFaxFailedNoWrite, noWrite);
    return true;
  }
  if (given.empty()) {
    // Made when the first file is moved; the fax folder must take it.
    if (MyTestWritePermission(p.folder, frame.env.folder) != 1)
      return skip(success ? kSkipFaxSucceededNoWrite3 : kSkipFaxFailedNoWrite3, noWrite);
    return true;
  }
  if (!platform::MakeFolders(path)) {
    if (success)
      return skip(kSkipFaxSucceededCannotCreate, "FAXCheck: Skip - Error in Succeeded folder creation - " + path);
    SkipLogPath(frame, kSkipFaxFailedCannotCreate, kSkipNoSetting, path);
    platform::SleepMs(5);
    return false;
  }
  if (MyTestWritePermission(path, frame.env.folder) != 1)
    return skip(success ? kSkipFaxSucceededNoWrite2 : kSkipFaxFailedNoWrite2,
                success ? noWrite : "FAXCheck: Skip - Error in Failed folder creation - " + path);
  return true;
}

// Step 5: room for the documents where their sources go.
bool RoomForDocuments(WatchFrame& frame, const Pass& p) {
  if (p.total == 0) return true;
  const std::string succ = p.succeeded.empty() ? p.folder : p.succeeded;
  if (!HasFreeSpace(frame, succ, p.total + 20 * kMiB)) {
    SkipFile(frame, kSkipFaxNoSpaceSucceeded, kSkipNoSetting, succ,
             "FAXCheck: Skip - No disk area in succeeded folder - " + succ, 5);
    return false;
  }
  const std::string fail = p.failed.empty() ? p.folder : p.failed;
  if (!HasFreeSpace(frame, fail, p.total + 20 * kMiB)) {
    SkipFile(frame, kSkipFaxNoSpaceFailed, kSkipNoSetting, fail,
             "FAXCheck: Skip - No disk area in failed folder - " + fail, 5);
    return false;
  }
  return true;
}

// Step 6: the copies of a folder the monitor may not write, in $ImpTmp.
// Files another process still holds open are left for a later pass.
bool StageCopies(WatchFrame& frame, const std::string& from, const std::string& to) {
  if (!platform::MakeFolders(to)) return false;
  auto entries = platform::ListFolder(from);
  if (!entries) return false;
  for (const auto& e : *entries) {
    const std::string src = Join(from, e.name);
    if (e.isFolder || e.isSymlink || !platform::IsFile(src)) continue;
    if (platform::IsHidden(src) || platform::IsSystemOrTemporary(src)) continue;
    if (!frame.probe->CanOpenExclusively(src)) {
      SkipFile(frame, kSkipFileLocked, kSkipNoSetting, src, "CheckFolder: Skip - File is in Lock. \n " + src, 0);
      continue;
    }
    const std::string dst = Join(to, e.name);
    if (!platform::CopyFile(src, dst, true, false)) return false;
    platform::SetReadOnly(dst, false);
  }
  return true;
}

// Step 11: what no setting took goes back to the staging folder; $FaxTmp
// goes only when empty, so nothing is ever deleted with it.
void PutBackLeftovers(WatchFrame& frame, const Pass& p) {
  if (p.work == p.staging || !platform::IsFolder(p.work)) return;
  const int left = MoveFaxFiles(frame, "*.*", p.work, p.staging, false);
  if (left != 0 || !platform::RemoveFolder(p.work))
    ZV_WATCH_TRACE("FAXCheck: " + std::string(kFaxTmp) + " is kept for the next pass - " + p.work);
}

// The recreated-binder test of a binder import.
bool Recreated(WatchFrame& frame, const AutoFileSetting& record, int importMode) {
  return frame.options.recreatedBinderCheck && importMode == 0 && IsBinderRecreated(frame, record);
}

// Step 9: the numbered settings in their order; false when stopped.
bool RouteToSettings(WatchFrame& frame, Pass& p, int staging, std::vector<Doc>& docs) {
  const FaxSettings& fax = frame.fax;
  for (int n = 1; n <= static_cast<int>(fax.entries.size()); ++n) {
    if (Stopped(frame)) return false;
    const FaxEntry& e = fax.entries[static_cast<std::size_t>(n - 1)];
    bool walked = false;
    if (e.check == 1) {
      ZV_WATCH_TRACE("FAXCheck: --- Start FAX Setting-No." + No(n) + " ---");
      if (e.targetName.empty()) {
        ZV_WATCH_TRACE("FAXCheck: Skip - Imported file name is not set - No. " + No(n));
        platform::SleepMs(10);
        continue;
      }
      if (!AnyOwnedBy(docs, n)) {
        platform::SleepMs(10);
        continue;
      }
      ZV_WATCH_TRACE("FAXCheck: FaxFileFunction --------------- Start - No. " + No(n) + " ---------------");
      const AutoFileSetting record = FaxRecord(fax, n, frame.options);
      // A skip leaves the setting's documents to it: nobody else takes them.
      if (Recreated(frame, record, e.importMode)) {
        SkipFile(frame, kSkipFaxBinderRecreatedAt, n - 1, record.targetBinder,
                 "FAXCheck: Skip - Target binder is recreated - " + record.targetBinder, 0);
        continue;
      }
      const std::uint64_t total = TotalOf(docs, n);
      if (total > 0 && !record.linkFolder.empty() && !HasFreeSpace(frame, record.linkFolder, 2 * (total + 10 * kMiB))) {
        SkipFile(frame, kSkipFaxNoSpaceLink, n - 1, record.linkFolder,
                 "FAXCheck: Skip - No disk area in link folder - " + record.linkFolder, 10);
        continue;
      }
      ZV_WATCH_TRACE("FAXCheck: --- Call CheckFolder() FAX Setting-No." + No(n) + " ---");
      CheckFolder(frame, kFaxSettingBase + n, p.work, ".", p.folder, record, fax.moveSucceeded, p.succeeded,
                  fax.moveFailed, p.failed, kStatusFaxWatch, 1, n - 1, staging, 0, 0);
      ZV_WATCH_TRACE("FAXCheck: --- Return CheckFolder() FAX Setting-No." + No(n) + " ---");
      walked = true;
    }
    // What is left: looked at again only when a walk may have changed it.
    if (walked) {
      platform::SleepMs(100);
      docs = ListDocs(frame, p.work);
    }
    if (docs.empty()) {
      ZV_WATCH_TRACE("FAXCheck: CheckFileExists2 - No File - After process of No. " + No(n));
      ZV_WATCH_TRACE("FAXCheck: FaxFileFunction --------------- End - No. " + No(n) + " ---------------");
      break;
    }
    ZV_WATCH_TRACE("FAXCheck: FaxFileFunction --------------- End - No. " + No(n) + " ---------------");
  }
  return !Stopped(frame);
}

// Step 10: the documents no enabled setting owns, to the other setting.
void RouteToOther(WatchFrame& frame, const Pass& p, int staging, const std::vector<Doc>& docs) {
  const FaxSettings& fax = frame.fax;
  if (fax.other.check != 1) return;
  ZV_WATCH_TRACE("FAXCheck: --- Start Other FAX Setting ---");
  if (!AnyOwnedBy(docs, 0)) return;
  ZV_WATCH_TRACE("FAXCheck: FaxFileFunction --------------- Start - Other ---------------");
  const AutoFileSetting record = FaxRecord(fax, kFaxOtherSetting, frame.options);
  if (Recreated(frame, record, 0)) {
    SkipFile(frame, kSkipFaxBinderRecreated, kSkipFaxOther, record.targetBinder,
             "FAXCheck: Skip - Target binder is recreated - " + record.targetBinder, 0);
    return;
  }
  ZV_WATCH_TRACE("FAXCheck: --- Call CheckFolder() Other FAX Setting ---");
  CheckFolder(frame, kFaxOtherSetting, p.work, ".", p.folder, record, fax.moveSucceeded, p.succeeded, fax.moveFailed,
              p.failed, kStatusFaxWatch, 1, kSkipFaxOther, staging, 0, 1);
  ZV_WATCH_TRACE("FAXCheck: --- Return CheckFolder() Other FAX Setting ---");
}

// The folder's own documents (steps 1 to 11). False when stopped.
bool ProcessFolder(WatchFrame& frame, Pass& p) {
  if (SettingsDialogOpen(frame) || MenuOpen(frame)) {
    platform::SleepMs(100);
    return true;
  }
  if (!frame.watching.load()) return false;
  if (!platform::IsFolder(p.folder) || !StatusLetsFaxRun(frame.status.load())) {
    platform::SleepMs(100);
    return frame.status.load() != kStatusStopped;
  }
  p.total = 0;
  if (!CheckFileExists2(frame, p.folder, 0, 0, p.total, "*.*")) {
    platform::SleepMs(100);
    return true;
  }
  if (!SaveFolderReady(frame, p, true) || !SaveFolderReady(frame, p, false) || !RoomForDocuments(frame, p)) return true;

  p.staging = p.folder;
  int staging = 0;
  if (MyTestWritePermission(p.folder, frame.env.folder) != 1) {
    RemoveStagingFolder(frame);
    frame.stagingInUse = true;
    if (!StageCopies(frame, p.folder, frame.stagingFolder)) {
      RemoveStagingFolder(frame);
      if (frame.status.load() == kStatusFaxWatch) SetFaxStatus(frame, kStatusOnline);
      SkipFile(frame, kSkipFaxMonitoredNoWrite, kSkipNoSetting, frame.stagingFolder,
               "FAXCheck: Skip - No write authority. Target folder. - " + frame.stagingFolder, 0);
      return true;
    }
    p.staging = frame.stagingFolder;
    staging = 1;
  }
  if (!SetFaxStatus(frame, kStatusFaxWatch)) {
    RemoveStagingFolder(frame);
    return false;
  }

  const bool other = frame.fax.other.check == 1;
  p.work = other ? Join(p.staging, kFaxTmp) : p.staging;
  const std::string faxTmp = Join(p.staging, kFaxTmp);
  if (!other && platform::IsFolder(faxTmp) && !platform::IsSymlink(faxTmp)) {
    // Left by a pass with the other setting on: back where every setting sees it.
    Pass back = p;
    back.work = faxTmp;
    PutBackLeftovers(frame, back);
  }
  std::uint64_t left = 0;
  // A link planted as $FaxTmp would take the documents out of the folder:
  // it counts as a work folder the documents cannot be moved into.
  const bool planted = platform::IsSymlink(faxTmp);
  if (other && (planted || !CheckFileExists(frame, p.work, frame.fax.recursive, left))) {
    // Leftovers of an earlier pass go first; otherwise the folder's documents
    // move in. (62290 is the skip "Cannot move file(s) to $FaxTmp".)
    if (planted || MoveFaxFiles(frame, "*.*", p.staging, p.work, true) != 0) {
      SetFaxStatus(frame, kStatusOnline);
      RemoveStagingFolder(frame);
      SkipFile(frame, kSkipFaxCannotStage, kSkipNoSetting, p.work,
               "FAXCheck: Skip - Failed to move files. \n " + p.staging + " to " + p.work, 0);
      return true;
    }
  }

  std::vector<Doc> docs = ListDocs(frame, p.work);
  p.total = TotalOf(docs, -1);
  const bool going = RouteToSettings(frame, p, staging, docs);
  if (going) RouteToOther(frame, p, staging, docs);
  PutBackLeftovers(frame, p);
  RemoveStagingFolder(frame);
  if (frame.status.load() == kStatusFaxWatch) SetFaxStatus(frame, kStatusOnline);
  return going;
}

void DailyCleanUp(WatchFrame& frame) {
  FaxSettings& fax = frame.fax;
  const std::string today = DayText(platform::UnixSeconds());
  if (fax.targetFolder.empty() || !(fax.deleteDate < today)) return;
  WriteImpLogLine(frame.log, kImpLogDel, std::string(kImpLogDelStart) + fax.targetFolder);
  auto clean = [&](const std::string& given, const char* name, int term) {
    if (!given.empty()) return DeleteOldFolder(frame, given, term);
    return DeleteOldFolder(frame, OpenDefaultSaveFolder(fax.targetFolder, fax.targetFolder, name, false), term);
  };
  const int s = clean(fax.succeededFolder, "Success", fax.EffectiveSucceededTerm(frame.options));
  const int f = clean(fax.failedFolder, "Fail", fax.EffectiveFailedTerm(frame.options));
  ZV_WATCH_TRACE("Thread_FileCheck: DeleteOldFolder() was performed, RetCode(Succeeded) = " + No(s) +
                 ", RetCode(Failed) = " + No(f));
  {
    EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
    ProfileWrite(kFaxSection, "DeleteFolderDate", today, frame.settingsFile);
    guard.Commit();
  }
  fax.deleteDate = today;
  WriteImpLogLine(frame.log, kImpLogDel, std::string(kImpLogDelEnd) + fax.targetFolder);
}

// A fax folder or save folder on a share that does not answer: the step is
// left for this cycle instead of hanging the thread.
bool FaxFoldersAnswer(WatchFrame& frame) {
  const FaxSettings& fax = frame.fax;
  if (!fax.onNetwork) return true;
  const int limit = platform::NetworkProbeLimitMs();
  for (const std::string* p : {&fax.targetFolder, &fax.succeededFolder, &fax.failedFolder}) {
    if (p->empty() || platform::ProbePath(*p, limit) != platform::PathReach::Unreachable) continue;
    SkipSetting(frame, kSkipFaxNoMonitoredFolder, kSkipNoSetting,
                "Thread_FileCheck: Fax folder does not answer - " + *p, 10);
    return false;
  }
  return true;
}

}  // namespace

void TakeOverFaxSettings(WatchFrame& frame) {
  if (ImpListDeletionInProgress(frame) || SettingsDialogOpen(frame)) return;
  const bool raised = ReadChangeFlag(frame.settingsFile, ChangeFlag::FaxModified) != 0;
  if (frame.faxRead && !raised) return;
  if (raised)
    ReadFaxSettings(frame.env, frame.options, frame.settingContext, frame.fax);
  else
    ReadFaxSettingsFrom(frame.settingsFile, frame.options, frame.settingContext, frame.fax);
  frame.faxRead = true;
  frame.faxOwners.clear();
  frame.faxLastCheck = 0;
  ZV_WATCH_TRACE("Thread_FileCheck:  Fax setting was read. ");
}

bool FAXCheck(WatchFrame& frame, const std::string& folder, int depth, const std::string& succeeded,
              const std::string& failed) {
  // The folder's own documents first, then its subfolders.
  if (ImpListDeletionInProgress(frame)) {
    SkipSetting(frame, kSkipFaxImpListDeleting, kSkipNoSetting, "FAXCheck: Skip - ImpList data deletion now. ", 5);
  } else {
    Pass p;
    p.folder = folder;
    p.succeeded = succeeded;
    p.failed = failed;
    if (!ProcessFolder(frame, p)) return false;
  }
  if (!frame.fax.recursive || depth >= frame.options.maxRecursive - 1) return true;
  auto entries = platform::ListFolder(folder);
  if (!entries) return true;
  for (const auto& e : *entries) {
    if (!e.isFolder || e.isSymlink) continue;
    if (platform::EqualsNoCase(e.name, "Success") || platform::EqualsNoCase(e.name, "Fail") ||
        platform::EqualsNoCase(e.name, kFaxTmp))
      continue;
    const std::string sub = Join(folder, e.name);
    // An explicit save folder inside the fax folder is no fax folder.
    if (sub == platform::TrimTrailingSeparator(succeeded) || sub == platform::TrimTrailingSeparator(failed)) continue;
    if (ImpListDeletionInProgress(frame)) {
      SkipSetting(frame, kSkipFaxImpListDeleting, kSkipNoSetting, "FAXCheck: Skip - ImpList data deletion now. ", 5);
      continue;
    }
    if (!FAXCheck(frame, sub, depth + 1, succeeded, failed)) return false;
  }
  return true;
}

void FaxWatchStep(WatchFrame& frame) {
  if (frame.options.faxMonitorSet == 0) return;
  ZV_WATCH_TRACE("Thread_FileCheck: --- Start Fax Watch ---");
  if (ImpListDeletionInProgress(frame) || SettingsDialogOpen(frame)) {
    platform::SleepMs(10);
    return;
  }
  TakeOverFaxSettings(frame);
  const std::int64_t now = platform::UnixSeconds();
  if (frame.faxLastCheck != 0) {
    const bool wentBack = now < frame.faxLastCheck;  // the clock went back: one more interval
    if (wentBack || (now - frame.faxLastCheck) / 60 < frame.fax.checkTimer) {
      if (wentBack) frame.faxLastCheck = now;
      RemoveStagingFolder(frame);
      platform::SleepMs(10);
      return;
    }
  }
  frame.faxLastCheck = now;
  if (!frame.watching.load() || frame.fax.enabled == 0 || !StatusLetsFaxRun(frame.status.load())) return;
  RemoveStagingFolder(frame);
  if (!FaxFoldersAnswer(frame)) return;
  DailyCleanUp(frame);
  if (frame.fax.targetFolder.empty()) {
    platform::SleepMs(100);
    return;
  }
  frame.faxOwners.clear();  // only the names of this pass are kept
  ZV_WATCH_TRACE("Thread_FileCheck: --- Call FaxCheck() ---");
  FAXCheck(frame, frame.fax.targetFolder, 0, frame.fax.succeededFolder, frame.fax.failedFolder);
  ZV_WATCH_TRACE("Thread_FileCheck: --- Return FaxCheck() ---");
  SleepWatching(frame, frame.fax.onNetwork ? frame.waitNetwork : frame.waitLocal);
}

}  // namespace zv::monitor
