// Filing a 100-page G4 fax TIFF into a binder end to end through
// InsertFileToBinder (in-process): image check, conversion to PDF by the
// image library, binder search, insertion. The TIFF is made at bench time
// (pdftoppm -mono pages of a PDF found on the machine, each made G4 with
// ppm2tiff, joined with tiffcp). The fixed pauses of the import are scaled
// away (ZV_TEST_TIMESCALE), so the times are the work itself.
//
// Also: `dravel insert` of a real 36-page PDF into a new binder against
// `qpdf --split-pages` of the same file, both as processes (start included),
// with the ratio and where the insertion's time goes (in-process steps).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "dravel/pipeline.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "store/store.h"
#include "testing/installation.h"
#include "testing/median.h"
#include "testing/scoped_env.h"

namespace fs = std::filesystem;
namespace pf = zv::platform;

namespace {

std::string g_root, g_tiff, g_cabinet;
int g_binders = 0;

bool Run(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }

std::string SourcePdf() {
  for (const char* p :
       {"/usr/share/doc/shared-mime-info/shared-mime-info-spec.pdf", "/usr/share/doc/libtasn1-doc/libtasn1.pdf"})
    if (fs::exists(p)) return p;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator("/usr/share/doc", fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (it->path().extension() == ".pdf") return it->path().string();
  }
  return {};
}

bool MakeFaxTiff(const std::string& dir) {
  const std::string pdf = SourcePdf();
  if (pdf.empty()) return false;
  if (!Run("pdftoppm -mono -r 200 -l 20 '" + pdf + "' '" + dir + "/p' 2>/dev/null")) return false;
  std::vector<std::string> pbms;
  for (auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".pbm") pbms.push_back(e.path().string());
  std::sort(pbms.begin(), pbms.end());
  if (pbms.empty()) return false;
  std::string join = "tiffcp -c g4";
  for (int i = 0; i < 100; ++i) {
    const std::string tif = dir + "/g" + std::to_string(i) + ".tif";
    if (!fs::exists(tif) && !Run("ppm2tiff -c g4 -R 200 '" + pbms[i % pbms.size()] + "' '" + tif + "'")) return false;
    join += " '" + tif + "'";
  }
  g_tiff = dir + "/fax100.tif";
  return Run(join + " '" + g_tiff + "'");
}

// A private installation (the shared test support's) with a store; the
// pauses of the import scaled away for this process and the programs it runs.
std::unique_ptr<zv::testing::Installation> g_installation;
std::unique_ptr<zv::testing::ScopedEnv> g_timescale;

bool Setup() {
  g_installation = std::make_unique<zv::testing::Installation>();
  g_timescale = std::make_unique<zv::testing::ScopedEnv>("ZV_TEST_TIMESCALE", "1000");
  g_root = g_installation->root();
  for (const char* d : {"link", "tiff"}) pf::MakeFolders(g_root + "/" + d);
  g_installation->LinkIntoViewer("libPixmoor.so", ZV_PIXMOOR_LIB);
  g_installation->LinkIntoViewer("libGantry.so", ZV_GANTRY_LIB);
  const auto lib = zv::store::CreateLibrary(g_root + "/link", "Lib");
  if (!lib.ok()) return false;
  const auto cab = zv::store::CreateCabinet(lib.path, "Cab");
  if (!cab.ok()) return false;
  g_cabinet = cab.path;
  return MakeFaxTiff(g_root + "/tiff");
}

std::string NewBinder() {
  zv::companion::binder::BinderDescription d;
  d.title = "Fax" + std::to_string(++g_binders);
  return zv::store::CreateBinder(g_cabinet, d).path;
}

void BM_FileFaxTiffIntoBinder(benchmark::State& state) {
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // A cabinet holds 21 binders: start a fresh binder each time, in a
    // fresh cabinet when needed.
    if (g_binders > 0 && g_binders % 20 == 0) {
      g_cabinet = zv::store::CreateCabinet(pf::ParentFolder(g_cabinet), "Cab" + std::to_string(g_binders)).path;
    }
    char binder[DRAVEL_PATH_MAX] = {};
    std::snprintf(binder, sizeof binder, "%s", NewBinder().c_str());
    char printCopy[DRAVEL_PATH_MAX], message[DRAVEL_PATH_MAX], title[DRAVEL_PATH_MAX];
    int pages = 0, reserved = 0, error = 0, secured = 0;
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    const int r = InsertFileToBinder(nullptr, binder, g_tiff.c_str(), 0, 1, 0, 0, printCopy, 0, &pages, "FAX", 0,
                                     message, &reserved, 2, title, &error, 0, 1, &secured, "", 0);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (r != 0 || pages != 100) {
      state.SkipWithError(("filing failed: " + std::to_string(error) + " " + message).c_str());
      break;
    }
    total += s;
    ++runs;
  }
  if (runs > 0) {
    std::printf("filing a 100-page G4 TIFF into a binder: %.3f s per file (%d runs, in-process)\n", total / runs, runs);
    state.counters["pages_per_s"] = benchmark::Counter(100.0 * runs / total);
  }
}
BENCHMARK(BM_FileFaxTiffIntoBinder)->Iterations(3)->Unit(benchmark::kMillisecond);

// ---- dravel insert against qpdf --split-pages ---------------------------------

// A real PDF of 36 pages found on the machine.
std::string ThirtySixPagePdf() {
  for (const char* p : {"/usr/share/doc/libtasn1-doc/libtasn1.pdf"})
    if (fs::exists(p) && zv::companion::binder::PdfPageCount(p) == 36) return p;
  const std::string seed = SourcePdf();
  if (seed.empty()) return {};
  // Otherwise 36 pages repeated from another one.
  const std::string made = g_root + "/thirtysix.pdf";
  const int n = zv::companion::binder::PdfPageCount(seed);
  if (n < 1) return {};
  std::string cmd = "qpdf --empty --pages";
  for (int i = 0; i < 36; ++i) cmd += " '" + seed + "' " + std::to_string(i % n + 1);
  return Run(cmd + " -- '" + made + "' 2>/dev/null") ? made : std::string();
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

using zv::testing::Median;

// Times of the insertion's steps, in the order they are reported.
std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> g_steps;
void RecordStep(const char* step) { g_steps.emplace_back(step, std::chrono::steady_clock::now()); }

std::string FreshBinder() {
  if (g_binders > 0 && g_binders % 20 == 0) {
    g_cabinet = zv::store::CreateCabinet(pf::ParentFolder(g_cabinet), "Cab" + std::to_string(g_binders)).path;
  }
  return NewBinder();
}

void BM_DravelInsertAgainstQpdfSplit(benchmark::State& state) {
  const std::string pdf = ThirtySixPagePdf();
  if (pdf.empty()) {
    state.SkipWithError("no 36-page PDF");
    return;
  }
  const std::string dravel = ZV_DRAVEL_EXE;
  const std::string split = g_root + "/split";
  std::vector<double> insert, qpdf, start;
  for (auto _ : state) {
    // Alternate the two so both see the same load of the machine.
    const std::string binder = FreshBinder();
    auto t0 = std::chrono::steady_clock::now();
    if (!Run("'" + dravel + "' insert '" + pdf + "' '" + binder + "' >/dev/null")) {
      state.SkipWithError("dravel insert failed");
      return;
    }
    insert.push_back(Seconds(t0, std::chrono::steady_clock::now()));
    pf::RemoveTree(split);
    pf::MakeFolders(split);
    t0 = std::chrono::steady_clock::now();
    if (!Run("qpdf --split-pages '" + pdf + "' '" + split + "/p.pdf'")) {
      state.SkipWithError("qpdf failed");
      return;
    }
    qpdf.push_back(Seconds(t0, std::chrono::steady_clock::now()));
    t0 = std::chrono::steady_clock::now();
    Run("'" + dravel + "' --help >/dev/null");
    start.push_back(Seconds(t0, std::chrono::steady_clock::now()));
  }

  // Where the time goes: the same filing in-process, its steps timed.
  std::map<std::string, std::vector<double>> parts;
  zv::companion::binder::SetInsertStepHook(RecordStep);
  for (int run = 0; run < 5; ++run) {
    char binder[DRAVEL_PATH_MAX] = {};
    std::snprintf(binder, sizeof binder, "%s", FreshBinder().c_str());
    char printCopy[DRAVEL_PATH_MAX], message[DRAVEL_PATH_MAX], title[DRAVEL_PATH_MAX];
    int pages = 0, reserved = 0, error = 0, secured = 0;
    g_steps.clear();
    const auto t0 = std::chrono::steady_clock::now();
    const int r = InsertFileToBinder(nullptr, binder, pdf.c_str(), 0, 0, 0, 0, printCopy, 0, &pages, "", 0, message,
                                     &reserved, 2, title, &error, 0, 1, &secured, "", 0);
    const auto t1 = std::chrono::steady_clock::now();
    if (r != 0) break;
    auto at = [&](const std::string& prefix) {
      for (const auto& [name, t] : g_steps)
        if (name.rfind(prefix, 0) == 0) return t;
      return t1;
    };
    double made = 0, written = 0;
    auto last = at("source-opened");
    for (const auto& [name, t] : g_steps) {
      if (name.rfind("pages-made:", 0) == 0) made += Seconds(last, t);
      if (name.rfind("page-file:", 0) == 0) written += Seconds(last, t);
      if (name.rfind("pages-made:", 0) == 0 || name.rfind("page-file:", 0) == 0) last = t;
    }
    parts["1 before the insertion (security check, work copy, page count, search)"].push_back(
        Seconds(t0, at("locked")));
    parts["2 binder ini read, source parsed"].push_back(Seconds(at("locked"), at("source-opened")));
    parts["3 page files made (qpdf, in memory)"].push_back(made);
    parts["4 page files written and synced, folder synced"].push_back(written);
    parts["5 binder ini replaced"].push_back(Seconds(at("pages-written"), at("ini-written")));
    parts["6 after the insertion (scaled pause, lock wait, clean-up)"].push_back(Seconds(at("ini-written"), t1));
    parts["in-process total"].push_back(Seconds(t0, t1));
  }
  zv::companion::binder::SetInsertStepHook(nullptr);

  const double ins = Median(insert), spl = Median(qpdf);
  std::printf(
      "\n36-page PDF into a new binder, as processes, median of %zu runs (machine load varies):\n"
      "  dravel insert        %7.1f ms\n  qpdf --split-pages   %7.1f ms\n  ratio                %7.2f "
      "(goal <= 1.50)\n  dravel start and exit %6.1f ms (dravel --help)\n",
      insert.size(), ins * 1000, spl * 1000, spl > 0 ? ins / spl : 0.0, Median(start) * 1000);
  std::printf("where the insertion's time goes (in-process, median of %zu):\n", parts["in-process total"].size());
  for (const auto& [name, v] : parts) std::printf("  %-72s %7.1f ms\n", name.c_str(), Median(v) * 1000);
  state.counters["ratio"] = spl > 0 ? ins / spl : 0.0;
}
BENCHMARK(BM_DravelInsertAgainstQpdfSplit)->Iterations(9)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!Setup()) {
    std::fprintf(stderr, "pipeline_bench: cannot make the fax TIFF or the store (pdftoppm, ppm2tiff, tiffcp?)\n");
    return 0;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_timescale.reset();
  g_installation.reset();
  return 0;
}
