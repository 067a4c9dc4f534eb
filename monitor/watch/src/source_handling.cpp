// The source handling after an import: the source deleted or moved into a
// dated folder below the succeeded or failed save folder.
#include "monitor/watch/folder_check.h"

#include <cstdio>
#include <ctime>

#include "companion/common.h"
#include "folder_check_internal.h"
#include "monitor/watch/checks.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/fs_error.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

constexpr std::size_t kPathLimit = 259;  // bytes, without the terminator

std::string BaseFolder(const FileJob& job, bool success) {
  const std::string& given = success ? job.succeededFolder : job.failedFolder;
  if (!given.empty()) return given;
  return Join(job.targetFolder, success ? "Success" : "Fail");
}

}  // namespace
std::string StampText(std::int64_t unixSeconds) { return platform::LocalTimeText(unixSeconds, "%Y%m%d%H%M%S"); }

std::string DayText(std::int64_t unixSeconds) { return StampText(unixSeconds).substr(0, 8); }

std::string FreeDestinationName(const std::string& folder, const std::string& fileName) {
  auto fits = [](const std::string& p) { return p.size() <= kPathLimit; };
  std::string first = Join(folder, fileName);
  if (!platform::Exists(first)) return fits(first) ? first : std::string();
  const std::string ext = companion::ComFileExtension(fileName);
  const std::string stem = ext.empty() ? fileName : companion::ComStripExtension(fileName);
  for (int i = 2; i <= 999; ++i) {
    char num[8];
    std::snprintf(num, sizeof num, "_%03d", i);
    std::string candidate = Join(folder, stem + num + (ext.empty() ? "" : "." + ext));
    if (platform::Exists(candidate)) continue;
    return fits(candidate) ? candidate : std::string();
  }
  return {};
}

int MoveSourceToSaveFolder(WatchFrame& frame, const std::string& source, const std::string& targetFile,
                           const std::string& baseFolder, std::int64_t stamp, int result, const std::string& identity) {
  // An explicit save folder is used as configured (links in its path
  // followed); what lies below it is not.
  if (!platform::IsFolder(baseFolder)) platform::MakeFolders(baseFolder);
  platform::FolderHandle base = platform::FolderHandle::Open(baseFolder);
  if (!base.valid()) {
    ZV_WATCH_TRACE("CheckFolder: RecursiveCreateDirectory() == -1 .#* \n " + baseFolder + " - " +
                   platform::LastFsError().Message());
    SetLockFileList(frame, targetFile.empty() ? source : targetFile, result, 1, kReadStateDone, identity);
    return 0;
  }
  return MoveSourceToSaveFolder(frame, source, targetFile, base, stamp, result, identity);
}

namespace {

// The destination name in an open folder: name.ext, else name_002.ext up to
// name_999.ext, the first that is no entry at all (a dangling link counts).
std::string FreeDestinationNameIn(const platform::FolderHandle& folder, const std::string& fileName) {
  auto fits = [&](const std::string& n) { return folder.PathOf(n).size() <= kPathLimit; };
  if (!folder.HasEntry(fileName)) return fits(fileName) ? fileName : std::string();
  const std::string ext = companion::ComFileExtension(fileName);
  const std::string stem = ext.empty() ? fileName : companion::ComStripExtension(fileName);
  for (int i = 2; i <= 999; ++i) {
    char num[8];
    std::snprintf(num, sizeof num, "_%03d", i);
    std::string candidate = stem + num + (ext.empty() ? "" : "." + ext);
    if (folder.HasEntry(candidate)) continue;
    return fits(candidate) ? candidate : std::string();
  }
  return {};
}

}  // namespace

int MoveSourceToSaveFolder(WatchFrame& frame, const std::string& source, const std::string& targetFile,
                           const platform::FolderHandle& base, std::int64_t stamp, int result,
                           const std::string& identity) {
  // A file that stays is recorded under its name in the target folder, so a
  // staged copy never makes the original look new.
  const std::string recorded = targetFile.empty() ? source : targetFile;
  const bool success = result == 0;
  auto keep = [&]() {
    SetLockFileList(frame, recorded, result, 1, kReadStateDone, identity);
    return 0;
  };
  auto dropCopy = [&]() {
    // Only a filed document may be dropped: the binder holds its pages.
    if (!success) {
      ZV_WATCH_TRACE("CheckFolder: no place for a failed source; it stays - " + source);
      return keep();
    }
    if (!platform::RemoveFile(source)) {
      ZV_WATCH_TRACE("CheckFolder: DeleteFile() == -1 .#* \n " + source + " - " + platform::LastFsError().Message());
      return keep();
    }
    if (!targetFile.empty() && !platform::RemoveFile(targetFile))
      SetLockFileList(frame, targetFile, result, 1, kReadStateDone, identity);
    return 2;
  };

  if (!base.valid()) return keep();  // traced by the caller
  // The dated folder and its alternatives are entered without following
  // links: one planted in their place counts as a folder that cannot be
  // accessed.
  const std::string day = DayText(stamp);
  platform::FolderHandle folder;
  if (!base.IsLinkEntry(day)) folder = base.Child(day, true);
  if (!folder.valid() || TestWritePermissionAt(folder, frame.env.folder) != 1) {
    folder = platform::FolderHandle();
    ZV_WATCH_TRACE("CheckFolder: MyTestWritePermission() == -1 .#* \n " + base.PathOf(day));
    for (int i = 1; i <= 999 && !folder.valid(); ++i) {
      char num[16];
      std::snprintf(num, sizeof num, "_%03d", i);
      const std::string alt = day + num;
      if (base.IsLinkEntry(alt)) continue;
      platform::FolderHandle candidate = base.Child(alt, true);
      if (!candidate.valid()) {
        ZV_WATCH_TRACE("CheckFolder: RecursiveCreateDirectory() == -1 .#* \n " + base.PathOf(alt) + " - " +
                       platform::LastFsError().Message());
        return keep();
      }
      if (TestWritePermissionAt(candidate, frame.env.folder) == 1) folder = std::move(candidate);
    }
    if (!folder.valid()) {
      ZV_WATCH_TRACE("CheckFolder: _XXX つきフォルダにもアクセスできないときは元ファイルは削除する .#* \n ");
      return dropCopy();
    }
  }
  const std::string destination = FreeDestinationNameIn(folder, platform::LastComponent(source));
  if (destination.empty()) return dropCopy();
  if (!folder.MoveFileIn(source, destination)) {
    ZV_WATCH_TRACE("CheckFolder: MoveFile() failed .#* \n " + source + " - " + platform::LastFsError().Message());
    return keep();
  }
  if (!targetFile.empty() && !platform::RemoveFile(targetFile))
    SetLockFileList(frame, targetFile, result, 1, kReadStateDone, identity);
  return 1;
}

// The source handling of walk step 13 and import step 15.
void HandleSource(WatchFrame& frame, const FileJob& job, int result, std::int64_t stamp) {
  const std::string targetFile = job.staging ? job.targetFile : std::string();
  auto remove = [&]() {
    if (!platform::RemoveFile(job.path)) {
      SetLockFileList(frame, job.staging ? job.targetFile : job.path, result, 1, kReadStateDone, job.identity);
      return false;
    }
    if (job.staging && !platform::RemoveFile(job.targetFile))
      SetLockFileList(frame, job.targetFile, result, 1, kReadStateDone, job.identity);
    return true;
  };
  auto moveTo = [&](bool success) {
    const std::string& given = success ? job.succeededFolder : job.failedFolder;
    if (!given.empty() && !platform::IsFolder(given)) {
      SetLockFileList(frame, job.staging ? job.targetFile : job.path, result, 1, kReadStateDone, job.identity);
      platform::SleepMs(5);
      ZV_WATCH_TRACE("CheckFolder: GetFileAttributes(): Skip - dwRet == -1 #*.#* \n " + given);
      return;
    }
    if (!given.empty()) {
      MoveSourceToSaveFolder(frame, job.path, targetFile, given, stamp, result, job.identity);
      return;
    }
    const std::string name = success ? "Success" : "Fail";
    const bool existed = platform::IsFolder(Join(job.targetFolder, name));
    const platform::FolderHandle base = OpenDefaultSaveFolder(job.setting->targetFolder, job.targetFolder, name, true);
    // A sort-folder link's save folder made here is hidden when the links
    // ask for it, as the linking hides the ones it finds.
    if (!existed && base.valid() && job.setting->hideSaveFolders == 1)
      platform::SetHidden(Join(job.targetFolder, name), true);
    if (!base.valid())
      ZV_WATCH_TRACE("CheckFolder: RecursiveCreateDirectory() == -1 .#* \n " + BaseFolder(job, success) + " - " +
                     platform::LastFsError().Message());
    MoveSourceToSaveFolder(frame, job.path, targetFile, base, stamp, result, job.identity);
  };
  if (result == 0) {
    if (job.moveSucceeded == 1) {
      remove();
      ZV_WATCH_TRACE("Source File is deleted.");
    } else {
      moveTo(true);
      ZV_WATCH_TRACE("Source File is moved to succeeded folder.");
    }
  } else if (result == -1) {
    if (job.moveFailed == 1) {
      remove();
    } else {
      moveTo(false);
      ZV_WATCH_TRACE("Source File is moved to failed.");
    }
  }
  frame.probe->Forget(job.path);
}

// A default save folder (none given, sources moved) that is a symbolic
// link: never entered, so the file waits until it is put right.
bool DefaultSaveFolderIsLink(const std::string& targetFolder, int mode, const std::string& given, bool success) {
  return mode == 0 && given.empty() && platform::IsSymlink(Join(targetFolder, success ? "Success" : "Fail"));
}

}  // namespace zv::monitor
