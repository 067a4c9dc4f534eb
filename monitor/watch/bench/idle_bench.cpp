// Idle cost of the watch engine: 30 enabled settings, each with an empty
// local target folder checked on every pass, the shipped waits, the real
// clock. Reports the process's CPU time over the idle period as a share of
// one core (the goal is under 1 %). ZV_BENCH_IDLE_SECONDS shortens the
// period (default 60).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "bench_clock.h"
#include "monitor/watch/engine.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "support/watch_env.h"

namespace {

using namespace zv;
using namespace zv::monitor;

constexpr int kSettings = 30;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_IdleThirtyFolders(benchmark::State& state) {
  const char* env = std::getenv("ZV_BENCH_IDLE_SECONDS");
  const int seconds = env != nullptr && std::atoi(env) > 0 ? std::atoi(env) : 60;
  for (auto _ : state) {
    test::Installation inst;
    inst.SetOption("TraceLogEnabled", "0");
    inst.SetAuto("SetTotal", std::to_string(kSettings));
    for (int n = 2; n <= kSettings; ++n) {
      const std::string N = std::to_string(n);
      const std::string folder = inst.Path("scan" + N);
      platform::MakeFolders(folder);
      inst.SetAuto("bCheck" + N, "1");
      inst.SetAuto("TarFolder" + N, folder);
      inst.SetAuto("TarBinder" + N, inst.binder());
      inst.SetAuto("checkTimer" + N, "0");
      inst.SetAuto("SetName" + N, "Scans " + N);
    }
    platform::ini::ClearCache();

    bench::RunningEngine engine(inst.program());
    // Let the start-up work pass before measuring.
    engine.AwaitFirstCycle();

    const int cyclesBefore = engine.frame.cycles.load();
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const int cycles = engine.frame.cycles.load() - cyclesBefore;
    engine.watch.Stop();

    const double percent = 100.0 * cpu / wall;
    state.SetIterationTime(wall);
    state.counters["cpu_percent"] = percent;
    state.counters["cycles"] = cycles;
    std::printf("idle: %d settings, %.1f s: %.3f s CPU = %.3f %% of one core, %d passes (goal < 1 %%)\n", kSettings,
                wall, cpu, percent, cycles);
  }
}
BENCHMARK(BM_IdleThirtyFolders)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
