// One running instance per user and program: a held lock on a file named after
// the program in $XDG_RUNTIME_DIR (else the per-user temporary folder). The
// first instance listens on a local socket whose name is derived the same way;
// a later instance uses it to pass a request (the Qt side lives in the
// program's ui layer).
#pragma once

#include <string>

#include "platform/filelock.h"

namespace zv::platform {

class SingleInstance {
 public:
  explicit SingleInstance(std::string programName);
  // True when this process is the first instance (it then holds the lock
  // until destruction).
  bool IsFirst() const { return lock_.valid(); }
  // Path of the lock file and name of the local socket for this user.
  const std::string& lockPath() const { return lockPath_; }
  const std::string& socketName() const { return socketName_; }

  static std::string LockPathFor(const std::string& programName);
  static std::string SocketNameFor(const std::string& programName);

 private:
  std::string lockPath_;
  std::string socketName_;
  HeldLock lock_;
};

}  // namespace zv::platform
