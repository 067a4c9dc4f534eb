// Engine cost with every pause at zero: 200 one-page PDFs in the target
// folder are filed by watch cycles run on a clock whose sleeps take no time.
// Reports files per second and the ratio to running `qpdf --split-pages`
// over the same 200 files, one process per file.
// BM_FullSizeSettings files a smaller batch twice, with the test settings
// file and with a full-size one (30 auto-file settings, 1,000 fax settings,
// 2,520 sort-folder links: about 1 MB), and reports the settings-file
// replacements and lock files per import of both: they must not grow with
// the file.
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
#include "platform/iocounts.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "support/watch_env.h"
#include "testing/files.h"
#include "testing/pdf.h"

namespace {

using namespace zv;
using namespace zv::monitor;

constexpr int kFiles = 200;

bool FilesLeftIn(const std::string& folder) {
  for (const auto& name : zv::testing::Names(folder))
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
      zv::testing::MakePdf(original, 1);
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

    const platform::IoCounts ioBefore = platform::ReadIoCounts();
    const auto start = std::chrono::steady_clock::now();
    WatchThreadStart(frame);
    int cycles = 0;
    while (FilesLeftIn(inst.target()) && cycles < 20) {
      WatchCycle(frame);
      ++cycles;
    }
    const double engine = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const platform::IoCounts io = platform::ReadIoCounts();
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
      const int rc =
          platform::RunAndWait("qpdf", {"--split-pages", originals[static_cast<std::size_t>(i)], out}, 60000);
      if (rc != 0 && rc != 3) ++qpdfFailures;
    }
    const double qpdf = std::chrono::duration<double>(std::chrono::steady_clock::now() - qpdfStart).count();

    const double rate = kFiles / engine;
    const double qpdfRate = kFiles / qpdf;
    state.SetIterationTime(engine);
    state.counters["files_per_s"] = rate;
    state.counters["qpdf_files_per_s"] = qpdfRate;
    state.counters["ratio_to_qpdf"] = rate / qpdfRate;
    std::printf(
        "no pauses: %d files filed in %.2f s (%d cycles) = %.1f files/s; qpdf --split-pages: %.2f s = "
        "%.1f files/s%s; engine/qpdf rate = %.2f (engine takes %.1fx qpdf's time)\n",
        kFiles, engine, cycles, rate, qpdf, qpdfRate, qpdfFailures ? " (some runs failed)" : "", rate / qpdfRate,
        engine / qpdf);
    auto per = [&](std::int64_t after, std::int64_t before) { return static_cast<double>(after - before) / kFiles; };
    std::printf(
        "no pauses, per file: %.1f fsyncs taking %.1f ms, %.1f file replacements, %.1f lock files, %.1f ini paths "
        "resolved in full (the machine is shared: rates scatter with its load, the ratio less)\n",
        per(io.fsyncs, ioBefore.fsyncs), per(io.fsyncMicros, ioBefore.fsyncMicros) / 1000.0,
        per(io.fileReplacements, ioBefore.fileReplacements), per(io.lockAcquisitions, ioBefore.lockAcquisitions),
        per(io.pathResolutions, ioBefore.pathResolutions));
    state.counters["fsyncs_per_file"] = per(io.fsyncs, ioBefore.fsyncs);
  }
}
BENCHMARK(BM_FileTwoHundredWithoutPauses)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Makes the installation's settings file full-size: settings 2 to 30
// (disabled), 1,000 fax settings and 2,520 sort-folder links (both watches
// off), written as a settings dialog would have left them.
void MakeFullSizeSettings(const test::Installation& inst) {
  std::string autoKeys;
  for (int n = 2; n <= 30; ++n) {
    const std::string N = std::to_string(n);
    autoKeys += "bCheck" + N + "=0\nSetName" + N + "=\"Scanner " + N + "\"\nTarFolder" + N + "=" +
                inst.Path("scan" + N) + "\nTarBinder" + N + "=" + inst.binder() + "\nInsertPos" + N + "=1\nSetNumber" +
                N + "=" + std::to_string(1000 + n) + "\ncheckTimer" + N + "=0\nSendResult" + N + "=2\nSendUser" + N +
                "count=0\nbRecursive" + N + "=0\nTextInfoFlag" + N + "=0\n";
  }
  std::string fax = "[FaxMonitor]\nEnabled=0\nSetTotal=1000\nSetTotalMax=1000\n";
  for (int n = 1; n <= 1000; ++n) {
    const std::string N = std::to_string(n);
    fax += "bCheck" + N + "=1\nSetNumber" + N + "=" + N + "\nSetName" + N + "=\"Fax line " + N + "\"\nTargetName" + N +
           "=FAX" + N + "_*.tif\nImpMode" + N + "=0\nbWorkDesk" + N + "=0\nTarBinder" + N + "=" + inst.binder() +
           "\nInsertPos" + N + "=1\nPrint" + N + "=0\nSetDate" + N + "=20260101120000\nSendResult" + N +
           "=2\nSendUser" + N + "count=0\nTextInfoFlag" + N + "=0\nSearchBinder" + N + "=0\n";
  }
  std::string sort = "[FolderMonitorSet]\nbEnabled=0\nSetTotal=2520\nSetTotalMax=2520\n";
  for (int n = 1; n <= 2520; ++n) {
    const std::string N = std::to_string(n);
    sort += "TarFolder" + N + "=" + inst.Path("sort/Lib/Cab/B" + N) + "\nTarBinder" + N + "=" + inst.link() +
            "/Lib/Cab/B" + N + "\nSetNumber" + N + "=" + std::to_string(5000 + n) + "\nSetDate" + N +
            "=20260101120000\nDeleteFolderDate" + N + "=20260101\n";
  }
  std::string text = platform::ReadFile(inst.settings()).value_or("");
  const std::size_t header = text.find("[AutoFileRead]");
  const std::size_t lineEnd = header == std::string::npos ? std::string::npos : text.find('\n', header);
  if (lineEnd == std::string::npos) {
    text += "\n[AutoFileRead]\n" + autoKeys;
  } else {
    text.insert(lineEnd + 1, autoKeys);
  }
  text += "\n" + fax + "\n" + sort;
  platform::WriteFileAtomic(inst.settings(), text);
  platform::ini::ClearCache();
  inst.SetAuto("SetTotal", "30");
}

struct FullSizeRun {
  double msPerFile = 0, settingsPerImport = 0, locksPerImport = 0, settlePausesPerImport = 0, fsyncsPerImport = 0;
  std::uint64_t settingsBytes = 0;
  int filed = 0;
};

FullSizeRun FileBatch(bool fullSize, int files) {
  FullSizeRun run;
  test::Installation inst;
  inst.SetOption("TraceLogEnabled", "0");
  if (fullSize) MakeFullSizeSettings(inst);
  platform::ini::ClearCache();
  run.settingsBytes = platform::FileSize(inst.settings()).value_or(0);
  platform::MakeFolders(inst.Path("tmp/batch"));
  for (int i = 0; i < files; ++i) zv::testing::MakePdf(inst.Path("tmp/batch/p" + std::to_string(i) + ".pdf"), 1);

  platform::FakeClock clock;
  platform::SetClock(&clock);
  HeadlessShell shell;
  WatchFrame frame;
  InitWatchFrame(frame, inst.program(), &shell);
  frame.trayShown.store(shell.RestoreIcon());
  frame.watching.store(true);
  WatchThreadStart(frame);
  WatchCycle(frame);  // settles what start-up writes (settings read, flags reset)
  for (int i = 0; i < files; ++i) {
    const std::string name = "p" + std::to_string(i) + ".pdf";
    platform::RenamePath(inst.Path("tmp/batch/" + name), platform::JoinPath(inst.target(), name), false);
  }
  const int importsBefore = frame.imports.load();
  const std::int64_t replacedBefore = platform::ReplacementsOf(inst.settings());
  const platform::IoCounts ioBefore = platform::ReadIoCounts();
  const auto start = std::chrono::steady_clock::now();
  for (int cycles = 0; FilesLeftIn(inst.target()) && cycles < 20; ++cycles) WatchCycle(frame);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  platform::SetClock(nullptr);
  const platform::IoCounts ioAfter = platform::ReadIoCounts();
  const int imports = frame.imports.load() - importsBefore;
  run.filed = static_cast<int>(companion::binder::ReadBinder(inst.binder(), false).pages.size());
  if (imports > 0) {
    run.msPerFile = 1000.0 * seconds / imports;
    run.settingsPerImport = static_cast<double>(platform::ReplacementsOf(inst.settings()) - replacedBefore) / imports;
    run.locksPerImport = static_cast<double>(ioAfter.lockAcquisitions - ioBefore.lockAcquisitions) / imports;
    run.settlePausesPerImport = static_cast<double>(ioAfter.lockSettlePauses - ioBefore.lockSettlePauses) / imports;
    run.fsyncsPerImport = static_cast<double>(ioAfter.fsyncs - ioBefore.fsyncs) / imports;
  }
  return run;
}

void BM_FullSizeSettings(benchmark::State& state) {
  constexpr int kBatch = 20;
  for (auto _ : state) {
    const FullSizeRun small = FileBatch(false, kBatch);
    const FullSizeRun full = FileBatch(true, kBatch);
    if (small.filed != kBatch || full.filed != kBatch) {
      state.SkipWithError("not every document was filed");
      break;
    }
    state.SetIterationTime(full.msPerFile / 1000.0);
    state.counters["small_settings_replacements_per_import"] = small.settingsPerImport;
    state.counters["full_settings_replacements_per_import"] = full.settingsPerImport;
    state.counters["full_ms_per_file"] = full.msPerFile;
    std::printf(
        "settings file %llu bytes: %.1f settings replacements, %.1f lock files (%.1f with the 100 ms "
        "pause), %.1f fsyncs per import, %.1f ms per file without pauses\n",
        static_cast<unsigned long long>(small.settingsBytes), small.settingsPerImport, small.locksPerImport,
        small.settlePausesPerImport, small.fsyncsPerImport, small.msPerFile);
    std::printf(
        "settings file %llu bytes: %.1f settings replacements, %.1f lock files (%.1f with the 100 ms "
        "pause), %.1f fsyncs per import, %.1f ms per file without pauses\n",
        static_cast<unsigned long long>(full.settingsBytes), full.settingsPerImport, full.locksPerImport,
        full.settlePausesPerImport, full.fsyncsPerImport, full.msPerFile);
    std::printf("full-size/test settings: replacements per import %s (%.1f vs %.1f); time per file x%.1f\n",
                full.settingsPerImport == small.settingsPerImport ? "the same" : "DIFFER", full.settingsPerImport,
                small.settingsPerImport, full.msPerFile / small.msPerFile);
  }
}
BENCHMARK(BM_FullSizeSettings)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
