// Uncontended HeldLock::TryAcquire + Release on a local folder. The target is
// a median under 100 microseconds.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>

#include "platform/filelock.h"
#include "platform/fs.h"

namespace {

std::string ScratchFolder() {
  const char* base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/zvbench-XXXXXX";
  char* p = mkdtemp(tmpl.data());
  return p ? std::string(p) : std::string();
}

void BM_HeldLockAcquireRelease(benchmark::State& state) {
  const std::string folder = ScratchFolder();
  if (folder.empty()) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string path = folder + "/~WriteEnvSetInfo.Locked";
  for (auto _ : state) {
    zv::platform::HeldLock lock = zv::platform::HeldLock::TryAcquire(path, true);
    if (!lock) {
      state.SkipWithError("lock refused");
      break;
    }
    benchmark::DoNotOptimize(lock.fd());
    lock.Release();
  }
  zv::platform::RemoveTree(folder);
}
BENCHMARK(BM_HeldLockAcquireRelease)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);  // mean, median, stddev of the nine runs

}  // namespace

BENCHMARK_MAIN();
