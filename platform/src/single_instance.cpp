// One instance per user and program.
#include "platform/single_instance.h"

#include <unistd.h>

#include "platform/paths.h"

namespace zv::platform {

namespace {

std::string BaseName(const std::string& programName) {
  // A program name, not a path: keep only the last component.
  std::string name = LastComponent(programName);
  return name.empty() ? std::string("program") : name;
}

std::string PerUserName(const std::string& programName, const char* suffix) {
  std::string folder = RuntimeFolder();
  if (folder.empty()) return {};
  return JoinPath(folder, BaseName(programName) + "-" + std::to_string(::geteuid()) + suffix);
}

}  // namespace

SingleInstance::SingleInstance(std::string programName)
    : lockPath_(LockPathFor(programName)), socketName_(SocketNameFor(programName)) {
  if (!lockPath_.empty()) lock_ = HeldLock::TryAcquire(lockPath_);
}

std::string SingleInstance::LockPathFor(const std::string& programName) { return PerUserName(programName, ".lock"); }

std::string SingleInstance::SocketNameFor(const std::string& programName) {
  return PerUserName(programName, ".socket");
}

}  // namespace zv::platform
