// A 100-page G4 fax TIFF converted to PDF: our converter against tiff2pdf,
// both run as processes (this program re-runs itself with "--convert" as our
// command-line converter), on the same file in the same run.
// Prints the time ratio (target <= 1.5) and the size ratio (target <= 1.05).
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imagelib/imageio.h"

namespace fs = std::filesystem;

namespace {

std::string g_self, g_dir, g_tiff;
double g_oursSeconds = 0, g_theirsSeconds = 0;
int g_oursRuns = 0, g_theirsRuns = 0;

bool Run(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }

std::string SourcePdf() {
  for (const char* p :
       {"/usr/share/doc/shared-mime-info/shared-mime-info-spec.pdf", "/usr/share/doc/libtasn1-doc/libtasn1.pdf"})
    if (fs::exists(p)) return p;
  for (auto& e : fs::recursive_directory_iterator("/usr/share/doc", fs::directory_options::skip_permission_denied))
    if (e.path().extension() == ".pdf") return e.path().string();
  return {};
}

// pdftoppm -mono pages, each made G4 with ppm2tiff, joined with tiffcp.
bool MakeFaxTiff() {
  const std::string pdf = SourcePdf();
  if (pdf.empty()) return false;
  if (!Run("pdftoppm -mono -r 200 -l 20 '" + pdf + "' '" + g_dir + "/p' 2>/dev/null")) return false;
  std::vector<std::string> pbms;
  for (auto& e : fs::directory_iterator(g_dir))
    if (e.path().extension() == ".pbm") pbms.push_back(e.path().string());
  std::sort(pbms.begin(), pbms.end());
  if (pbms.empty()) return false;
  std::string join = "tiffcp -c g4";
  for (int i = 0; i < 100; ++i) {
    const std::string tif = g_dir + "/g" + std::to_string(i) + ".tif";
    if (!fs::exists(tif) && !Run("ppm2tiff -c g4 -R 200 '" + pbms[i % pbms.size()] + "' '" + tif + "'")) return false;
    join += " '" + tif + "'";
  }
  g_tiff = g_dir + "/fax100.tif";
  return Run(join + " '" + g_tiff + "'");
}

double Timed(const std::string& cmd) {
  const auto t0 = std::chrono::steady_clock::now();
  if (!Run(cmd)) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_OursAsProcess(benchmark::State& state) {
  for (auto _ : state) {
    const double s = Timed("'" + g_self + "' --convert '" + g_tiff + "' '" + g_dir + "/ours.pdf'");
    if (s < 0) state.SkipWithError("our conversion failed");
    g_oursSeconds += s;
    ++g_oursRuns;
    state.SetIterationTime(s);
  }
}

void BM_Tiff2PdfAsProcess(benchmark::State& state) {
  for (auto _ : state) {
    const double s = Timed("tiff2pdf -o '" + g_dir + "/theirs.pdf' '" + g_tiff + "'");
    if (s < 0) state.SkipWithError("tiff2pdf failed");
    g_theirsSeconds += s;
    ++g_theirsRuns;
    state.SetIterationTime(s);
  }
}

}  // namespace

BENCHMARK(BM_OursAsProcess)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tiff2PdfAsProcess)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--convert") {
    const int pages = zv::companion::ConvertImageFileToPdf(argv[2], argv[3]);
    return pages >= 1 ? 0 : 1;
  }
  g_self = fs::canonical("/proc/self/exe").string();
  g_dir = (fs::temp_directory_path() / ("zv_fax_bench_" + std::to_string(::getpid()))).string();
  fs::create_directories(g_dir);
  if (!MakeFaxTiff()) {
    std::fprintf(stderr,
                 "cannot make the fax TIFF (pdftoppm, ppm2tiff, tiffcp and a PDF under /usr/share/doc needed)\n");
    fs::remove_all(g_dir);
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_oursRuns > 0 && g_theirsRuns > 0) {
    const double timeRatio = (g_oursSeconds / g_oursRuns) / (g_theirsSeconds / g_theirsRuns);
    const double sizeRatio = static_cast<double>(fs::file_size(g_dir + "/ours.pdf")) /
                             static_cast<double>(fs::file_size(g_dir + "/theirs.pdf"));
    std::printf("100-page G4 TIFF (%ju bytes), both as processes\n",
                static_cast<std::uintmax_t>(fs::file_size(g_tiff)));
    std::printf("time ratio ours/tiff2pdf: %.3f (target <= 1.5) %s\n", timeRatio, timeRatio <= 1.5 ? "OK" : "MISSED");
    std::printf("size ratio ours/tiff2pdf: %.3f (target <= 1.05) %s\n", sizeRatio, sizeRatio <= 1.05 ? "OK" : "MISSED");
  }
  fs::remove_all(g_dir);
  return 0;
}
