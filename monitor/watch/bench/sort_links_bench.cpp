// The sort-folder watch over a full link folder mirrored as sort folders
// (6 libraries x 20 cabinets x 21 binders = 2,520 links, all enabled,
// CheckTimer 0), the real clock and the shipped pauses:
//  - the first pass after start: settings-file replacements (goal at most 2)
//    and its time (it runs every link's daily clean-up);
//  - an idle pass, nothing to import (goal under 2 s);
//  - pick-up: a one-page PDF renamed into a random link's folder at a random
//    moment of the cycle, until its page is in that link's binder, over 10
//    drops on the running engine (goal: median under 5 s).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "bench_clock.h"
#include "binderlib/binderini.h"
#include "monitor/settings/sort_links.h"
#include "monitor/watch/engine.h"
#include "monitor/watch/sort_watch.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/iocounts.h"
#include "platform/paths.h"
#include "store/store.h"
#include "support/watch_env.h"
#include "testing/pdf.h"

namespace {

using namespace zv;
using namespace zv::monitor;

constexpr int kLibraries = 6, kCabinets = 20, kBinders = 21;
constexpr int kDrops = 10;

std::string Name(const char* kind, int i) { return std::string(kind) + " " + std::to_string(i); }

// A full link folder beside the installation's own, its mirror below
// "sort", and every mirrored folder linked to its binder. False when the
// store refused to create something.
bool BuildLinks(test::Installation& inst, SortSettings& links) {
  links.enabled = 1;
  links.sortFolder = inst.Path("sort");
  links.linkFolder = inst.AddLinkFolder("Full");
  for (int l = 1; l <= kLibraries; ++l) {
    const auto lib = store::CreateLibrary(links.linkFolder, Name("Library", l));
    if (!lib.ok()) return false;
    for (int c = 1; c <= kCabinets; ++c) {
      const auto cab = store::CreateCabinet(lib.path, Name("Cabinet", c));
      if (!cab.ok()) return false;
      for (int b = 1; b <= kBinders; ++b) {
        companion::binder::BinderDescription d;
        d.title = Name("Binder", b);
        const auto binder = store::CreateBinder(cab.path, d);
        if (!binder.ok()) return false;
        const std::string folder =
            inst.Path("sort/" + Name("Library", l) + "/" + Name("Cabinet", c) + "/" + Name("Binder", b));
        if (!platform::MakeFolders(folder)) return false;
        links.links.push_back({folder, binder.path, 2, "", "", 1});
      }
    }
  }
  return SaveSortSettings(inst.settings(), links);
}

double MsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

std::size_t PageCount(const std::string& binder) { return companion::binder::ReadBinder(binder, false).pages.size(); }

void BM_SortLinks(benchmark::State& state) {
  for (auto _ : state) {
    test::Installation inst;
    inst.SetOption("TraceLogEnabled", "0");
    inst.SetAuto("bCheck1", "0");  // only the links are watched
    SortSettings links;
    const auto built = std::chrono::steady_clock::now();
    if (!BuildLinks(inst, links)) {
      state.SkipWithError("the link folder could not be built");
      break;
    }
    std::printf("sort links: %d binders made, mirrored and linked in %.1f s\n", links.setTotal(),
                MsSince(built) / 1000.0);
    platform::ini::ClearCache();

    bench::PauseRecorder clock(platform::GetClock());
    platform::ScopedClock scoped(clock);

    // The first pass after start and an idle pass, on the watch thread's
    // own steps.
    double firstMs = 0, idleMs = 0, idlePausedMs = 0;
    std::int64_t firstReplacements = 0, idleReplacements = 0;
    {
      HeadlessShell shell;
      WatchFrame frame;
      InitWatchFrame(frame, inst.program(), &shell);
      frame.watching.store(true);
      WatchThreadStart(frame);
      const std::int64_t before = platform::ReplacementsOf(inst.settings());
      auto t = std::chrono::steady_clock::now();
      TakeOverSortSettings(frame);
      SortFolderPass(frame);
      firstMs = MsSince(t);
      firstReplacements = platform::ReplacementsOf(inst.settings()) - before;

      const std::int64_t idleBefore = platform::ReplacementsOf(inst.settings());
      const std::int64_t from = clock.SteadyMs();
      t = std::chrono::steady_clock::now();
      TakeOverSortSettings(frame);
      SortFolderPass(frame);
      idleMs = MsSince(t);
      idlePausedMs = static_cast<double>(clock.PausedWithin(from, clock.SteadyMs()));
      idleReplacements = platform::ReplacementsOf(inst.settings()) - idleBefore;
    }

    // Pick-up on the running engine.
    bench::RunningEngine engine(inst.program());
    engine.AwaitFirstCycle();
    std::mt19937 random(2520);
    std::vector<double> total;
    std::map<std::int64_t, int> kinds;
    int missed = 0;
    for (int i = 0; i < kDrops; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 1500)(random)));
      const SortLink& link =
          links.links[static_cast<std::size_t>(std::uniform_int_distribution<int>(0, links.setTotal() - 1)(random))];
      const std::string name = "drop" + std::to_string(i) + ".pdf";
      const std::string staged = inst.Path("tmp/" + name);
      zv::testing::MakePdf(staged, 1);
      const std::size_t before = PageCount(link.binder);
      const std::int64_t from = clock.SteadyMs();
      if (!platform::RenamePath(staged, platform::JoinPath(link.folder, name), false)) {
        state.SkipWithError("rename into the sort folder failed");
        break;
      }
      std::int64_t to = from;
      while (PageCount(link.binder) == before && to - from <= 60000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        to = clock.SteadyMs();
      }
      if (to - from > 60000) {
        ++missed;
        continue;
      }
      total.push_back(static_cast<double>(to - from));
      clock.CountWithin(from, to, kinds);
      while (platform::IsFile(platform::JoinPath(link.folder, name)))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    engine.watch.Stop();
    if (total.empty()) {
      state.SkipWithError("no drop was filed");
      break;
    }
    const double median = bench::Median(total);
    state.SetIterationTime(median / 1000.0);
    state.counters["first_pass_replacements"] = static_cast<double>(firstReplacements);
    state.counters["idle_pass_ms"] = idleMs;
    state.counters["pickup_median_ms"] = median;
    std::printf("sort links: first pass after start %.0f ms, %lld settings-file replacements (goal <= 2)\n", firstMs,
                static_cast<long long>(firstReplacements));
    std::printf("sort links: idle pass %.0f ms (goal < 2000 ms), of it paused %.0f ms; %lld replacements\n", idleMs,
                idlePausedMs, static_cast<long long>(idleReplacements));
    std::printf("sort links: pick-up median %.0f ms over %zu drops (max %.0f ms, %d missed; goal < 5000 ms)\n", median,
                total.size(), *std::max_element(total.begin(), total.end()), missed);
    bench::PrintPausesByLength("sort links: pick-up pauses per drop by length", kinds,
                               static_cast<double>(total.size()));
  }
}
BENCHMARK(BM_SortLinks)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
