// Deleting pages 3-4 of a 1,000-page single-file binder (in-process, the
// binder copied afresh before each run) against the same cut by qpdf as a
// process: `qpdf in.pdf --pages in.pdf 1-2,5-z -- out.pdf`. Prints the
// median of each and the ratio. The target is a ratio of at most 2.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "keywordpage/keywordpage.h"
#include "platform/ini.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/median.h"
#include "testing/pdf.h"

namespace bl = zv::companion::binder;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Time of each step of the last deletion.
std::vector<std::pair<std::string, Clock::time_point>> g_steps;
void OnStep(const char* step) { g_steps.emplace_back(step, Clock::now()); }

}  // namespace

int main() {
  zv::testing::Installation inst;
  const std::string cab = inst.AddCabinet(inst.AddLinkFolder());
  std::string binder;
  if (bl::CreateBinder2(cab, {.title = "Big"}, &binder) != bl::kCreateOk) return 1;
  zv::platform::ini::WriteInt(bl::BinderIniPath(binder), bl::kSecBinderInfo, bl::kKeyFilePageMode, 0);
  const std::string pdf = inst.Path("pages.pdf");
  zv::testing::MakePdf(pdf, 1000, "p");
  if (bl::AddInfoToBinder(binder, pdf, pdf, 0, bl::kInsertBack, 0) != 0) return 1;
  const std::string copy = cab + "/Work";
  zv::keywordpage::SetDeleteStepHook(OnStep);
  const std::string main = bl::MainPageFilePath(copy, false);

  const double ours = zv::testing::MedianOf(5, [&] {
    fs::remove_all(copy);
    fs::create_directory(copy);
    fs::copy_file(binder + "/Big.ini", copy + "/Work.ini");
    fs::copy_file(binder + "/Big.pdf", copy + "/Work.pdf");
    zv::platform::ini::ClearCache();
    g_steps.clear();
    const auto t0 = Clock::now();
    g_steps.emplace_back("start", t0);
    if (zv::keywordpage::DeletePages(main, 3, 4, false) != 0) std::fprintf(stderr, "deletion failed\n");
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  });
  const std::string in = binder + "/Big.pdf", out = inst.Path("out.pdf");
  const double qpdf = zv::testing::MedianOf(5, [&] {
    const auto t0 = Clock::now();
    zv::testing::RunProgram("qpdf", {in, "--pages", in, "1-2,5-z", "--", out});
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  });
  std::printf("delete 2 of 1000 pages, single-file binder: %.1f ms\n", ours);
  std::printf("qpdf in.pdf --pages in.pdf 1-2,5-z -- out.pdf: %.1f ms\n", qpdf);
  std::printf("ratio %.2f (target <= 2)\n", ours / qpdf);
  std::printf("steps of the last deletion:");
  for (std::size_t i = 1; i < g_steps.size(); ++i)
    std::printf(" %s %.1f ms", g_steps[i].first.c_str(),
                std::chrono::duration<double, std::milli>(g_steps[i].second - g_steps[i - 1].second).count());
  std::printf("\n");
  return 0;
}
