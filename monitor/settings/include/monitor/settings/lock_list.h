// The lock list, section [FileLockList] of the settings file: files that
// were imported but could not be moved or deleted afterwards, so that they
// are never imported twice.
#pragma once

#include <string>
#include <vector>

namespace zv::monitor {

inline constexpr const char* kLockListSection = "FileLockList";

// ReadState<j> of an entry.
enum LockListReadState : int {
  kReadStateInProgress = 1,  // the import is under way (its pages may be in)
  kReadStateDone = 3,        // imported; the source awaits moving or deleting
};

struct LockListEntry {
  std::string file;  // full path
  std::string date;  // the file's creation time, decimal seconds (<= 23 characters)
  int result = -9;   // the import result
  int readState = kReadStateDone;
  // An import in progress, once its pages are in: the binder that took them
  // and their number (keys Binder<j> and Pages<j>; readers that do not know
  // them pass over them). Empty and -1 when not known.
  std::string binder;
  int pages = -1;
};

// Entries 1 to SetTotal, in order (entries without a file are kept, so the
// numbering stays as in the file).
std::vector<LockListEntry> ReadLockList(const std::string& settingsFile);
// Index (0-based) of the first entry whose file equals `path` ignoring ASCII
// case, or -1.
int FindLockListEntry(const std::vector<LockListEntry>& entries, const std::string& path);

// Rewrites the whole list: entries renumbered from 1, the keys of numbers
// above them removed, SetTotal set to the new count. The caller holds the
// environment lock.
bool WriteLockList(const std::string& settingsFile, const std::vector<LockListEntry>& entries, int previousTotal);
// Appends one entry (SetTotal raised by one first). The caller holds the lock.
bool AppendLockListEntry(const std::string& settingsFile, const LockListEntry& entry);
// Rewrites Result<j> and ReadState<j> of entry j (1-based).
bool UpdateLockListEntry(const std::string& settingsFile, int j, int result, int readState);

}  // namespace zv::monitor
