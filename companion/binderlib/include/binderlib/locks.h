// The store's lock files, each with its protocol, on the platform lock layer.
#pragma once

#include <string>

#include "platform/filelock.h"

namespace zv::companion::binder {

// ~Write.Locked of a folder, taken with the lock-file protocol (100 ms polls
// up to timeoutSeconds; 60 when not positive). Released by the destructor.
class ShortLock {
 public:
  ShortLock() = default;
  ShortLock(const std::string& folder, int timeoutSeconds);
  ShortLock(ShortLock&&) noexcept = default;
  ShortLock& operator=(ShortLock&&) noexcept;
  ShortLock(const ShortLock&) = delete;
  ShortLock& operator=(const ShortLock&) = delete;
  ~ShortLock();
  bool held() const { return lock_.valid(); }
  explicit operator bool() const { return held(); }
  // 1 when the lock file is gone afterwards (see ReleaseLockFile).
  int Release();

 private:
  std::string folder_;
  platform::HeldLock lock_;
};

// Folder.Locked of a cabinet. One attempt: a file that exists but is held by
// nobody is stale (its holder died) and is taken over and emptied; a held
// file fails the attempt.
class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(FolderLock&&) noexcept = default;
  FolderLock& operator=(FolderLock&&) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();

  static FolderLock TryOnce(const std::string& folder);
  // Up to `attempts` tries `intervalMs` apart (600 x 50 ms by default),
  // through the process clock. An invalid result means every try failed.
  static FolderLock Acquire(const std::string& folder, int attempts = 600, int intervalMs = 50);

  bool held() const { return lock_.valid(); }
  explicit operator bool() const { return held(); }
  // Deletes the lock file (up to 10 tries 100 ms apart) and closes.
  bool Release();

 private:
  platform::HeldLock lock_;
};

// The open-binder test on ~Open.Locked.
enum class OpenState {
  Free,       // no ~Open.Locked, or a stale one that was removed
  Open,       // the viewer holds the binder open
  StaleStuck  // a stale file that could not be removed within 10 s
};
OpenState TestBinderOpen(const std::string& binderFolder);

// Marks a binder open as the viewer does (tests, tools): holds ~Open.Locked.
platform::HeldLock HoldBinderOpen(const std::string& binderFolder);

// True while a send operation is changing the binder: its ~Write.Lock is
// held. Locked / Conv_Locked count only while it is (a send that died leaves
// them behind; the next holder of ~Write.Locked removes them).
bool SendOperationActive(const std::string& binderFolder);

// True while <folder>/<name> is held by a live process.
bool LockHeld(const std::string& folder, const std::string& name);

}  // namespace zv::companion::binder
