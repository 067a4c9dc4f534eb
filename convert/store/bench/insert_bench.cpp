// Inserting a 100-page PDF into a multi-file binder, against splitting the
// same file with the qpdf command line in the same run.
//
// Durability of the insertion: the page files are written in batches, each
// fsync'ed after the write-back of the whole batch, then the folder once;
// the binder ini is replaced atomically (fsync, rename, folder fsync) once
// at the end. The qpdf command line syncs nothing. The process-to-process
// comparison on a 36-page PDF is convert/bench/pipeline_bench.cpp.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "binderlib/binderlib.h"
#include "platform/fs.h"

namespace fs = std::filesystem;
namespace bl = zv::companion::binder;

namespace {

const std::string kDir = fs::temp_directory_path().string() + "/zv_insert_bench";

std::string SourcePdf() {
  static std::string made;
  if (!made.empty()) return made;
  fs::create_directories(kDir);
  std::string seed;
  for (const char* c : {"/usr/share/doc/shared-mime-info/shared-mime-info-spec.pdf",
                        "/usr/share/doc/libtasn1-doc/libtasn1.pdf", ZV_BENCH_SEED_PDF}) {
    if (fs::exists(c)) {
      seed = c;
      break;
    }
  }
  made = kDir + "/hundred.pdf";
  // Repeat the seed's real pages until 100 pages exist.
  std::string cmd = "qpdf --empty --pages";
  for (int i = 0; i < 100; ++i) cmd += " '" + seed + "' " + std::to_string(i % 4 + 1);
  cmd += " -- '" + made + "' 2>/dev/null";
  if (std::system(cmd.c_str()) != 0 && !fs::exists(made)) std::abort();
  return made;
}

std::string FreshBinder(int n) {
  const std::string cab = kDir + "/Cab" + std::to_string(n);
  fs::remove_all(cab);
  fs::create_directories(cab);
  std::ofstream(cab + "/Folder.ini") << "[BinderInfo]\nNameList=\n";
  std::string binder;
  if (bl::CreateBinder2(cab, {.title = "Bench"}, &binder) != bl::kCreateOk) std::abort();
  return binder;
}

double g_insertSeconds = 0, g_splitSeconds = 0;

void BM_InsertHundredPages(benchmark::State& state) {
  const std::string pdf = SourcePdf();
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string binder = FreshBinder(n++);
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    if (bl::AddInfoToBinder(binder, pdf, pdf, 0, bl::kInsertBack, 0) != 0) {
      state.SkipWithError("insertion failed");
    }
    g_insertSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  g_insertSeconds /= static_cast<double>(state.iterations());
}

void BM_QpdfSplitPages(benchmark::State& state) {
  const std::string pdf = SourcePdf();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(kDir + "/split");
    fs::create_directories(kDir + "/split");
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    const std::string cmd = "qpdf --split-pages '" + pdf + "' '" + kDir + "/split/p.pdf'";
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("qpdf failed");
    g_splitSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  g_splitSeconds /= static_cast<double>(state.iterations());
}

BENCHMARK(BM_InsertHundredPages)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_QpdfSplitPages)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_splitSeconds > 0) {
    std::printf(
        "insert %.1f ms, split %.1f ms, ratio %.2f (in-process against a process); "
        "synced: each page file, the folder once per batch and the binder ini\n",
        g_insertSeconds * 1000, g_splitSeconds * 1000, g_insertSeconds / g_splitSeconds);
  }
  return 0;
}
