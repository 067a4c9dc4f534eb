// The file work of the fax watch: finding documents by mask, moving them
// between the staging and the work folder (lock-list entries travel with
// them), the routing of a document to its setting, and filing into a
// plain folder.
#include <cstdio>

#include "companion/common.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/lock_list.h"
#include "monitor/watch/checks.h"
#include "monitor/watch/fax_watch.h"
#include "monitor/watch/folder_check.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/file_mask.h"
#include "platform/fs.h"
#include "platform/fs_error.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "watch_private.h"

namespace zv::monitor {

namespace {

constexpr int kMaxCounter = 999;

// A file the fax watch may take at all: regular, no link, visible, neither
// read-only, system nor temporary.
bool Takeable(const std::string& path, const platform::DirEntry& e) {
  if (e.isSymlink || e.isFolder || !platform::IsFile(path)) return false;
  return !platform::IsReadOnly(path) && !platform::IsHidden(path) && !platform::IsSystemOrTemporary(path);
}

std::string Numbered(const std::string& name, int counter) {
  const std::string ext = companion::ComFileExtension(name);
  const std::string stem = ext.empty() ? name : companion::ComStripExtension(name);
  char num[8];
  std::snprintf(num, sizeof num, "_%03d", counter);
  return stem + num + (ext.empty() ? "" : "." + ext);
}

// The lock list's entry for `from` now names `to` (identity taken afresh:
// a move across file systems makes a new file). Under the environment lock.
void CarryLockEntry(WatchFrame& frame, const std::string& from, const std::string& to, bool moved) {
  EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
  std::vector<LockListEntry> entries = ReadLockList(frame.settingsFile);
  const int previous = static_cast<int>(entries.size());
  std::vector<LockListEntry> kept;
  for (auto& e : entries) {
    const bool isFrom = platform::EqualsNoCase(e.file, from);
    const bool isTo = platform::EqualsNoCase(e.file, to);
    if (moved && isFrom) continue;  // the file left this path
    if (!moved && isTo) continue;   // the move did not happen: the copy-ahead goes
    if (moved && isTo) e.date = LockListIdentity(to);
    kept.push_back(e);
  }
  WriteLockList(frame.settingsFile, kept, previous);
  guard.Commit();
}

// Moves one file, never replacing; its lock-list entry (one that names
// this very file) is written for the new path before the move and the old
// one dropped after it, so a crash in between never leaves it without one.
bool MoveOne(WatchFrame& frame, const platform::FolderHandle& to, const std::string& from, const std::string& name,
             const std::vector<LockListEntry>& lockList) {
  std::string target = name;
  for (int counter = 1; to.HasEntry(target); ++counter) {
    if (counter > kMaxCounter) return false;
    platform::SleepMs(50);
    target = Numbered(name, counter);
  }
  const int j = FindLockListEntry(lockList, from);
  const bool carry = j >= 0 && lockList[static_cast<std::size_t>(j)].date == LockListIdentity(from);
  const std::string dest = to.PathOf(target);
  if (carry) {
    LockListEntry ahead = lockList[static_cast<std::size_t>(j)];
    ahead.file = dest;
    EnvLockGuard guard(frame.env.folder, {frame.settingsFile});
    AppendLockListEntry(frame.settingsFile, ahead);
    guard.Commit();
  }
  const bool moved = to.MoveFileIn(from, target);
  if (!moved) ZV_WATCH_TRACE("FAXCheck: MoveFile() failed - " + from + " - " + platform::LastFsError().Message());
  if (carry) CarryLockEntry(frame, from, dest, moved);
  return moved;
}

}  // namespace

int FaxOwnerOf(const FaxSettings& fax, const std::string& name) {
  for (std::size_t i = 0; i < fax.entries.size(); ++i) {
    const FaxEntry& e = fax.entries[i];
    if (e.check == 1 && platform::MatchesFileMask(e.targetName, name)) return static_cast<int>(i) + 1;
  }
  return 0;
}

int FaxOwner(WatchFrame& frame, const std::string& name) {
  auto [it, added] = frame.faxOwners.try_emplace(name, 0);
  if (added) it->second = FaxOwnerOf(frame.fax, name);
  return it->second;
}

bool WalkTakesFile(WatchFrame& frame, int n, const AutoFileSetting& setting, int otherFax, const std::string& name) {
  if (otherFax) return FaxOwner(frame, name) == 0;
  // A document belongs to the first enabled setting that matches it: when
  // that one skips it, a later one must not take it.
  if (n > kFaxSettingBase) return FaxOwner(frame, name) == n - kFaxSettingBase;
  return platform::MatchesFileMask(setting.fileMask, name);
}

int CheckFileExists2(WatchFrame& frame, const std::string& folder, int recursive, int depth, std::uint64_t& total,
                     const std::string& mask) {
  const std::string m = mask.empty() ? std::string("*.*") : mask;
  auto entries = platform::ListFolder(folder);
  if (!entries) return 0;
  for (const auto& e : *entries) {
    platform::SleepMs(10);
    const std::string path = platform::JoinPath(folder, e.name);
    if (e.isFolder) {
      if (e.isSymlink) continue;
      if (recursive && depth < frame.options.maxRecursive - 1) {
        if (platform::EqualsNoCase(e.name, "Success") || platform::EqualsNoCase(e.name, "Fail")) continue;
        if (CheckFileExists(frame, path, recursive, total, depth + 1)) return 1;
      } else if (e.name == "$FaxTmp" && CheckFileExists(frame, path, recursive, total, 0)) {
        return 1;
      }
      continue;
    }
    if (!Takeable(path, e) || !platform::MatchesFileMask(m, e.name)) continue;
    total += platform::FileSize(path).value_or(0);
    ZV_WATCH_TRACE("CheckFileExists2: File Exists. Checked Folder - " + folder + " , Found File - " + e.name);
    return 1;
  }
  return 0;
}

int MoveFaxFiles(WatchFrame& frame, const std::string& mask, const std::string& from, const std::string& to,
                 bool probeInUse) {
  if (from.empty()) return 0;
  if (!platform::IsFolder(to) && !platform::MakeFolders(to)) return -1;
  const platform::FolderHandle dest = platform::FolderHandle::Open(to);
  if (!dest.valid()) return -1;
  auto entries = platform::ListFolder(from);
  if (!entries) return -1;
  const std::vector<LockListEntry> lockList = ReadLockList(frame.settingsFile);
  int failed = 0;
  for (const auto& e : *entries) {
    const std::string path = platform::JoinPath(from, e.name);
    if (!Takeable(path, e) || !platform::MatchesFileMask(mask, e.name)) continue;
    // A fax the receiver is still writing stays where it is.
    if (probeInUse && !frame.probe->CanOpenExclusively(path)) {
      SkipFile(frame, kSkipFileLocked, kSkipNoSetting, path, "CheckFolder: Skip - File is in Lock. \n " + path, 0);
      continue;
    }
    if (!MoveOne(frame, dest, path, e.name, lockList)) ++failed;
    frame.probe->Forget(path);
  }
  return failed;
}

int CopyIntoPlainFolder(const std::string& source, const std::string& folder, std::string& message) {
  const platform::FolderHandle dest = platform::FolderHandle::Open(folder);
  if (folder.empty() || !dest.valid()) {
    message = "The folder does not exist - " + folder;
    return -1;
  }
  const std::string name = platform::LastComponent(source);
  for (int counter = 1; counter <= kMaxCounter; ++counter) {
    const std::string candidate = counter == 1 ? name : Numbered(name, counter);
    if (dest.HasEntry(candidate)) continue;
    if (platform::CopyFile(source, dest.PathOf(candidate), false)) return 0;
    if (dest.HasEntry(candidate)) continue;  // taken meanwhile
    message = "Copy failed - " + dest.PathOf(candidate) + " - " + platform::LastFsError().Message();
    return -1;
  }
  message = "No free name in " + folder + " for " + name;
  return -1;
}

}  // namespace zv::monitor
