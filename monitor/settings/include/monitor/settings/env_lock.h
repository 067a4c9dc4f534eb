// The environment lock: "~WriteEnvSetInfo.Locked" in the program folder
// serialises every writer of the settings and status files, in this program
// and in the suite's other programs. The same protocol guards a binder's
// "~Write.Locked".
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/filelock.h"
#include "platform/fs.h"

namespace zv::monitor {

inline constexpr const char* kEnvLockName = "~WriteEnvSetInfo.Locked";
inline constexpr int kEnvLockTimeoutSeconds = 600;

using EnvLockHandle = platform::HeldLock;

// Tries to create "<folder>/<lockName>" held with no sharing, every 100 ms,
// until it succeeds or more whole seconds than timeoutSeconds (60 when not
// positive) have passed; then pauses 100 ms. Returns an invalid handle for an
// empty folder or name, or after giving up: the lock is advisory and callers
// go on with their work either way.
EnvLockHandle AcquireEnvLock(const std::string& folder, const std::string& lockName, int timeoutSeconds);
// Deletes the lock file and closes the handle. 1 when the lock file is gone
// afterwards; 0 for an invalid handle, an empty folder or name, a folder that
// vanished, or a lock file that stayed.
int ReleaseEnvLock(EnvLockHandle& handle, const std::string& folder, const std::string& lockName);

// Holds the environment lock of a folder for its lifetime and opens a write
// group for each file written under it, so each file is replaced once, when
// the guard flushes (at Commit() or destruction), before the lock goes.
class EnvLockGuard {
 public:
  EnvLockGuard(const std::string& folder, std::initializer_list<std::string> files,
               int timeoutSeconds = kEnvLockTimeoutSeconds, const std::string& lockName = kEnvLockName);
  ~EnvLockGuard();
  EnvLockGuard(const EnvLockGuard&) = delete;
  EnvLockGuard& operator=(const EnvLockGuard&) = delete;

  // True when the lock file is held (false after a time-out: the writes go
  // ahead regardless, as every writer does).
  bool locked() const { return handle_.valid(); }
  // Flushes every group and releases the lock. True when every flush
  // succeeded. Idempotent. The files' folder is synced once, after the last
  // replacement; with Durability::FolderLater not at all, for writes that a
  // crash may undo without harm (the next synced replacement of the file
  // carries them to disk too). The status file of the folder (per-run flags,
  // set afresh at every start) is never synced.
  bool Commit(platform::Durability durability = platform::Durability::Synced);

 private:
  std::string folder_;
  std::string lockName_;
  std::vector<std::string> files_;
  EnvLockHandle handle_;
  bool done_ = false;
  bool ok_ = true;
};

}  // namespace zv::monitor
