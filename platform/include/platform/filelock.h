// Exclusive access between processes and computers through lock files.
//
// Every lock of the system is an open-file-description lock (fcntl
// F_OFD_SETLK over the whole file): it belongs to the open descriptor,
// vanishes when the holder dies, and travels over NFS and SMB as a byte-range
// lock. Nothing else in the system uses flock or process-owned POSIX locks.
#pragma once

#include <functional>
#include <string>

namespace zv::platform {

// A lock file "held open with no sharing". Move-only; the destructor releases.
class HeldLock {
 public:
  HeldLock() = default;
  HeldLock(HeldLock&& other) noexcept;
  HeldLock& operator=(HeldLock&& other) noexcept;
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  ~HeldLock();

  // One non-blocking attempt: open the file for writing (created when
  // missing), take a whole-file write lock, then check that the path still
  // names the locked inode (retrying a few times when it does not). With
  // truncate the file is emptied once locked. A refused lock is an invalid
  // result, like a failed exclusive create on Windows.
  static HeldLock TryAcquire(const std::string& path, bool truncate = false);

  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }
  const std::string& path() const { return path_; }
  int fd() const { return fd_; }

  // Deletes the file first, then closes the descriptor (the reverse of the
  // Windows order, so no waiter can lock an unlinked inode while a third
  // process locks a new one). True when the file is gone afterwards.
  bool Release();
  // Closes without deleting (for callers that delete on their own schedule).
  void CloseOnly();
  // Deletes the file only while the path still names the locked inode (a
  // file made by a later holder after ours was deleted is left alone); keeps
  // the descriptor. True when our file is no longer at the path.
  bool RemoveFileIfOurs();

 private:
  HeldLock(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  std::string path_;
  int fd_ = -1;
};

// "Created exclusively" (O_CREAT | O_EXCL, mode 0666 & umask): true when this
// call created the file. The file is closed at once; deleting it releases.
bool CreateExclusive(const std::string& path);

// True while another open file description holds a lock on the file (the
// read-share test against a holder: a non-blocking read lock is refused).
// A missing file is not held.
bool IsLockHeld(const std::string& path);

// "Can the file be opened exclusively?" -- is any other process still writing
// or holding it (for example a scanner saving it)?
// On a local file system a write lease is taken and dropped at once (success:
// nobody else has it open). On a network file system, or where the lease is
// refused for lack of rights, the file is in use while another process holds
// a lock on it, or while its size, modification time or change time differ
// between two observations at least two seconds apart on the monotonic clock;
// the first sighting of a file counts as in use. The probe keeps those
// observations, so keep one probe per watcher.
class ExclusiveOpenProbe {
 public:
  ExclusiveOpenProbe();
  ~ExclusiveOpenProbe();
  ExclusiveOpenProbe(const ExclusiveOpenProbe&) = delete;
  ExclusiveOpenProbe& operator=(const ExclusiveOpenProbe&) = delete;

  // True when the file could be opened exclusively now.
  bool CanOpenExclusively(const std::string& path);
  // Forget observations of files that were imported or vanished.
  void Forget(const std::string& path);
  // Test hook: force the stability fallback as on a network file system.
  void ForceStabilityFallback(bool on) { forceFallback_ = on; }

 private:
  struct Impl;
  Impl* impl_;
  bool forceFallback_ = false;
};

// The lock-file protocol of the environment lock ("~WriteEnvSetInfo.Locked"
// in the program folder), which the monitor also uses for a binder's
// "~Write.Locked" when it reads the binder's creation stamp and for the
// viewer's "~Write.Locked":
//  - empty folder or name: no lock (invalid result);
//  - the lock path is the folder (trailing "/" removed) + "/" + name;
//  - try HeldLock::TryAcquire(path, truncate) repeatedly; between tries sleep
//    100 ms and call waitHook (the services' message-pumping wait); give up
//    when more whole seconds than timeoutSeconds (60 when not positive) have
//    passed since the first try;
//  - after success or giving up sleep 100 ms and return (invalid on give-up;
//    callers go on with their work either way).
// All sleeps go through the process clock.
HeldLock AcquireLockFile(const std::string& folder, const std::string& name, int timeoutSeconds,
                         const std::function<void()>& waitHook = {});

// The store's short lock ("~Write.Locked" of a binder, cabinet, library or
// link folder, and any lock taken through the import lock-file export): the
// same attempts, 100 ms apart while the file is held by another, the same
// time-out; but the handle is returned at once, with no pause after the
// attempts. Invalid for an empty folder or name or after giving up.
HeldLock AcquireShortLockFile(const std::string& folder, const std::string& name, int timeoutSeconds);

// Releases a lock taken by AcquireLockFile: nothing for an empty folder or
// name or an invalid lock (result 0). The file is deleted (up to 10 tries,
// 100 ms apart; a folder in its place ends with 0) and then the descriptor is
// closed. Result 1 when the lock file is gone; 0 when the folder itself no
// longer exists or the file stayed.
int ReleaseLockFile(HeldLock& lock, const std::string& folder, const std::string& name);

}  // namespace zv::platform
