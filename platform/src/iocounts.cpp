#include "platform/iocounts.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace zv::platform {

namespace {

std::atomic<std::int64_t> g_acquired{0};
std::atomic<std::int64_t> g_settle{0};
std::atomic<std::int64_t> g_busy{0};
std::atomic<std::int64_t> g_replaced{0};
std::atomic<std::int64_t> g_fsyncs{0};
std::atomic<std::int64_t> g_fsyncMicros{0};
std::atomic<std::int64_t> g_resolutions{0};

struct PerFile {
  std::mutex mutex;
  std::unordered_map<std::string, std::int64_t> counts;
};
PerFile& Files() {
  static PerFile files;
  return files;
}

}  // namespace

IoCounts ReadIoCounts() {
  IoCounts c;
  c.lockAcquisitions = g_acquired.load();
  c.lockSettlePauses = g_settle.load();
  c.lockBusyPolls = g_busy.load();
  c.fileReplacements = g_replaced.load();
  c.fsyncs = g_fsyncs.load();
  c.fsyncMicros = g_fsyncMicros.load();
  c.pathResolutions = g_resolutions.load();
  return c;
}

std::int64_t ReplacementsOf(const std::string& path) {
  PerFile& f = Files();
  std::lock_guard<std::mutex> hold(f.mutex);
  auto it = f.counts.find(path);
  return it == f.counts.end() ? 0 : it->second;
}

namespace detail {
void NoteLockAcquired() { g_acquired.fetch_add(1, std::memory_order_relaxed); }
void NoteLockSettlePause() { g_settle.fetch_add(1, std::memory_order_relaxed); }
void NoteLockBusyPoll() { g_busy.fetch_add(1, std::memory_order_relaxed); }
void NoteFsync(std::int64_t micros) {
  g_fsyncs.fetch_add(1, std::memory_order_relaxed);
  g_fsyncMicros.fetch_add(micros, std::memory_order_relaxed);
}
void NotePathResolution() { g_resolutions.fetch_add(1, std::memory_order_relaxed); }
void NoteReplacement(const std::string& path) {
  g_replaced.fetch_add(1, std::memory_order_relaxed);
  PerFile& f = Files();
  std::lock_guard<std::mutex> hold(f.mutex);
  ++f.counts[path];
}
}  // namespace detail

}  // namespace zv::platform
