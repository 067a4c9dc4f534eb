// The folder walk: every file of one folder (and its subfolders) of one
// setting, each checked and then imported.
#include "monitor/watch/folder_check.h"

#include <algorithm>

#include <cstring>
#include <ctime>

#include "binderlib/binderini.h"
#include "companion/common.h"
#include "companion/services.h"
#include "companion/strings.h"
#include "dravel/dravel.h"
#include "dravel/pipeline.h"
#include "folder_check_internal.h"
#include "monitor/log/imp_log.h"
#include "monitor/log/result_list.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/lock_list.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/watch/checks.h"
#include "monitor/watch/fax_watch.h"
#include "monitor/watch/workdesk.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/fs_error.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "watch_private.h"

namespace zv::monitor {

namespace {

constexpr std::uint64_t kMiB = 1024ull * 1024ull;

// The settings of the walk in hand were changed: its own kind's flag
// (auto-file, fax or sort-folder settings by the status it runs under). A
// save of another kind leaves the record in hand valid and never holds
// this walk back.
bool SettingsChanged(const WatchFrame& frame, int restoreStatus) {
  const ChangeFlag own = restoreStatus == kStatusFaxWatch    ? ChangeFlag::FaxModified
                         : restoreStatus == kStatusSortWatch ? ChangeFlag::SortModified
                                                             : ChangeFlag::Modified;
  return ReadChangeFlag(frame.settingsFile, own) != 0;
}

// What the walk of one folder decides for a file.
enum class Next {
  Import,        // every check passed
  Skip,          // go on with the next file (any pause already taken)
  SkipAndPause,  // the same after the short pause between files
  EndWalk,       // the walk ends here
};

// What a walk carries from folder to folder.
struct WalkArgs {
  int n;
  const std::string& targetFolder;
  const AutoFileSetting& setting;
  int moveSucceeded;
  const std::string& succeededFolder;
  int moveFailed;
  const std::string& failedFolder;
  int restoreStatus;
  int settingNo;
  int stagingInUse;
};

// A plain, visible file of the import's kind with a name not
// too long. (The import-list check and the subfolders come before.)
Next EntryFits(WatchFrame& frame, const WalkArgs& w, const std::string& folder, const platform::DirEntry& e,
               const std::string& path) {
  if (e.isSymlink) {
    // Never filed: the link could name any file this process may read.
    SkipFile(frame, kSkipFileAttributes, w.settingNo, path,
             "CheckFolder: Skip - File has no adequate attribute - " + path, 10);
    return Next::Skip;
  }
  if (!platform::IsFile(path)) return Next::Skip;
  if (platform::IsHidden(path)) {
    SkipFile(frame, kSkipFileHidden, w.settingNo, path, "CheckFolder: Skip - File has a hide attribute - " + path, 10);
    return Next::Skip;
  }
  if (frame.except.Excludes(e.name)) {
    SkipFile(frame, kSkipFileExcept, w.settingNo, path, "CheckFolder: Skip - File is not target file - " + path, 10);
    return Next::Skip;
  }
  if (folder.size() + e.name.size() > 258) {
    SkipFile(frame, kSkipFileTooLong, w.settingNo, path, "CheckFolder: Skip - File name is long - " + path, 10);
    return Next::Skip;
  }
  return Next::Import;
}

// The job of one file; the walk ends when the file's status cannot be read.
Next PrepareJob(const WalkArgs& w, const std::string& path, const std::string& name, FileJob& job) {
  job.n = w.n;
  job.settingNo = w.settingNo;
  job.setting = &w.setting;
  job.path = path;
  job.name = name;
  job.targetFolder = w.targetFolder;
  job.targetFile = w.stagingInUse ? Join(w.targetFolder, name) : path;
  job.staging = w.stagingInUse != 0;
  job.moveSucceeded = w.moveSucceeded;
  job.moveFailed = w.moveFailed;
  job.succeededFolder = w.succeededFolder;
  job.failedFolder = w.failedFolder;
  job.restoreStatus = w.restoreStatus;
  if (!platform::Stamp(path)) return Next::EndWalk;  // the file's status cannot be read: the walk ends
  job.identity = LockListIdentity(job.targetFile);
  if (job.identity.empty()) job.identity = LockListIdentity(path);
  return Next::Import;
}

// The file's attributes, the link folder and the save folders.
Next FoldersFit(WatchFrame& frame, const WalkArgs& w, const std::string& path) {
  const int no = w.settingNo;
  if (platform::IsReadOnly(path) || platform::IsSystemOrTemporary(path)) {
    SkipFile(frame, kSkipFileAttributes, no, path, "CheckFolder: Skip - File has no adequate attribute - " + path, 10);
    return Next::Skip;
  }
  const std::string& link = w.setting.linkFolder;
  if (!link.empty() && !platform::IsFolder(link)) {
    SkipFile(frame, kSkipFileNoLinkFolder, no, link, "CheckFolder: Skip - Link folder is not found - " + link, 15);
    return Next::Skip;
  }
  if (w.moveSucceeded == 0 && !w.succeededFolder.empty() && !platform::IsFolder(w.succeededFolder)) {
    SkipFile(frame, kSkipFileNoSucceeded, no, w.succeededFolder,
             "CheckFolder: Skip - Succeeded folder is not found - " + w.succeededFolder, 15);
    return Next::Skip;
  }
  if (w.moveFailed == 0 && !w.failedFolder.empty() && !platform::IsFolder(w.failedFolder)) {
    SkipFile(frame, kSkipFileNoFailed, no, w.failedFolder,
             "CheckFolder: Skip - Failed folder is not found - " + w.failedFolder, 15);
    return Next::Skip;
  }
  if (DefaultSaveFolderIsLink(w.targetFolder, w.moveSucceeded, w.succeededFolder, true)) {
    SkipFile(frame, kSkipFileNoSucceeded, no, Join(w.targetFolder, "Success"),
             "CheckFolder: Skip - Succeeded folder is a link - " + Join(w.targetFolder, "Success"), 15);
    return Next::Skip;
  }
  if (DefaultSaveFolderIsLink(w.targetFolder, w.moveFailed, w.failedFolder, false)) {
    SkipFile(frame, kSkipFileNoFailed, no, Join(w.targetFolder, "Fail"),
             "CheckFolder: Skip - Failed folder is a link - " + Join(w.targetFolder, "Fail"), 15);
    return Next::Skip;
  }
  return Next::Import;
}

// The lock list. A file imported before is handled with its
// stored result instead of being imported again.
Next LockListAllows(WatchFrame& frame, const WalkArgs& w, const FileJob& job) {
  const std::string& path = job.path;
  int stored = -9;
  if (w.stagingInUse) {
    const int r = GetLockedFlag(frame, job.targetFile, stored, 1);
    if (r == -1) {
      SkipFile(frame, kSkipFileInLockList, w.settingNo, job.targetFile,
               "CheckFolder: Skip - Failed is in lock - " + job.targetFile, 15);
      return Next::Skip;
    }
    if (r == 1) {
      // Settled against the original: handle it with the stored result.
      HandleSource(frame, job, stored, platform::UnixSeconds());
      return Next::SkipAndPause;
    }
  }
  const int locked = GetLockedFlag(frame, path, stored, 0);
  if (locked == -9) {
    ZV_WATCH_TRACE("CheckFolder: Unable to confirm Lock Status. \n " + path);
    if (!frame.probe->CanOpenExclusively(path)) {
      SkipFile(frame, kSkipFileLocked2, w.settingNo, path,
               "CheckFolder: GetLockedFlag(): Skip - File is in Lock. \n " + path + ", RetCode = -9", 15);
      return Next::Skip;
    }
  } else if (locked == -2 || locked == -1) {
    SkipFile(frame, kSkipFileLocked, w.settingNo, path, "CheckFolder: Skip - File is in Lock. \n " + path, 15);
    return Next::Skip;
  } else if (locked == 1) {
    HandleSource(frame, job, stored, platform::UnixSeconds());
    return Next::SkipAndPause;
  }
  return Next::Import;
}

// The file still there, no dialog open, the viewer's
// insertion settings read, the monitor not stopped, the work desk free.
Next ReadyToImport(WatchFrame& frame, const WalkArgs& w, FileJob& job) {
  const std::string& path = job.path;
  if (!platform::IsFile(job.targetFile) || !platform::IsFile(path)) {
    SkipFile(frame, kSkipFileNoOriginal, w.settingNo, job.targetFile,
             "CheckFolder: Skip - File is not found - " + job.targetFile, 0);
    if (w.stagingInUse) platform::RemoveFile(path);
    return Next::Skip;
  }
  if (SettingsDialogOpen(frame) || MenuOpen(frame)) return Next::SkipAndPause;
  if (!frame.watching.load()) return Next::EndWalk;
  {
    const std::string viewerFolder = companion::ViewerProgramFolder();
    EnvLockHandle lock = AcquireEnvLock(viewerFolder, "~Write.Locked", kEnvLockTimeoutSeconds);
    if (!viewerFolder.empty() && !lock.valid()) {
      SkipFile(frame, kSkipFileOpenBinderLock, w.settingNo, path,
               "CheckFolder: GetLockedFlag(): Skip - Failed to make lock file. " + path, 10);
      return Next::Skip;
    }
    const std::string env = companion::ViewerEnvironmentPath();
    job.insertIndex = ProfileRead("EnvSetting", "InsertIndex", 1, env);
    job.a3b4 = ProfileRead("EnvSetting", "A3B4", 0, env);
    job.securityPdf = ProfileRead("EnvSetting", "SecurityPDF", 1, env);
    job.dataChange = ProfileRead("EnvSetting", "DataChange", 0, env);
    ReleaseEnvLock(lock, viewerFolder, "~Write.Locked");
  }
  if (w.restoreStatus == kStatusStopped) return Next::SkipAndPause;
  if (w.setting.workDesk == 1) {
    frame.workDeskFolder = GetWorkDeskFolder();
    const std::string working = Join(frame.workDeskFolder, kWorkingLockName);
    if (platform::Exists(working) && platform::IsLockHeld(working)) {
      SkipFile(frame, kSkipFileWorkArea, w.settingNo, path, "CheckFolder: Skip - WorkDesk is in use", 10);
      return Next::Skip;
    }
  }
  return Next::Import;
}

// Room for the file's pages and its source, no import-list
// clearing, dialog or settings change meanwhile, then the import's status
// claimed (a stop chosen since the last file ends the walk).
Next RoomAndClaim(WatchFrame& frame, const WalkArgs& w, const FileJob& job) {
  const std::string& path = job.path;
  const int no = w.settingNo;
  const std::uint64_t size = platform::FileSize(path).value_or(0);
  const std::string succBase = w.succeededFolder.empty() ? w.targetFolder : w.succeededFolder;
  const std::string failBase = w.failedFolder.empty() ? w.targetFolder : w.failedFolder;
  const std::string& link = w.setting.linkFolder;
  if (!link.empty() && !HasFreeSpace(frame, link, 2 * (size + 10 * kMiB))) {
    SkipFile(frame, kSkipFileNoSpaceLink, no, link, "Thread_FileCheck: Skip - No disk area in link folder - " + link,
             10);
    return Next::Skip;
  }
  if (!HasFreeSpace(frame, succBase, size + 20 * kMiB)) {
    SkipFile(frame, kSkipFileNoSpaceSucceeded, no, succBase,
             "CheckFolder: Skip - No disk area in succeeded folder - " + succBase, 10);
    return Next::Skip;
  }
  if (!HasFreeSpace(frame, failBase, size + 20 * kMiB)) {
    SkipFile(frame, kSkipFileNoSpaceFailed, no, failBase,
             "CheckFolder: Skip - No disk area in failed folder - " + failBase, 10);
    return Next::Skip;
  }
  if (ImpListDeletionInProgress(frame)) {
    SkipFile(frame, kSkipFileImpListDeleting2, no, "-", "CheckFolder: Skip - ImpList data deletion now. ", 10);
    return Next::Skip;
  }
  if (SettingsDialogOpen(frame) || MenuOpen(frame)) {
    ZV_WATCH_TRACE("CheckFolder: Skip - Setting Dialog open. ");
    return Next::SkipAndPause;
  }
  if (SettingsChanged(frame, w.restoreStatus)) {
    ZV_WATCH_TRACE("CheckFolder: Skip - Setting was changed. ");
    return Next::SkipAndPause;
  }
  if (!frame.watching.load()) return Next::EndWalk;
  // "Stop" chosen since the last file, here or by another program.
  if (!ClaimImportStatus(frame, job)) {
    ZV_WATCH_TRACE("CheckFolder: Skip - Monitor was stopped. " + path);
    return Next::EndWalk;
  }
  return Next::Import;
}

// All checks of one file of the walk, in their order.
Next CheckFile(WatchFrame& frame, const WalkArgs& w, const std::string& folder, const platform::DirEntry& e,
               const std::string& path, FileJob& job) {
  Next next = EntryFits(frame, w, folder, e, path);
  if (next == Next::Import) next = PrepareJob(w, path, e.name, job);
  if (next == Next::Import) next = FoldersFit(frame, w, path);
  if (next == Next::Import) next = LockListAllows(frame, w, job);
  if (next == Next::Import) next = ReadyToImport(frame, w, job);
  if (next == Next::Import) next = RoomAndClaim(frame, w, job);
  return next;
}

}  // namespace

int CheckFolder(WatchFrame& frame, int n, const std::string& scanFolder, const std::string& subFolder,
                const std::string& targetFolder, AutoFileSetting setting, int moveSucceeded,
                const std::string& succeededFolder, int moveFailed, const std::string& failedFolder, int restoreStatus,
                int filesOnly, int settingNo, int stagingInUse, int depth, int otherFax) {
  const std::string folder = subFolder == "." ? scanFolder : Join(scanFolder, subFolder);
  int lastResult = 0;
  auto entries = platform::ListFolder(folder);
  if (!entries) return lastResult;
  const WalkArgs w{n,          targetFolder, setting,       moveSucceeded, succeededFolder,
                   moveFailed, failedFolder, restoreStatus, settingNo,     stagingInUse};
  for (const auto& e : *entries) {
    frame.skipLog.Arm();
    if (ImpListDeletionInProgress(frame)) {
      SkipFile(frame, kSkipFileImpListDeleting, settingNo, e.name, "CheckFolder:  Skip - ImpList data deletion now. ",
               10);
      continue;
    }
    const std::string path = Join(folder, e.name);
    if (e.isFolder) {
      if (!filesOnly && setting.recursive && !e.isSymlink && depth < frame.options.maxRecursive - 1 &&
          !platform::EqualsNoCase(e.name, "Success") && !platform::EqualsNoCase(e.name, "Fail")) {
        lastResult = CheckFolder(frame, n, folder, e.name, Join(targetFolder, e.name), setting, moveSucceeded,
                                 succeededFolder, moveFailed, failedFolder, restoreStatus, filesOnly, settingNo,
                                 stagingInUse, depth + 1, otherFax);
        if (lastResult == DRAVEL_INSERT_SKIPPED || !frame.watching.load()) break;
        platform::SleepMs(10);
      }
      // A subfolder this walk does not enter is passed over without a pause.
      continue;
    }
    // Only the names of the walk's mask; a fax setting only the documents
    // it owns.
    if (!WalkTakesFile(frame, n, setting, otherFax, e.name)) continue;
    FileJob job;
    const Next next = CheckFile(frame, w, folder, e, path, job);
    if (next == Next::EndWalk) break;
    if (next == Next::SkipAndPause) platform::SleepMs(10);
    if (next != Next::Import) continue;

    lastResult = ImportOneFile(frame, job);
    if (lastResult == DRAVEL_INSERT_SKIPPED) break;
    platform::SleepMs(1000);
    if (!frame.watching.load()) break;
  }
  frame.skipLog.Disarm();
  return lastResult;
}

}  // namespace zv::monitor
