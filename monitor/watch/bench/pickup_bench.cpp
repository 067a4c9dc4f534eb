// Pick-up time of the watch engine: checkTimer 0, the shipped WaitLocal and
// pauses, the real clock. A one-page PDF is renamed into the target folder
// at a random moment of the watch cycle; the time until its page is in the
// binder is taken over 20 drops. Reports the median (the goal is under 3 s)
// and how much of it the engine spent in its own pauses.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "bench_clock.h"
#include "binderlib/binderini.h"
#include "monitor/watch/engine.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "support/watch_env.h"
#include "testing/pdf.h"

namespace {

using namespace zv;
using namespace zv::monitor;

constexpr int kDrops = 20;

using bench::Median;
using bench::PauseRecorder;

std::size_t PageCount(const std::string& binder) { return companion::binder::ReadBinder(binder, false).pages.size(); }

void BM_PickUp(benchmark::State& state) {
  for (auto _ : state) {
    test::Installation inst;
    inst.SetOption("TraceLogEnabled", "0");
    platform::ini::ClearCache();
    PauseRecorder clock(platform::GetClock());
    platform::ScopedClock scoped(clock);

    bench::RunningEngine engine(inst.program());
    engine.AwaitFirstCycle();

    std::mt19937 random(12345);
    std::vector<double> total, paused;
    std::map<std::int64_t, int> kinds;
    int missed = 0;
    for (int i = 0; i < kDrops; ++i) {
      // Land anywhere in the cycle.
      std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 1200)(random)));
      const std::string name = "drop" + std::to_string(i) + ".pdf";
      const std::string staged = inst.Path("tmp/" + name);
      zv::testing::MakePdf(staged, 1);
      const std::size_t before = PageCount(inst.binder());
      const std::int64_t from = clock.SteadyMs();
      if (!platform::RenamePath(staged, platform::JoinPath(inst.target(), name), false)) {
        state.SkipWithError("rename into the target folder failed");
        break;
      }
      std::int64_t to = from;
      while (PageCount(inst.binder()) == before) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        to = clock.SteadyMs();
        if (to - from > 30000) break;
      }
      if (to - from > 30000) {
        ++missed;
        continue;
      }
      total.push_back(static_cast<double>(to - from));
      paused.push_back(static_cast<double>(clock.PausedWithin(from, to)));
      clock.CountWithin(from, to, kinds);
      // Let the source handling of this import finish before the next drop.
      while (platform::IsFile(platform::JoinPath(inst.target(), name)))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    engine.watch.Stop();
    if (total.empty()) {
      state.SkipWithError("no drop was filed");
      break;
    }
    const double median = Median(total);
    const double medianPaused = Median(paused);
    state.SetIterationTime(median / 1000.0);
    state.counters["median_ms"] = median;
    state.counters["paused_ms"] = medianPaused;
    state.counters["max_ms"] = *std::max_element(total.begin(), total.end());
    state.counters["missed"] = missed;
    std::printf(
        "pick-up: median %.0f ms over %zu drops (max %.0f ms, %d missed; goal < 3000 ms); "
        "the engine's own pauses: median %.0f ms (%.0f %% of the median)\n",
        median, total.size(), *std::max_element(total.begin(), total.end()), missed, medianPaused,
        100.0 * medianPaused / median);
    bench::PrintPausesByLength("pick-up: pauses per drop by length", kinds, static_cast<double>(total.size()));
  }
}
BENCHMARK(BM_PickUp)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
