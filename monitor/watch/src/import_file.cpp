// The import of one file: the status claim, the insertion, the logs and
// the result notice, the source handling and the end of the import.
#include "monitor/watch/folder_check.h"

#include <algorithm>

#include <cstring>
#include <ctime>

#include "binderlib/binderini.h"
#include "companion/common.h"
#include "companion/services.h"
#include "dravel/dravel.h"
#include "dravel/pipeline.h"
#include "folder_check_internal.h"
#include "monitor/log/imp_log.h"
#include "monitor/log/result_list.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/lock_list.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
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

void Copy(char* dst, const std::string& src) {
  std::string_view cut = platform::Utf8CutBytes(src, DRAVEL_PATH_MAX - 1);
  std::memcpy(dst, cut.data(), cut.size());
  dst[cut.size()] = '\0';
}

}  // namespace

bool MonitorStopRequested(WatchFrame& frame) {
  if (frame.status.load() == kStatusStopped) return true;
  if (ProfileRead("Option", "MonitorStatus", kStatusOnline, frame.settingsFile) != kStatusStopped) return false;
  frame.status.store(kStatusStopped);
  if (frame.shell) frame.shell->SetStatusIcon(kStatusStopped);
  return true;
}

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
    case 0: break;
    case 1: {
      bool ok = false;
      for (const auto& u : SendUserList(ok)) list += u + ",";
      if (!ok) ZV_WATCH_TRACE("Username is valid, please check the enviroment.");
      break;
    }
    case 2: {
      const std::string user = companion::ThisUserName();
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

namespace {

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

// Fax import mode 1 files into a plain folder, not a binder.
bool IntoPlainFolder(const FileJob& job) { return job.n > kFaxSettingBase && job.setting->importMode == 1; }

// Step 7: the binder search chose another binder; settings that named the
// old one follow it: auto-file settings (then Modified=1), fax settings and
// the other fax setting (then FaxModified=1).
void WriteBackSearchedBinder(WatchFrame& frame, const std::string& before, const std::string& after) {
  EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
  std::string stamp;
  const bool stamped = !frame.options.binderIniSetDateSec.empty() && !frame.options.binderIniSetDateKey.empty();
  if (stamped) {
    const std::string ini = Join(after, platform::LastComponent(platform::TrimTrailingSeparator(after)) + ".ini");
    // Kept as its digits, the form the recreated-binder test compares.
    stamp =
        CreationStampDigits(ProfileRead(frame.options.binderIniSetDateSec, frame.options.binderIniSetDateKey, "", ini));
  }
  // One setting's keys; true when anything was written.
  auto follow = [&](const char* section, const std::string& binderKey, const std::string& searchKey,
                    const std::string& dateKey, int searchBinder) {
    bool wrote = false;
    if (after != before) wrote = ProfileWrite(section, binderKey, after, frame.settingsFile) || wrote;
    if (searchBinder == 0) wrote = ProfileWrite(section, searchKey, 1, frame.settingsFile) || wrote;
    if (stamped) wrote = ProfileWrite(section, dateKey, stamp, frame.settingsFile) || wrote;
    return wrote;
  };
  bool wrote = false;
  const int total = std::min(frame.options.setTotal, static_cast<int>(frame.settings.size()));
  for (int i = 1; i <= total; ++i) {
    const AutoFileSetting& s = frame.settings[static_cast<std::size_t>(i - 1)];
    if (!platform::EqualsNoCase(s.targetBinder, before)) continue;
    const std::string N = std::to_string(i);
    wrote = follow("AutoFileRead", "TarBinder" + N, "SearchBinder" + N, "SetDate" + N, s.searchBinder) || wrote;
  }
  if (wrote) ProfileWrite("Option", "Modified", 1, frame.settingsFile);
  // Sort-folder links that named the binder follow it too, with its stamp
  // in the form the recreated-binder test compares.
  if (frame.sort.read)
    FollowSearchedBinder(frame.settingsFile, frame.sort.settings, before, after,
                         BinderCreationStamp(frame.settingsFile, after));
  bool faxWrote = false;
  for (std::size_t i = 0; i < frame.fax.entries.size(); ++i) {
    const FaxEntry& e = frame.fax.entries[i];
    if (e.importMode == 1 || !platform::EqualsNoCase(e.targetBinder, before)) continue;
    const std::string N = std::to_string(i + 1);
    faxWrote = follow(kFaxSection, "TarBinder" + N, "SearchBinder" + N, "SetDate" + N, e.searchBinder) || faxWrote;
  }
  if (platform::EqualsNoCase(frame.fax.other.targetBinder, before))
    faxWrote =
        follow(kFaxSection, "OtherTarBinder", "OtherSearchBinder", "OtherSetDate", frame.fax.other.searchBinder) ||
        faxWrote;
  if (faxWrote) ProfileWrite("Option", "FaxModified", 1, frame.settingsFile);
  guard.Commit();
}

void StartImportListViewer(WatchFrame& frame) {
  static platform::Process viewer;
  if (viewer.valid() && viewer.IsRunning()) return;
  const std::string exe = Join(platform::ExecutableFolder(), "Quibbin");
  if (platform::IsFile(exe)) viewer = platform::Process::Spawn(exe, {});
  (void)frame;
}

}  // namespace

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

namespace {

// The end of an import, under one environment lock: its in-progress entry
// leaves the lock list, the status the walk runs under goes back into the
// cell and the settings file (except over a stop chosen meanwhile, in the
// cell or the file: a 1 always stays), then `ImportFlag` 0 in the status
// file. Returns the status now in force.
int FinishImport(WatchFrame& frame, const FileJob& job) {
  EnvLockGuard guard(frame.env.folder, {frame.settingsFile, frame.env.status});
  DropInProgressEntry(frame, job.targetFile, job.identity);
  const bool stopInFile = ProfileRead("Option", "MonitorStatus", kStatusOnline, frame.settingsFile) == kStatusStopped;
  int current = kStatusImporting;
  if (!stopInFile && frame.status.compare_exchange_strong(current, job.restoreStatus)) {
    ProfileWrite("Option", "MonitorStatus", job.restoreStatus, frame.settingsFile);
  } else if (stopInFile) {
    frame.status.store(kStatusStopped);
  }
  // Otherwise the window thread changed the cell and writes the file itself.
  ProfileWrite("work", kImportFlag, "0", frame.env.status);
  // No folder sync: a crash that undoes these writes leaves what a crash
  // just before them leaves (the entry in progress is settled at the next
  // start, the status flags are set afresh there), and the next synced
  // replacement of either file carries them to disk.
  guard.Commit(platform::Durability::FolderLater);
  return frame.status.load();
}

}  // namespace

namespace {

// What the insertion of one file gave back.
struct Insertion {
  int result = -1;
  int pages = 0;
  int errorCode = 0;
  char message[1024] = {0};
  char title[DRAVEL_PATH_MAX] = {0};
  char printCopy[DRAVEL_PATH_MAX] = {0};
  char binder[DRAVEL_PATH_MAX] = {0};  // the binder the pages went to
  int secured = 0;                     // the source was a secured PDF
  std::string linkFolder, linkName;
};

// The host name the import's log records carry.
std::string ImportHostName(const AutoFileSetting& s) {
  std::string hostName = MonitorText(kIdsUnknown);
  if (s.workDesk != 1 && !s.linkFolder.empty())
    hostName = ProfileRead("Product", "HostName", hostName, ResultAreaCopyPath(s.linkFolder));
  return hostName;
}

// The tray shows the import (tooltip, blinking icon).
void AnnounceImport(WatchFrame& frame, const FileJob& job) {
  const AutoFileSetting& s = *job.setting;
  WatchShell* shell = frame.shell;
  std::string label = s.setName;
  if (label.empty()) label = job.n > 10000 ? "FAX-" + std::to_string(job.n - 10000) : std::to_string(job.n);
  if (shell) shell->SetTooltip(frame.productName + " - " + StatusWord(kStatusImporting) + ":" + label);
  if (shell && frame.trayShown.load()) {
    if (shell->StartBlink()) {
      for (int i = 0; i < 5; ++i) platform::SleepMs(200);
    } else {
      for (int i = 0; i < 3; ++i) {
        shell->SetIcon(kIconBlink);
        platform::SleepMs(500);
        shell->SetIcon(kIconImporting);
        platform::SleepMs(500);
        if (i == 0 && frame.options.showBalloon != 0)
          shell->ShowBalloon(MonitorText(kIdsBalloonText), MonitorText(kIdsImportStarted), frame.options.timeBalloon);
      }
    }
  }
}

// The insertion into the binder (or onto the work desk).
void InsertFile(WatchFrame& frame, const FileJob& job, const std::string& stamp, Insertion& in) {
  const AutoFileSetting& s = *job.setting;
  int& result = in.result;
  int& pages = in.pages;
  int& errorCode = in.errorCode;
  int& secured = in.secured;
  char* message = in.message;
  char* title = in.title;
  char* printCopy = in.printCopy;
  char* binder = in.binder;
  Copy(binder, s.targetBinder);
  std::string& linkFolder = in.linkFolder;
  std::string& linkName = in.linkName;
  if (IntoPlainFolder(job)) {
    // No binder: no link-folder test, no pages, no result file.
    std::string why;
    result = CopyIntoPlainFolder(job.path, s.targetBinder, why);
    Copy(message, why);
    // Printed like any other import: from a copy of its own, made before
    // the source is moved away.
    if (result == 0 && s.print > 0) Copy(printCopy, MakePrintCopy(job.path));
    frame.imports.fetch_add(1);
  } else if (s.workDesk == 1) {
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
    Copy(printCopy, desk.printCopy);
  } else if (!ResolveLinkFolder(s, linkFolder, linkName)) {
    Copy(message, MonitorText(kIdsSourceNotLibraryRoot));
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
}

// The proof of the import's pages, the searched binder
// written back, the binder's writers waited for.
void AfterInsertion(WatchFrame& frame, const FileJob& job, std::int64_t stampTime, const Insertion& in) {
  const AutoFileSetting& s = *job.setting;
  const int result = in.result;
  const int pages = in.pages;
  const std::string actualBinder = in.binder;
  // From here on a crash leaves proof of which pages are this import's.
  if (result == 0 && s.workDesk != 1 && pages > 0)
    NoteImportedPages(frame, job.targetFile, job.identity, actualBinder, pages, stampTime);
  if (s.workDesk != 1 && !IntoPlainFolder(job) && frame.options.disableSearchBinder == 1 && result == 0)
    WriteBackSearchedBinder(frame, s.targetBinder, actualBinder);

  // Let the binder's writers finish, then the configured pause.
  for (int i = 0; i < frame.options.writeWaitCounter; ++i) {
    if (!platform::Exists(Join(actualBinder, "~Write.Locked"))) break;
    platform::SleepMs(10);
  }
  platform::SleepMs(frame.options.wait);
  frame.lastError = in.message;
}

// The import logs, the result list and the result notice.
void WriteImportLogs(WatchFrame& frame, const FileJob& job, const std::string& hostName, std::int64_t stampTime,
                     const Insertion& in) {
  const AutoFileSetting& s = *job.setting;
  const int result = in.result;
  const int pages = in.pages;
  const int errorCode = in.errorCode;
  const char* message = in.message;
  const char* title = in.title;
  const std::string actualBinder = in.binder;
  const std::string& linkFolder = in.linkFolder;
  const std::string& linkName = in.linkName;
  bool noticeDue = false;
  std::string recipients = ResolveRecipients(frame, s, noticeDue);
  if (IntoPlainFolder(job)) noticeDue = false;
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
    row.destination = s.workDesk == 1 ? MonitorText(kIdsWorkArea) : std::string(title);
    row.errorText = message;
    row.code = errorCode;
    row.pattern = job.restoreStatus == kStatusSortWatch ? kPatternSortFolder
                  : job.n > 10000                       ? kPatternFax
                  : job.n < 0                           ? kPatternFaxOther
                                                        : kPatternTargetFolder;
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
}

// The source checked again, then deleted or moved.
void HandleImportedSource(WatchFrame& frame, const FileJob& job, int result, std::int64_t stampTime) {
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
}

// The end of the import and the tray's notice of it.
void EndImport(WatchFrame& frame, const FileJob& job, int result) {
  WatchShell* shell = frame.shell;
  // End of import.
  const int status = FinishImport(frame, job);
  if (shell) {
    shell->StopBlink();
    shell->SetStatusIcon(status);
    if (frame.options.showBalloon != 0 && result != DRAVEL_INSERT_SKIPPED) {
      // The balloon invites the user to switch notices off; what went wrong
      // with which file is in the logs.
      shell->ShowBalloon(MonitorText(kIdsBalloonText),
                         MonitorText(result == 0 ? kIdsImportSucceeded : kIdsImportFailed), frame.options.timeBalloon);
    }
  }
}

}  // namespace

// Import of one file (steps 1 to 17). Returns the import result.
int ImportOneFile(WatchFrame& frame, FileJob& job) {
  // `ImportFlag` is 1 since the status was claimed.
  const std::string hostName = ImportHostName(*job.setting);
  AnnounceImport(frame, job);
  const std::int64_t stampTime = TakeImportStamp(frame);
  Insertion in;
  InsertFile(frame, job, StampText(stampTime), in);
  AfterInsertion(frame, job, stampTime, in);
  if (in.result == DRAVEL_INSERT_SKIPPED) {
    ZV_WATCH_TRACE("bResult=1. Import Skip.");
  } else {
    WriteImportLogs(frame, job, hostName, stampTime, in);
    HandleImportedSource(frame, job, in.result, stampTime);
    if (in.printCopy[0] != '\0') {
      // The copy is deleted once its data went to the scheduler (or failed to).
      if (in.secured == 0 && frame.print) frame.print(in.printCopy, job.setting->print);
      platform::RemoveFile(in.printCopy);
    }
    platform::SleepMs(frame.options.wait);
  }
  EndImport(frame, job, in.result);
  return in.result;
}

}  // namespace zv::monitor
