// The folder check: the walk over one folder, the import of one file, the
// source handling and the lock list.
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

namespace zv::monitor {

namespace {

constexpr std::uint64_t kMiB = 1024ull * 1024ull;
constexpr int kReadStateInProgress = 1;
constexpr int kReadStateDone = 3;
constexpr std::size_t kPathLimit = 259;  // bytes, without the terminator

std::string Res(int id) { return companion::LoadString(companion::StringTable::Monitor, id); }

void Copy(char* dst, const std::string& src) {
  std::string_view cut = platform::Utf8CutBytes(src, DRAVEL_PATH_MAX - 1);
  std::memcpy(dst, cut.data(), cut.size());
  dst[cut.size()] = '\0';
}

std::string Join(const std::string& a, const std::string& b) { return platform::JoinPath(a, b); }

struct FileJob {
  int n = 0;
  int settingNo = 0;
  const AutoFileSetting* setting = nullptr;
  std::string path;          // the scanned file (a staged copy with staging)
  std::string targetFile;    // the file in the target folder (== path without staging)
  std::string targetFolder;  // argument 5
  std::string name;
  std::string identity;      // creation time of the target file
  int moveSucceeded = 0, moveFailed = 0;
  std::string succeededFolder, failedFolder;  // given (may be empty)
  int restoreStatus = 0;
  bool staging = false;
  // [EnvSetting]
  int insertIndex = 1, a3b4 = 0, securityPdf = 1, dataChange = 0;
};

std::string BaseFolder(const FileJob& job, bool success) {
  const std::string& given = success ? job.succeededFolder : job.failedFolder;
  if (!given.empty()) return given;
  return Join(job.targetFolder, success ? "Success" : "Fail");
}

}  // namespace

std::string StampText(std::int64_t unixSeconds) {
  std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
  return buf;
}

std::string DayText(std::int64_t unixSeconds) { return StampText(unixSeconds).substr(0, 8); }

std::string LockListIdentity(const std::string& path) {
  const std::string full = platform::FileIdentity(path);
  if (full.empty()) return {};
  // "<seconds>.<12 digits of a hash of time and inode>": 23 characters at
  // most, as the lock list stores them, and still telling a replacement apart.
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : full) h = (h ^ c) * 1099511628211ull;
  const std::string ns = full.substr(0, full.find('-'));
  const std::string seconds = ns.size() > 9 ? ns.substr(0, ns.size() - 9) : std::string("0");
  char tail[16];
  std::snprintf(tail, sizeof tail, "%012llu", static_cast<unsigned long long>(h % 1000000000000ull));
  return (seconds + "." + tail).substr(0, 23);
}

// ---- lock list ---------------------------------------------------------------

int GetLockedFlag(WatchFrame& frame, const std::string& path, int& storedResult, int checkFolder) {
  if (path.empty() || !platform::Exists(path) || platform::IsFolder(path)) return -9;
  std::vector<LockListEntry> entries = ReadLockList(frame.settingsFile);
  const int previousTotal = static_cast<int>(entries.size());
  bool changed = false;
  int decision = 0;
  bool decided = false;
  std::vector<LockListEntry> kept;
  for (auto& e : entries) {
    if (!decided && !e.file.empty() && e.readState > kReadStateInProgress &&
        platform::EqualsNoCase(e.file, path)) {
      if (checkFolder && MyTestWritePermission(platform::ParentFolder(path), frame.env.folder) != 1) {
        decision = -1;
        decided = true;
      } else if (!frame.probe->CanOpenExclusively(path)) {
        decision = -1;
        decided = true;
      } else if (e.date == LockListIdentity(path)) {
        storedResult = e.result;
        decision = 1;
        decided = true;
        changed = true;  // consumed
        continue;
      }
    }
    // An entry whose file is gone while its folder is still there is stale.
    if (!e.file.empty() && !platform::Exists(e.file) && platform::IsFolder(platform::ParentFolder(e.file))) {
      changed = true;
      continue;
    }
    kept.push_back(e);
  }
  if (changed) {
    EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
    WriteLockList(frame.settingsFile, kept, previousTotal);
    guard.Commit();
  }
  if (decided) return decision;
  return frame.probe->CanOpenExclusively(path) ? 0 : -2;
}

namespace {

// SetLockFileList's work, for a caller that holds the environment lock and
// flushes the settings file itself.
int SetLockFileListHeld(WatchFrame& frame, const std::string& path, int result, int checked, int readState,
                        const std::string& createTime) {
  ZV_WATCH_TRACE("CheckFolder: SetLockFileList(): START.#*");
  if (path.empty()) {
    ZV_WATCH_TRACE("CheckFolder: SetLockFileList(): tarfile == NULL .#* \n " + path);
    return 0;
  }
  if (createTime.empty()) {
    ZV_WATCH_TRACE("CheckFolder: SetLockFileList(): szFileCreateTime == NULL .#* \n " + path);
    return 0;
  }
  if (!platform::Exists(path) || platform::IsFolder(path)) {
    ZV_WATCH_TRACE("CheckFolder: SetLockFileList(): GetFileAttributes == FALSE .#* \n " + path);
  } else if (checked == 0 && frame.probe->CanOpenExclusively(path)) {
    ZV_WATCH_TRACE("CheckFolder: SetLockFileList(): GetLockedFlag(tarfile) == FALSE .#* \n " + path);
  }
  std::vector<LockListEntry> entries = ReadLockList(frame.settingsFile);
  for (std::size_t j = 0; j < entries.size(); ++j) {
    const LockListEntry& e = entries[j];
    if (e.file.empty() || !platform::EqualsNoCase(e.file, path)) continue;
    if (!e.date.empty() && e.date != createTime) continue;
    ZV_WATCH_TRACE(std::string("CheckFolder: SetLockFileList(): _stricmp(") + e.date + ", " + createTime +
                   (e.date.empty() ? ") != 0.#*" : ") == 0.#*"));
    return UpdateLockListEntry(frame.settingsFile, static_cast<int>(j) + 1, result, readState) ? 1 : 0;
  }
  LockListEntry add;
  add.file = path;
  add.date = createTime;  // the platform identity (time and inode) is kept whole
  add.result = result;
  add.readState = readState;
  if (!AppendLockListEntry(frame.settingsFile, add)) {
    ZV_WATCH_TRACE("CheckFolder: SetLockFileList(): DeleteImpLockFile == FALSE .#* \n " + frame.env.folder);
    return 2;
  }
  ZV_WATCH_TRACE("CheckFolder: SetLockFileList(): END.#*");
  return 1;
}

}  // namespace

int SetLockFileList(WatchFrame& frame, const std::string& path, int result, int checked,
                    int readState, const std::string& createTime) {
  EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
  const int recorded = SetLockFileListHeld(frame, path, result, checked, readState, createTime);
  guard.Commit();
  return recorded;
}

namespace {

// Drops the in-progress entry of a file again (the import and its source
// handling are over). A finished entry written meanwhile for the same file
// is kept. The caller holds the environment lock.
void DropInProgressEntry(WatchFrame& frame, const std::string& path, const std::string& identity) {
  std::vector<LockListEntry> entries = ReadLockList(frame.settingsFile);
  const int previousTotal = static_cast<int>(entries.size());
  std::vector<LockListEntry> kept;
  bool changed = false;
  for (const auto& e : entries) {
    if (e.readState == kReadStateInProgress && platform::EqualsNoCase(e.file, path) && e.date == identity) {
      changed = true;
      continue;
    }
    kept.push_back(e);
  }
  if (changed) WriteLockList(frame.settingsFile, kept, previousTotal);
}

// The pages of a binder keyed with an import time stamp ("<stamp>_<n>").
int PagesWithStamp(const std::string& binder, const std::string& stamp) {
  const std::string b = platform::TrimTrailingSeparator(binder);
  if (b.empty() || !platform::IsFolder(b)) return 0;
  const std::string prefix = stamp + "_";
  int count = 0;
  for (const auto& p : companion::binder::ReadBinder(b, false).pages)
    if (p.keyword.compare(0, prefix.size(), prefix) == 0) ++count;
  return count;
}

}  // namespace

int RecoverInterruptedImports(WatchFrame& frame) {
  std::vector<LockListEntry> entries = ReadLockList(frame.settingsFile);
  const int previousTotal = static_cast<int>(entries.size());
  int settled = 0;
  std::vector<LockListEntry> kept;
  for (auto e : entries) {
    if (e.readState != kReadStateInProgress) {
      kept.push_back(e);
      continue;
    }
    ++settled;
    if (e.file.empty() || !platform::Exists(e.file) || LockListIdentity(e.file) != e.date) {
      ZV_WATCH_TRACE("Thread_FileCheck: interrupted import settled, source gone - " + e.file);
      continue;  // moved away before the crash, or replaced: nothing to settle
    }
    // Only the import's own pages prove it: the binder and page count noted
    // once the insertion returned. Pages of the same second that another
    // computer or a send put there prove nothing.
    const bool filed = !e.binder.empty() && e.pages > 0 && PagesWithStamp(e.binder, StampText(e.result)) == e.pages;
    if (filed) {
      ZV_WATCH_TRACE("Thread_FileCheck: interrupted import was filed; its source is handled - " + e.file);
      e.result = 0;
      e.readState = kReadStateDone;
      e.binder.clear();
      e.pages = -1;
      kept.push_back(e);
    } else {
      ZV_WATCH_TRACE("Thread_FileCheck: interrupted import was not filed; imported again - " + e.file);
    }
  }
  if (settled > 0) {
    EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
    WriteLockList(frame.settingsFile, kept, previousTotal);
    guard.Commit();
  }
  return settled;
}

bool NoteImportedPages(WatchFrame& frame, const std::string& path, const std::string& identity,
                       const std::string& binder, int pages, std::int64_t stamp) {
  EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
  std::vector<LockListEntry> entries = ReadLockList(frame.settingsFile);
  for (auto& e : entries) {
    if (e.readState != kReadStateInProgress || e.date != identity || !platform::EqualsNoCase(e.file, path)) continue;
    e.binder = binder;
    e.pages = pages;
    if (stamp >= 0) e.result = static_cast<int>(stamp);
    const bool ok = WriteLockList(frame.settingsFile, entries, static_cast<int>(entries.size()));
    return guard.Commit() && ok;
  }
  return false;
}

bool MonitorStopRequested(WatchFrame& frame) {
  if (frame.status.load() == kStatusStopped) return true;
  if (ProfileRead("Option", "MonitorStatus", kStatusOnline, frame.settingsFile) != kStatusStopped) return false;
  frame.status.store(kStatusStopped);
  if (frame.shell) frame.shell->SetStatusIcon(kStatusStopped);
  return true;
}

// ---- helpers of the import -------------------------------------------------------

std::string BuildAttachInfo(const AutoFileSetting& setting, const std::string& fileName) {
  std::string text;
  auto add = [&](const std::string& part) {
    if (!part.empty()) text += part + " ";
  };
  if (setting.textInfoFlag & 1) add(setting.setName);
  if (setting.textInfoFlag & 2) add(companion::ComStripExtension(fileName));
  if (setting.textInfoFlag & 4) add(setting.textInfo);
  if (!text.empty()) text.pop_back();
  return text;
}

namespace {

std::vector<std::string> SendUserList(bool& ok) {
  ok = false;
  char path[DRAVEL_PATH_MAX] = {0};
  if (GetAndCheckImpSendUserdat(path) != 0) {
    ZV_WATCH_TRACE("Function GetAndCheckImpSendUserdat() failed.");
    return {};
  }
  std::vector<std::string> users;
  const int count = ProfileRead("users", "count", 0, path);
  for (int m = 1; m <= count; ++m) {
    std::string u = ProfileRead("users", "username" + std::to_string(m), "", path);
    if (!u.empty()) users.push_back(u);
  }
  ok = true;
  return users;
}

std::vector<std::string> SplitNames(const std::string& joined) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : joined) {
    if (c == ',') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

}  // namespace

std::string ResolveRecipients(WatchFrame& frame, const AutoFileSetting& setting, bool& noticeDue) {
  (void)frame;
  noticeDue = setting.sendResult != 0;
  std::string list;
  switch (setting.sendResult) {
    case 0:
      break;
    case 1: {
      bool ok = false;
      for (const auto& u : SendUserList(ok)) list += u + ",";
      if (!ok) ZV_WATCH_TRACE("Username is valid, please check the enviroment.");
      break;
    }
    case 2: {
      const std::string user = ProfileRead("Product", "User", "", companion::UserSettingsPath());
      if (user.empty()) {
        ZV_WATCH_TRACE("The [Product]User value is blank in envsetinfo.ini.");
        noticeDue = false;
      } else {
        list = user + ",";
      }
      break;
    }
    default: {
      bool ok = false;
      const std::vector<std::string> known = SendUserList(ok);
      for (const auto& u : SplitNames(setting.users))
        for (const auto& k : known)
          if (platform::EqualsNoCase(u, k)) {
            list += u + ",";
            break;
          }
      if (list.empty()) ZV_WATCH_TRACE("The specified user list is blank.");
      break;
    }
  }
  return list;
}

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
                           const std::string& baseFolder, std::int64_t stamp, int result,
                           const std::string& identity) {
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

namespace {

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
    const platform::FolderHandle base = OpenDefaultSaveFolder(job.setting->targetFolder, job.targetFolder,
                                                              success ? "Success" : "Fail", true);
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

// The import stamp: the local time when the import begins, never equal to
// the previous import's, so the pages of two imports never share keywords.
std::int64_t TakeImportStamp(WatchFrame& frame) {
  // The stamp is the import's keyword and must be unique, also across runs
  // (recovery at start-up recognises an import's pages by it): wait for the
  // next second when the last import had this one. A clock set back would
  // make that wait as long as the step back, so then the stamp simply
  // follows the last one instead.
  std::int64_t now = platform::UnixSeconds();
  while (now == frame.lastImportStamp) {
    platform::SleepMs(100);
    now = platform::UnixSeconds();
  }
  frame.lastImportStamp = std::max(now, frame.lastImportStamp + 1);
  return frame.lastImportStamp;
}

// The link folder of a binder import and its display name; false when it
// is none of the viewer's.
bool ResolveLinkFolder(const AutoFileSetting& s, std::string& folder, std::string& name) {
  const companion::ViewerFolders v = companion::ReadViewerFolders();
  folder = s.linkFolder.empty() ? v.currentFolder : s.linkFolder;
  const std::string f = platform::TrimTrailingSeparator(folder);
  for (int i = 0; i < 3; ++i) {
    if (!v.link[i].empty() && platform::EqualsNoCase(platform::TrimTrailingSeparator(v.link[i]), f)) {
      name = v.name[i].empty() ? "LibRoot-" + std::to_string(i + 1) : v.name[i];
      return true;
    }
  }
  if (!v.currentFolder.empty() && platform::EqualsNoCase(platform::TrimTrailingSeparator(v.currentFolder), f)) {
    name = v.currentName.empty() ? "LibRoot-" + std::to_string(v.currentNum) : v.currentName;
    return true;
  }
  return false;
}

// Step 7: the binder search chose another binder; settings that named the
// old one follow it.
void WriteBackSearchedBinder(WatchFrame& frame, const std::string& before, const std::string& after) {
  bool wrote = false;
  EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
  const int total = std::min(frame.options.setTotal, static_cast<int>(frame.settings.size()));
  for (int i = 1; i <= total; ++i) {
    AutoFileSetting& s = frame.settings[static_cast<std::size_t>(i - 1)];
    if (!platform::EqualsNoCase(s.targetBinder, before)) continue;
    const std::string N = std::to_string(i);
    if (after != before) {
      ProfileWrite("AutoFileRead", "TarBinder" + N, after, frame.settingsFile);
      wrote = true;
    }
    if (s.searchBinder == 0) {
      ProfileWrite("AutoFileRead", "SearchBinder" + N, 1, frame.settingsFile);
      wrote = true;
    }
    const std::string ini = Join(after, platform::LastComponent(platform::TrimTrailingSeparator(after)) + ".ini");
    if (!frame.options.binderIniSetDateSec.empty() && !frame.options.binderIniSetDateKey.empty()) {
      std::string stamp = ProfileRead(frame.options.binderIniSetDateSec, frame.options.binderIniSetDateKey, "", ini);
      if (stamp.size() > 16) stamp.resize(16);
      ProfileWrite("AutoFileRead", "SetDate" + N, stamp, frame.settingsFile);
      wrote = true;
    }
  }
  if (wrote) ProfileWrite("Option", "Modified", 1, frame.settingsFile);
  guard.Commit();
}

void StartImportListViewer(WatchFrame& frame) {
  static platform::Process viewer;
  if (viewer.valid() && viewer.IsRunning()) return;
  const std::string exe = Join(platform::ExecutableFolder(), "Quibbin");
  if (platform::IsFile(exe)) viewer = platform::Process::Spawn(exe, {});
  (void)frame;
}

// The start of an import: `ImportFlag` 1 in the status file, the monitor
// status 2 in the cell and the settings file, and the file's in-progress
// entry in the lock list, under one environment lock (the status file is
// replaced first). A stop asked for meanwhile (the cell or the file holds 1)
// is obeyed instead: nothing is written, false. Under the lock, so a stop
// written by another program is either seen here or written after this.
bool ClaimImportStatus(WatchFrame& frame, const FileJob& job) {
  EnvLockGuard guard(frame.env.folder, {frame.env.status, frame.settingsFile});
  if (MonitorStopRequested(frame)) return false;
  int current = frame.status.load();
  // The window thread sets the cell before it writes the file: a stop set
  // just now makes the exchange fail.
  if (current == kStatusStopped || !frame.status.compare_exchange_strong(current, kStatusImporting)) return false;
  ProfileWrite("work", kImportFlag, "1", frame.env.status);
  ProfileWrite("Option", "MonitorStatus", kStatusImporting, frame.settingsFile);
  // Crash safety: the import is in the lock list before any page reaches
  // the binder; its import time follows with its pages.
  SetLockFileListHeld(frame, job.targetFile, static_cast<int>(platform::UnixSeconds()), 1, kReadStateInProgress,
                      job.identity);
  guard.Commit();
  return true;  // the cell holds 2 now: the import must run to restore it
}

// The end of an import, under one environment lock: its in-progress entry
// leaves the lock list, the status the walk runs under goes back into the
// cell and the settings file (except over a stop chosen meanwhile, in the
// cell or the file: a 1 always stays), then `ImportFlag` 0 in the status
// file. Returns the status now in force.
int FinishImport(WatchFrame& frame, const FileJob& job) {
  EnvLockGuard guard(frame.env.folder, {frame.settingsFile, frame.env.status});
  DropInProgressEntry(frame, job.targetFile, job.identity);
  const bool stopInFile =
      ProfileRead("Option", "MonitorStatus", kStatusOnline, frame.settingsFile) == kStatusStopped;
  int current = kStatusImporting;
  if (!stopInFile && frame.status.compare_exchange_strong(current, job.restoreStatus)) {
    ProfileWrite("Option", "MonitorStatus", job.restoreStatus, frame.settingsFile);
  } else if (stopInFile) {
    frame.status.store(kStatusStopped);
  }
  // Otherwise the window thread changed the cell and writes the file itself.
  ProfileWrite("work", kImportFlag, "0", frame.env.status);
  guard.Commit();
  return frame.status.load();
}

// Import of one file (steps 1 to 17). Returns the import result.
int ImportOneFile(WatchFrame& frame, FileJob& job) {
  const AutoFileSetting& s = *job.setting;
  WatchShell* shell = frame.shell;
  // `ImportFlag` is 1 since the status was claimed.
  std::string hostName = Res(57674);
  if (s.workDesk != 1 && !s.linkFolder.empty())
    hostName = ProfileRead("Product", "HostName", hostName, ResultAreaCopyPath(s.linkFolder));

  std::string label = s.setName;
  if (label.empty()) label = job.n > 10000 ? "FAX-" + std::to_string(job.n - 10000) : std::to_string(job.n);
  if (shell) shell->SetTooltip(frame.productName + " - " + StatusWord(kStatusImporting) + ":" + label);
  if (shell && frame.trayShown.load()) {
    if (shell->StartBlink()) {
      for (int i = 0; i < 5; ++i) platform::SleepMs(200);
    } else {
      for (int i = 0; i < 3; ++i) {
        shell->SetIcon(20008);
        platform::SleepMs(500);
        shell->SetIcon(20121);
        platform::SleepMs(500);
        if (i == 0 && frame.options.showBalloon != 0)
          shell->ShowBalloon(Res(63259), Res(63257), frame.options.timeBalloon);
      }
    }
  }

  const std::int64_t stampTime = TakeImportStamp(frame);
  const std::string stamp = StampText(stampTime);

  int result = -1;
  int pages = 0;
  int errorCode = 0;
  int secured = 0;
  char message[1024] = {0};
  char title[DRAVEL_PATH_MAX] = {0};
  char printCopy[DRAVEL_PATH_MAX] = {0};
  char binder[DRAVEL_PATH_MAX] = {0};
  Copy(binder, s.targetBinder);
  std::string linkFolder, linkName;
  if (s.workDesk == 1) {
    WorkDeskRequest request;
    request.folder = s.targetBinder;
    request.source = job.path;
    request.a3b4 = job.a3b4;
    request.dataChange = job.dataChange;
    request.print = s.print;
    const WorkDeskOutcome desk = ImportToWorkDesk(request);
    result = desk.result;
    pages = desk.pages;
    Copy(message, desk.message);
  } else if (!ResolveLinkFolder(s, linkFolder, linkName)) {
    Copy(message, Res(20133));
    result = -1;
  } else {
    const std::string attach = BuildAttachInfo(s, job.name);
    int reserved = 0;
    const int searchVariant = frame.options.disableSearchBinder == 1 ? s.searchBinder : 0;
    result = frame.insert(nullptr, binder, job.path.c_str(), job.dataChange != 0 ? 1 : 0, job.insertIndex,
                          s.insertPos == 2 ? 0 : 1, job.a3b4, printCopy, s.print, &pages, stamp.c_str(),
                          frame.options.serviceMode, message, &reserved, 2, title, &errorCode,
                          frame.options.addContents, job.securityPdf, &secured, attach.c_str(), searchVariant);
    frame.imports.fetch_add(1);
  }
  const std::string actualBinder = binder;
  // From here on a crash leaves proof of which pages are this import's.
  if (result == 0 && s.workDesk != 1 && pages > 0)
    NoteImportedPages(frame, job.targetFile, job.identity, actualBinder, pages, stampTime);
  if (s.workDesk != 1 && frame.options.disableSearchBinder == 1 && result == 0)
    WriteBackSearchedBinder(frame, s.targetBinder, actualBinder);

  // Let the binder's writers finish, then the configured pause.
  for (int i = 0; i < frame.options.writeWaitCounter; ++i) {
    if (!platform::Exists(Join(actualBinder, "~Write.Locked"))) break;
    platform::SleepMs(10);
  }
  platform::SleepMs(frame.options.wait);
  frame.lastError = message;

  if (result == DRAVEL_INSERT_SKIPPED) {
    ZV_WATCH_TRACE("bResult=1. Import Skip.");
  } else {
    bool noticeDue = false;
    const std::string recipients = ResolveRecipients(frame, s, noticeDue);
    ZV_WATCH_TRACE("Log Output start");
    DravelImpRecord rec{};
    rec.impTime = stampTime;
    Copy(rec.hostName, hostName);
    Copy(rec.name, s.setName);
    Copy(rec.srcFolder, job.targetFolder);
    Copy(rec.srcFile, job.name);
    rec.result = result == 0 ? 1 : 0;
    Copy(rec.binder, s.targetBinder);
    Copy(rec.index, std::to_string(job.n));
    Copy(rec.actualBinder, actualBinder);
    Copy(rec.binderPath, actualBinder);
    Copy(rec.linkFolderPath, linkFolder);
    Copy(rec.linkFolderName, linkName);
    rec.setNumber = s.setNumber;
    rec.pageCount = pages;
    rec.a3b4 = job.a3b4;
    rec.workDesk = s.workDesk;
    rec.userList = recipients.c_str();
    Copy(rec.userName, platform::UserName());
    std::string parent = frame.computerName;
    rec.parentPCName = parent.c_str();
    std::string msgCopy = message;
    std::vector<char> msgBuf(msgCopy.begin(), msgCopy.end());
    msgBuf.push_back('\0');
    rec.message = msgBuf.data();

    if (frame.impResultListOn) {
      ImpResultRow row;
      ResultRowDateTime(stampTime, frame.log.EffectiveLanguageId(), row.date, row.time);
      row.result = rec.result;
      row.sourcePath = Join(job.targetFolder, job.name);
      row.actualBinder = actualBinder;
      row.destination = s.workDesk == 1 ? Res(57681) : std::string(title);
      row.errorText = message;
      row.code = errorCode;
      row.pattern = job.n > 10000 ? kPatternFax : (job.n < 0 ? kPatternFaxOther : kPatternTargetFolder);
      row.settingNumber = job.settingNo;
      row.monitorName = s.setName;
      WriteImpResultList(frame.log, row);
    }
    if (frame.options.impListEnabled) {
      const std::string rslt = Join(frame.env.folder, kResultFolderName);
      platform::MakeFolders(rslt);
      // The import-list viewer takes this lock with the store's short-lock
      // rule; so does the monitor: no pause once it is had.
      platform::HeldLock lock = platform::AcquireShortLockFile(rslt, "~ImpList.Locked", 10);
      if (noticeDue) OutPutImpRsltFile(rec);
      if (!s.linkFolder.empty()) {
        const std::string linkRslt = Join(s.linkFolder, kResultFolderName);
        platform::MakeFolders(linkRslt);
        ProfileWrite("HostName", "HostName", frame.computerName, Join(linkRslt, "ImpHostname.ini"));
      }
      platform::ReleaseLockFile(lock, rslt, "~ImpList.Locked");
      if (frame.options.impListPopup == 1 && noticeDue) {
        ZV_WATCH_TRACE("Call Quibbin start");
        StartImportListViewer(frame);
      }
    }
    WriteImpLogImport(frame.log, rec);

    // Source check, then the source handling.
    if (!platform::IsFile(job.path)) {
      // Gone already: there is nothing left to import twice.
      ZV_WATCH_TRACE("ERROR: Source File does not have write permission.");
      if (platform::IsFile(job.targetFile))
        SetLockFileList(frame, job.targetFile, result, 0, kReadStateDone, job.identity);
    } else if (!frame.probe->CanOpenExclusively(job.path)) {
      ZV_WATCH_TRACE("ERROR: Source File is Locked.");
      SetLockFileList(frame, job.targetFile, result, 0, kReadStateDone, job.identity);
    } else {
      HandleSource(frame, job, result, stampTime);
    }
    if (printCopy[0] != '\0') platform::RemoveFile(printCopy);
    platform::SleepMs(frame.options.wait);
  }
  // End of import.
  const int status = FinishImport(frame, job);
  if (shell) {
    shell->StopBlink();
    shell->SetStatusIcon(status);
    if (frame.options.showBalloon != 0 && result != DRAVEL_INSERT_SKIPPED) {
      // The balloon invites the user to switch notices off; what went wrong
      // with which file is in the logs.
      shell->ShowBalloon(Res(63259), Res(result == 0 ? 63258 : 63260), frame.options.timeBalloon);
    }
  }
  return result;
}

// A default save folder (none given, sources moved) that is a symbolic
// link: never entered, so the file waits until it is put right.
bool DefaultSaveFolderIsLink(const std::string& targetFolder, int mode, const std::string& given, bool success) {
  return mode == 0 && given.empty() && platform::IsSymlink(Join(targetFolder, success ? "Success" : "Fail"));
}

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

// ---- the walk ------------------------------------------------------------------------

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
