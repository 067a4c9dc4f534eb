#include "monitor/settings/env_lock.h"

#include "monitor/settings/env_files.h"
#include "platform/ini.h"

namespace zv::monitor {

namespace {
// The services' wait between lock polls pumps the caller's messages. Nothing
// here owns a message queue, so it returns at once: the 100 ms pause of the
// protocol is the only wait between tries.
void PumpWait() {}
}  // namespace

EnvLockHandle AcquireEnvLock(const std::string& folder, const std::string& lockName, int timeoutSeconds) {
  return platform::AcquireLockFile(folder, lockName, timeoutSeconds, PumpWait);
}

int ReleaseEnvLock(EnvLockHandle& handle, const std::string& folder, const std::string& lockName) {
  return platform::ReleaseLockFile(handle, folder, lockName);
}

EnvLockGuard::EnvLockGuard(const std::string& folder, std::initializer_list<std::string> files, int timeoutSeconds,
                           const std::string& lockName)
    : folder_(folder), lockName_(lockName) {
  handle_ = AcquireEnvLock(folder_, lockName_, timeoutSeconds);
  for (const std::string& f : files) {
    // A group the caller already has open stays the caller's to flush.
    if (f.empty() || platform::ini::InGroup(f)) continue;
    // A group that cannot be opened leaves the writes committing one by one,
    // which is slower but just as safe.
    if (platform::ini::BeginGroup(f)) files_.push_back(f);
  }
}

EnvLockGuard::~EnvLockGuard() { Commit(); }

bool EnvLockGuard::Commit(platform::Durability durability) {
  if (done_) return ok_;
  done_ = true;
  // The files are replaced in the order given; the synced ones' folder is
  // synced once, after the last of them. The status file holds per-run
  // flags only, set afresh at every start: it is never synced.
  const std::string status = EnvFiles::ForFolder(folder_).status;
  std::vector<std::string> synced;
  auto flushSynced = [&] {
    if (!synced.empty() && !platform::ini::FlushTogether(synced, durability)) ok_ = false;
    synced.clear();
  };
  for (const std::string& f : files_) {
    if (f != status) {
      synced.push_back(f);
      continue;
    }
    flushSynced();
    if (!platform::ini::Flush(f, platform::Durability::None)) ok_ = false;
  }
  flushSynced();
  ReleaseEnvLock(handle_, folder_, lockName_);
  return ok_;
}

}  // namespace zv::monitor
