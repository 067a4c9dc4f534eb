// Routing cost of the fax watch: 1,000 fax settings (distinct masks, all
// enabled, the other setting on), 100 one-page fax documents, each owned by
// a different setting spread over the list, filed in one watch cycle. The
// same 100 documents dropped into a target folder and filed by the
// auto-file pass are the reference. Both run on the fake clock, so the
// designed pauses (10 ms per listed entry, 100 ms after each walked
// setting, the waits around every import) cost no time; their asked total
// is printed apart. Goal: fax time per document at most 1.5x the auto-file
// pass's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "binderlib/binderini.h"
#include "companion/trace.h"
#include "monitor/settings/fax_settings.h"
#include "monitor/watch/engine.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "support/watch_env.h"
#include "testing/median.h"
#include "testing/pdf.h"

namespace {

using namespace zv;
using namespace zv::monitor;

constexpr int kSettings = 1000;
constexpr int kDocuments = 100;

std::string Doc(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "F%04d_20261208.pdf", i * 10 + 7);
  return name;
}

struct Run {
  double ms = 0;
  std::int64_t pausedMs = 0;
  std::size_t pages = 0;
};

// One cycle over the documents of `folder` after a warm-up cycle.
Run Measure(test::Installation& inst, const std::string& folder) {
  test::Engine engine(inst);
  companion::TraceSettings quiet;
  companion::SetProcessTraceSettings(quiet);  // no trace lines in either run
  engine.Cycle();                             // start-up work, settings read, daily clean-up
  for (int i = 0; i < kDocuments; ++i) zv::testing::MakePdf(platform::JoinPath(folder, Doc(i)), 1);
  const std::int64_t paused = engine.clock.totalSleptMs();
  const auto t0 = std::chrono::steady_clock::now();
  engine.Cycle();
  Run r;
  r.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  r.pausedMs = engine.clock.totalSleptMs() - paused;
  r.pages = companion::binder::ReadBinder(inst.binder(), false).pages.size();
  return r;
}

Run AutoFileRun() {
  test::Installation inst;
  return Measure(inst, inst.target());
}

Run FaxRun() {
  test::Installation inst;
  const std::string folder = inst.Path("fax");
  platform::MakeFolders(folder);
  inst.SetAuto("bCheck1", "0");
  inst.SetOption("FaxMonitorSet", "1");
  FaxSettings settings;
  settings.enabled = 1;
  settings.targetFolder = folder;
  settings.moveSucceeded = 0;
  settings.moveFailed = 0;
  settings.other.check = 1;
  settings.other.targetBinder = inst.binder();
  settings.entries.resize(kSettings);
  for (int n = 1; n <= kSettings; ++n) {
    char mask[32];
    std::snprintf(mask, sizeof mask, "F%04d_*.pdf", n);
    FaxEntry& e = settings.entries[static_cast<std::size_t>(n - 1)];
    e.check = 1;
    e.setNumber = n;
    e.setName = "Fax " + std::to_string(n);
    e.targetName = mask;
    e.targetBinder = inst.binder();
  }
  // One write group: the file is replaced once.
  platform::ini::BeginGroup(inst.settings());
  WriteFaxSettings(inst.settings(), settings);
  platform::ini::Flush(inst.settings());
  platform::ini::ClearCache();
  return Measure(inst, folder);
}

void BM_FaxRouting(benchmark::State& state) {
  constexpr int kRounds = 3;  // alternated, medians taken: the machine is shared
  for (auto _ : state) {
    std::vector<double> autoMs, faxMs;
    Run autoFile, fax;
    for (int round = 0; round < kRounds; ++round) {
      autoFile = AutoFileRun();
      fax = FaxRun();
      autoMs.push_back(autoFile.ms / kDocuments);
      faxMs.push_back(fax.ms / kDocuments);
    }
    const double perAuto = zv::testing::Median(autoMs), perFax = zv::testing::Median(faxMs);
    state.SetIterationTime((perFax + perAuto) * kDocuments / 1000.0);
    state.counters["fax_ms_per_doc"] = perFax;
    state.counters["auto_ms_per_doc"] = perAuto;
    state.counters["ratio"] = perFax / perAuto;
    std::printf(
        "fax routing: %d settings, %d documents: median %.1f ms per document (pages filed %zu), auto-file pass "
        "on the same documents %.1f ms per document (pages %zu), %d rounds: ratio %.2f (goal at most 1.5)\n",
        kSettings, kDocuments, perFax, fax.pages, perAuto, autoFile.pages, kRounds, perFax / perAuto);
    std::printf("designed pauses asked (not slept, fake clock): fax cycle %.1f s, auto-file cycle %.1f s\n",
                fax.pausedMs / 1000.0, autoFile.pausedMs / 1000.0);
  }
}
BENCHMARK(BM_FaxRouting)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
