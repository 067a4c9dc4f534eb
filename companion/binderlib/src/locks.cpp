#include "binderlib/locks.h"

#include "binderlib/format.h"
#include "platform/clock.h"
#include "platform/fs.h"

namespace zv::companion::binder {

ShortLock::ShortLock(const std::string& folder, int timeoutSeconds)
    : folder_(folder), lock_(platform::AcquireShortLockFile(folder, kWriteLocked, timeoutSeconds)) {}

ShortLock& ShortLock::operator=(ShortLock&& other) noexcept {
  if (this != &other) {
    Release();
    folder_ = std::move(other.folder_);
    lock_ = std::move(other.lock_);
  }
  return *this;
}

ShortLock::~ShortLock() { Release(); }

int ShortLock::Release() {
  if (!lock_.valid()) return 0;
  return platform::ReleaseLockFile(lock_, folder_, kWriteLocked);
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    Release();
    lock_ = std::move(other.lock_);
  }
  return *this;
}

FolderLock::~FolderLock() { Release(); }

FolderLock FolderLock::TryOnce(const std::string& folder) {
  FolderLock result;
  // A Folder.Locked that nobody holds was left by a process that died: the
  // lock attempt takes it over (and empties it), which is the removal of the
  // stale file. A held one refuses the attempt.
  result.lock_ = platform::HeldLock::TryAcquire(Join(folder, kFolderLocked), true);
  return result;
}

FolderLock FolderLock::Acquire(const std::string& folder, int attempts, int intervalMs) {
  for (int i = 0; i < attempts; ++i) {
    FolderLock l = TryOnce(folder);
    if (l.held()) return l;
    if (!platform::IsFolder(folder)) break;
    platform::SleepMs(intervalMs);
  }
  return {};
}

bool FolderLock::Release() {
  if (!lock_.valid()) return false;
  const std::string path = lock_.path();
  bool gone = lock_.Release();
  for (int i = 0; i < 10 && !gone; ++i) {
    platform::SleepMs(100);
    gone = platform::RemoveFile(path);
  }
  return gone;
}

OpenState TestBinderOpen(const std::string& binderFolder) {
  const std::string path = Join(binderFolder, kOpenLocked);
  if (!platform::Exists(path)) return OpenState::Free;
  if (platform::IsLockHeld(path)) return OpenState::Open;
  // Stale: the viewer that made it is gone. Remove it, retrying for 10 s.
  for (int i = 0; i <= 10; ++i) {
    if (platform::IsLockHeld(path)) return OpenState::Open;
    if (platform::RemoveFile(path)) return OpenState::Free;
    if (i < 10) platform::SleepMs(1000);
  }
  return OpenState::StaleStuck;
}

platform::HeldLock HoldBinderOpen(const std::string& binderFolder) {
  return platform::HeldLock::TryAcquire(Join(binderFolder, kOpenLocked));
}

bool SendOperationActive(const std::string& binderFolder) {
  // A sender holds ~Write.Lock for its whole run and makes Locked and
  // Conv_Locked only while it holds it; without a holder they are left by a
  // send that died and block nothing.
  return platform::IsLockHeld(Join(binderFolder, kSendWriteLock));
}

bool LockHeld(const std::string& folder, const std::string& name) { return platform::IsLockHeld(Join(folder, name)); }

}  // namespace zv::companion::binder
