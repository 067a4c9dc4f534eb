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
#include "monitor/log/imp_log.h"
#include "monitor/log/result_list.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/lock_list.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/watch/checks.h"
#include "monitor/watch/workdesk.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/fs_error.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "watch_private.h"
#include "folder_check_internal.h"

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

}  // namespace

int CheckFolder(WatchFrame& frame, int n, const std::string& scanFolder, const std::string& subFolder,
                const std::string& targetFolder, AutoFileSetting setting, int moveSucceeded,
                const std::string& succeededFolder, int moveFailed, const std::string& failedFolder,
                int restoreStatus, int filesOnly, int settingNo, int stagingInUse, int depth, int otherFax) {
  (void)otherFax;  // fax masks are the fax watch's business
  const std::string folder = subFolder == "." ? scanFolder : Join(scanFolder, subFolder);
  int lastResult = 0;
  auto entries = platform::ListFolder(folder);
  if (!entries) return lastResult;
  auto next = [](int ms = 10) {
    if (ms > 0) platform::SleepMs(ms);
  };
  for (const auto& e : *entries) {
    frame.skipLog.Arm();
    if (ImpListDeletionInProgress(frame)) {
      SkipFile(frame, kSkipFileImpListDeleting, settingNo, e.name,
               "CheckFolder:  Skip - ImpList data deletion now. ", 10);
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
      }
      next();
      continue;
    }
    if (e.isSymlink) {
      // Never filed: the link could name any file this process may read.
      SkipFile(frame, kSkipFileAttributes, settingNo, path,
               "CheckFolder: Skip - File has no adequate attribute - " + path, 10);
      continue;
    }
    if (!platform::IsFile(path)) continue;
    if (platform::IsHidden(path)) {
      SkipFile(frame, kSkipFileHidden, settingNo, path, "CheckFolder: Skip - File has a hide attribute - " + path, 10);
      continue;
    }
    if (frame.except.Excludes(e.name)) {
      SkipFile(frame, kSkipFileExcept, settingNo, path, "CheckFolder: Skip - File is not target file - " + path, 10);
      continue;
    }
    if (folder.size() + e.name.size() > 258) {
      SkipFile(frame, kSkipFileTooLong, settingNo, path, "CheckFolder: Skip - File name is long - " + path, 10);
      continue;
    }
    FileJob job;
    job.n = n;
    job.settingNo = settingNo;
    job.setting = &setting;
    job.path = path;
    job.name = e.name;
    job.targetFolder = targetFolder;
    job.targetFile = stagingInUse ? Join(targetFolder, e.name) : path;
    job.staging = stagingInUse != 0;
    job.moveSucceeded = moveSucceeded;
    job.moveFailed = moveFailed;
    job.succeededFolder = succeededFolder;
    job.failedFolder = failedFolder;
    job.restoreStatus = restoreStatus;
    if (!platform::Stamp(path)) break;  // the file's status cannot be read: the walk ends
    job.identity = LockListIdentity(job.targetFile);
    if (job.identity.empty()) job.identity = LockListIdentity(path);
    if (platform::IsReadOnly(path) || platform::IsSystemOrTemporary(path)) {
      SkipFile(frame, kSkipFileAttributes, settingNo, path,
               "CheckFolder: Skip - File has no adequate attribute - " + path, 10);
      continue;
    }
    if (!setting.linkFolder.empty() && !platform::IsFolder(setting.linkFolder)) {
      SkipFile(frame, kSkipFileNoLinkFolder, settingNo, setting.linkFolder,
               "CheckFolder: Skip - Link folder is not found - " + setting.linkFolder, 15);
      continue;
    }
    if (moveSucceeded == 0 && !succeededFolder.empty() && !platform::IsFolder(succeededFolder)) {
      SkipFile(frame, kSkipFileNoSucceeded, settingNo, succeededFolder,
               "CheckFolder: Skip - Succeeded folder is not found - " + succeededFolder, 15);
      continue;
    }
    if (moveFailed == 0 && !failedFolder.empty() && !platform::IsFolder(failedFolder)) {
      SkipFile(frame, kSkipFileNoFailed, settingNo, failedFolder,
               "CheckFolder: Skip - Failed folder is not found - " + failedFolder, 15);
      continue;
    }
    if (DefaultSaveFolderIsLink(targetFolder, moveSucceeded, succeededFolder, true)) {
      SkipFile(frame, kSkipFileNoSucceeded, settingNo, Join(targetFolder,
               "Success"), "CheckFolder: Skip - Succeeded folder is a link - " + Join(targetFolder, "Success"), 15);
      continue;
    }
    if (DefaultSaveFolderIsLink(targetFolder, moveFailed, failedFolder, false)) {
      SkipFile(frame, kSkipFileNoFailed, settingNo, Join(targetFolder,
               "Fail"), "CheckFolder: Skip - Failed folder is a link - " + Join(targetFolder, "Fail"), 15);
      continue;
    }
    int stored = -9;
    if (stagingInUse) {
      const int r = GetLockedFlag(frame, job.targetFile, stored, 1);
      if (r == -1) {
        SkipFile(frame, kSkipFileInLockList, settingNo, job.targetFile,
                 "CheckFolder: Skip - Failed is in lock - " + job.targetFile, 15);
        continue;
      }
      if (r == 1) {
        // Settled against the original: handle it with the stored result.
        HandleSource(frame, job, stored, platform::UnixSeconds());
        next();
        continue;
      }
    }
    const int locked = GetLockedFlag(frame, path, stored, 0);
    if (locked == -9) {
      ZV_WATCH_TRACE("CheckFolder: Unable to confirm Lock Status. \n " + path);
      if (!frame.probe->CanOpenExclusively(path)) {
        SkipFile(frame, kSkipFileLocked2, settingNo, path,
                 "CheckFolder: GetLockedFlag(): Skip - File is in Lock. \n " + path + ", RetCode = -9", 15);
        continue;
      }
    } else if (locked == -2 || locked == -1) {
      SkipFile(frame, kSkipFileLocked, settingNo, path, "CheckFolder: Skip - File is in Lock. \n " + path, 15);
      continue;
    } else if (locked == 1) {
      HandleSource(frame, job, stored, platform::UnixSeconds());
      next();
      continue;
    }
    if (!platform::IsFile(job.targetFile) || !platform::IsFile(path)) {
      SkipFile(frame, kSkipFileNoOriginal, settingNo, job.targetFile,
               "CheckFolder: Skip - File is not found - " + job.targetFile, 0);
      if (stagingInUse) platform::RemoveFile(path);
      continue;
    }
    if (SettingsDialogOpen(frame) || MenuOpen(frame)) {
      next();
      continue;
    }
    if (!frame.watching.load()) break;
    {
      const std::string viewerFolder = companion::ViewerProgramFolder();
      EnvLockHandle lock = AcquireEnvLock(viewerFolder, "~Write.Locked", kEnvLockTimeoutSeconds);
      if (!viewerFolder.empty() && !lock.valid()) {
        SkipFile(frame, kSkipFileOpenBinderLock, settingNo, path,
                 "CheckFolder: GetLockedFlag(): Skip - Failed to make lock file. " + path, 10);
        continue;
      }
      const std::string env = companion::ViewerEnvironmentPath();
      job.insertIndex = ProfileRead("EnvSetting", "InsertIndex", 1, env);
      job.a3b4 = ProfileRead("EnvSetting", "A3B4", 0, env);
      job.securityPdf = ProfileRead("EnvSetting", "SecurityPDF", 1, env);
      job.dataChange = ProfileRead("EnvSetting", "DataChange", 0, env);
      ReleaseEnvLock(lock, viewerFolder, "~Write.Locked");
    }
    if (restoreStatus == kStatusStopped) {
      next();
      continue;
    }
    if (setting.workDesk == 1) {
      frame.workDeskFolder = GetWorkDeskFolder();
      const std::string working = Join(frame.workDeskFolder, kWorkingLockName);
      if (platform::Exists(working) && platform::IsLockHeld(working)) {
        SkipFile(frame, kSkipFileWorkArea, settingNo, path, "CheckFolder: Skip - WorkDesk is in use", 10);
        continue;
      }
    }
    const std::uint64_t size = platform::FileSize(path).value_or(0);
    const std::string succBase = succeededFolder.empty() ? targetFolder : succeededFolder;
    const std::string failBase = failedFolder.empty() ? targetFolder : failedFolder;
    if (!setting.linkFolder.empty() && !HasFreeSpace(frame, setting.linkFolder, 2 * (size + 10 * kMiB))) {
      SkipFile(frame, kSkipFileNoSpaceLink, settingNo, setting.linkFolder,
               "Thread_FileCheck: Skip - No disk area in link folder - " + setting.linkFolder, 10);
      continue;
    }
    if (!HasFreeSpace(frame, succBase, size + 20 * kMiB)) {
      SkipFile(frame, kSkipFileNoSpaceSucceeded, settingNo, succBase,
               "CheckFolder: Skip - No disk area in succeeded folder - " + succBase, 10);
      continue;
    }
    if (!HasFreeSpace(frame, failBase, size + 20 * kMiB)) {
      SkipFile(frame, kSkipFileNoSpaceFailed, settingNo, failBase,
               "CheckFolder: Skip - No disk area in failed folder - " + failBase, 10);
      continue;
    }
    if (ImpListDeletionInProgress(frame)) {
      SkipFile(frame, kSkipFileImpListDeleting2, settingNo, "-", "CheckFolder: Skip - ImpList data deletion now. ", 10);
      continue;
    }
    if (SettingsDialogOpen(frame) || MenuOpen(frame)) {
      ZV_WATCH_TRACE("CheckFolder: Skip - Setting Dialog open. ");
      next();
      continue;
    }
    if (SettingsChanged(frame, restoreStatus)) {
      ZV_WATCH_TRACE("CheckFolder: Skip - Setting was changed. ");
      next();
      continue;
    }
    if (!frame.watching.load()) break;
    // "Stop" chosen since the last file, here or by another program.
    if (!ClaimImportStatus(frame, job)) {
      ZV_WATCH_TRACE("CheckFolder: Skip - Monitor was stopped. " + path);
      break;
    }

    lastResult = ImportOneFile(frame, job);
    if (lastResult == DRAVEL_INSERT_SKIPPED) break;
    platform::SleepMs(1000);
    if (!frame.watching.load()) break;
  }
  frame.skipLog.Disarm();
  return lastResult;
}

}  // namespace zv::monitor
