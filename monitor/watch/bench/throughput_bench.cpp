// Engine cost with every pause at zero: 200 one-page PDFs in the target
// folder are filed by watch cycles run on a clock whose sleeps take no time.
// Reports files per second and the ratio to running `qpdf --split-pages`
// over the same 200 files, one process per file.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "binderlib/binderini.h"
#include "monitor/watch/engine.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "support/watch_env.h"

namespace {

using namespace zv;
using namespace zv::monitor;

constexpr int kFiles = 200;

bool FilesLeftIn(const std::string& folder) {
  for (const auto& name : test::Names(folder))
    if (platform::IsFile(platform::JoinPath(folder, name))) return true;
  return false;
}

void BM_FileTwoHundredWithoutPauses(benchmark::State& state) {
  for (auto _ : state) {
    test::Installation inst;
    inst.SetOption("TraceLogEnabled", "0");
    platform::ini::ClearCache();
    std::vector<std::string> originals;
    platform::MakeFolders(inst.Path("originals"));
    for (int i = 0; i < kFiles; ++i) {
      const std::string name = "page" + std::to_string(i) + ".pdf";
      const std::string original = inst.Path("originals/" + name);
      test::MakePdf(original, 1);
      platform::CopyFile(original, platform::JoinPath(inst.target(), name), true);
      originals.push_back(original);
    }

    platform::FakeClock clock;
    platform::SetClock(&clock);
    HeadlessShell shell;
    WatchFrame frame;
    InitWatchFrame(frame, inst.program(), &shell);
    frame.trayShown.store(shell.RestoreIcon());
    frame.watching.store(true);

    const auto start = std::chrono::steady_clock::now();
    WatchThreadStart(frame);
    int cycles = 0;
    while (FilesLeftIn(inst.target()) && cycles < 20) {
      WatchCycle(frame);
      ++cycles;
    }
    const double engine = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    platform::SetClock(nullptr);  // qpdf's runs are waited for on the real clock
    const std::size_t filed = companion::binder::ReadBinder(inst.binder(), false).pages.size();
    if (filed != static_cast<std::size_t>(kFiles)) {
      state.SkipWithError(("only " + std::to_string(filed) + " pages filed").c_str());
      break;
    }

    platform::MakeFolders(inst.Path("split"));
    const auto qpdfStart = std::chrono::steady_clock::now();
    int qpdfFailures = 0;  // qpdf exits 3 on warnings; only a failed run counts
    for (int i = 0; i < kFiles; ++i) {
      const std::string out = inst.Path("split/page" + std::to_string(i) + "-%d.pdf");
      const int rc = platform::RunAndWait("qpdf", {"--split-pages", originals[static_cast<std::size_t>(i)], out}, 60000);
      if (rc != 0 && rc != 3) ++qpdfFailures;
    }
    const double qpdf = std::chrono::duration<double>(std::chrono::steady_clock::now() - qpdfStart).count();

    const double rate = kFiles / engine;
    const double qpdfRate = kFiles / qpdf;
    state.SetIterationTime(engine);
    state.counters["files_per_s"] = rate;
    state.counters["qpdf_files_per_s"] = qpdfRate;
    state.counters["ratio_to_qpdf"] = rate / qpdfRate;
    std::printf("no pauses: %d files filed in %.2f s (%d cycles) = %.1f files/s; qpdf --split-pages: %.2f s = "
                "%.1f files/s%s; engine/qpdf rate = %.2f (engine takes %.1fx qpdf's time)\n",
                kFiles, engine, cycles, rate, qpdf, qpdfRate, qpdfFailures ? " (some runs failed)" : "",
                rate / qpdfRate, engine / qpdf);
  }
}
BENCHMARK(BM_FileTwoHundredWithoutPauses)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
