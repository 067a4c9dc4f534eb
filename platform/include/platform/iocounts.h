// Process-wide counts of lock-file and file-replacement work. Benches read
// them to say how often an import takes a lock, pauses for one, or replaces
// a settings file; nothing in the product decides anything by them.
#pragma once

#include <cstdint>
#include <string>

namespace zv::platform {

struct IoCounts {
  std::int64_t lockAcquisitions = 0;  // lock files taken by AcquireLockFile or AcquireShortLockFile
  std::int64_t lockSettlePauses = 0;  // 100 ms pauses after a lock-file protocol attempt ended
  std::int64_t lockBusyPolls = 0;     // 100 ms pauses while a lock file was held by another
  std::int64_t fileReplacements = 0;  // whole files replaced by WriteFileAtomic
  std::int64_t fsyncs = 0;            // fsync calls of the file functions (files and folders)
  std::int64_t fsyncMicros = 0;       // the time those calls took
  std::int64_t pathResolutions = 0;   // ini file names resolved to the file a write changes
};

IoCounts ReadIoCounts();
// Replacements of one file (as named to WriteFileAtomic) since the process
// started.
std::int64_t ReplacementsOf(const std::string& path);

namespace detail {
void NoteLockAcquired();
void NoteLockSettlePause();
void NoteLockBusyPoll();
void NoteReplacement(const std::string& path);
void NoteFsync(std::int64_t micros);
void NotePathResolution();
}  // namespace detail

}  // namespace zv::platform
