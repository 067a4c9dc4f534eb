// The lock list: the sources that could not be moved away and the imports
// in progress, and the settling of imports a crash interrupted.
#include "monitor/watch/folder_check.h"

#include <cstdio>
#include <cstdlib>

#include "binderlib/binderini.h"
#include "folder_check_internal.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/lock_list.h"
#include "monitor/watch/checks.h"
#include "platform/attributes.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

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

int GetLockedFlag(WatchFrame& frame, const std::string& path, int& storedResult, int checkFolder) {
  if (path.empty() || !platform::Exists(path) || platform::IsFolder(path)) return -9;
  std::vector<LockListEntry> entries = ReadLockList(frame.settingsFile);
  const int previousTotal = static_cast<int>(entries.size());
  bool changed = false;
  int decision = 0;
  bool decided = false;
  std::vector<LockListEntry> kept;
  for (auto& e : entries) {
    if (!decided && !e.file.empty() && e.readState > kReadStateInProgress && platform::EqualsNoCase(e.file, path)) {
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

int SetLockFileList(WatchFrame& frame, const std::string& path, int result, int checked, int readState,
                    const std::string& createTime) {
  EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
  const int recorded = SetLockFileListHeld(frame, path, result, checked, readState, createTime);
  guard.Commit();
  return recorded;
}

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

namespace {

// Proof of the pages of imports in progress, noted once their insertion has
// returned: a small file of the monitor's own beside the settings file,
// section [Filed], keys Total and per record File<j>, Date<j> (the lock-list
// identity), Binder<j>, Pages<j> and Stamp<j>. Written durably, so that a
// crash after the insertion never makes the import run twice.
struct FiledNote {
  std::string file, date, binder;
  int pages = -1;
  std::int64_t stamp = -1;
};

constexpr const char* kFiledSection = "Filed";

std::string FiledNotesPath(const WatchFrame& frame) {
  return platform::JoinPath(platform::ParentFolder(frame.settingsFile), "~HopvaleFiled.ini");
}

std::vector<FiledNote> ReadFiledNotes(const WatchFrame& frame) {
  const std::string f = FiledNotesPath(frame);
  std::vector<FiledNote> notes;
  const int total = platform::ini::GetInt(f, kFiledSection, "Total", 0);
  for (int j = 1; j <= total && j <= 1000; ++j) {
    const std::string J = std::to_string(j);
    FiledNote n;
    n.file = platform::ini::GetString(f, kFiledSection, "File" + J);
    n.date = platform::ini::GetString(f, kFiledSection, "Date" + J);
    n.binder = platform::ini::GetString(f, kFiledSection, "Binder" + J);
    n.pages = platform::ini::GetInt(f, kFiledSection, "Pages" + J, -1);
    n.stamp = std::atoll(platform::ini::GetString(f, kFiledSection, "Stamp" + J, "-1").c_str());
    if (!n.file.empty()) notes.push_back(std::move(n));
  }
  return notes;
}

bool WriteFiledNotes(const WatchFrame& frame, const std::vector<FiledNote>& notes) {
  const std::string f = FiledNotesPath(frame);
  platform::ini::WriteGroup group(f);
  bool ok = platform::ini::DeleteSection(f, kFiledSection);
  ok = platform::ini::WriteInt(f, kFiledSection, "Total", static_cast<int>(notes.size())) && ok;
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const std::string J = std::to_string(i + 1);
    ok = platform::ini::WriteString(f, kFiledSection, "File" + J, notes[i].file) && ok;
    ok = platform::ini::WriteString(f, kFiledSection, "Date" + J, notes[i].date) && ok;
    ok = platform::ini::WriteString(f, kFiledSection, "Binder" + J, notes[i].binder) && ok;
    ok = platform::ini::WriteInt(f, kFiledSection, "Pages" + J, notes[i].pages) && ok;
    ok = platform::ini::WriteString(f, kFiledSection, "Stamp" + J, std::to_string(notes[i].stamp)) && ok;
  }
  return group.Commit() && ok;
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
  const std::vector<FiledNote> notes = ReadFiledNotes(frame);
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
    for (const FiledNote& n : notes) {
      // A note older than the entry's claim is an earlier import's.
      if (n.date != e.date || !platform::EqualsNoCase(n.file, e.file) || n.stamp < e.result) continue;
      e.binder = n.binder;
      e.pages = n.pages;
      e.result = static_cast<int>(n.stamp);
    }
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
  // Every entry in progress is settled now: no note is needed any longer.
  if (!notes.empty()) platform::RemoveFile(FiledNotesPath(frame));
  return settled;
}

bool NoteImportedPages(WatchFrame& frame, const std::string& path, const std::string& identity,
                       const std::string& binder, int pages, std::int64_t stamp) {
  const std::vector<LockListEntry> entries = ReadLockList(frame.settingsFile);
  const LockListEntry* mine = nullptr;
  for (const auto& e : entries)
    if (e.readState == kReadStateInProgress && e.date == identity && platform::EqualsNoCase(e.file, path)) mine = &e;
  if (!mine) return false;
  // The monitor's own file: no other program reads or writes it, so it takes
  // no environment lock; the record of an import no longer in progress goes.
  std::vector<FiledNote> notes;
  for (const FiledNote& n : ReadFiledNotes(frame))
    if (!platform::EqualsNoCase(n.file, path) || n.date != identity)
      for (const auto& e : entries)
        if (e.readState == kReadStateInProgress && e.date == n.date && platform::EqualsNoCase(e.file, n.file)) {
          notes.push_back(n);
          break;
        }
  notes.push_back({path, identity, binder, pages, stamp >= 0 ? stamp : static_cast<std::int64_t>(mine->result)});
  return WriteFiledNotes(frame, notes);
}
}  // namespace zv::monitor
