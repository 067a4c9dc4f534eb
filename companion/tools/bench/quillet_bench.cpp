// The view of page 500 of a 1,000-page binder of one file per page: Quillet
// run as the list runs it, until its answer is written (the temporary PDF
// ready and the application started), against
// `qpdf --empty --pages <the 1,000 page files> -- out.pdf`. Medians of
// alternating rounds and the ratio; the target is a ratio of at most 2.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "platform/ini.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/median.h"
#include "testing/pdf.h"

namespace bl = zv::companion::binder;
using Clock = std::chrono::steady_clock;

int main() {
  zv::testing::Installation inst;
  std::string binder;
  if (bl::CreateBinder2(inst.AddCabinet(inst.AddLinkFolder()), {.title = "Big"}, &binder) != bl::kCreateOk) return 1;
  const std::string pdf = inst.Path("pages.pdf");
  zv::testing::MakePdf(pdf, 1000, "p");
  if (bl::AddInfoToBinder(binder, pdf, pdf, 0, bl::kInsertBack, 0) != 0) return 1;
  std::vector<std::string> qpdfArgs = {"--empty", "--pages"};
  for (const auto& p : bl::ReadBinder(binder).pages) qpdfArgs.push_back(p.filePath);
  if (qpdfArgs.size() != 1002) return 1;
  qpdfArgs.insert(qpdfArgs.end(), {"--", inst.Path("out.pdf")});

  auto env = inst.Environment();
  env.push_back("ZORVAN_PDF_VIEWER=/bin/true %p %f");
  env.push_back("XDG_RUNTIME_DIR=" + inst.temp());
  const std::string opFile = inst.program() + "/~ImpView.ini";
  std::vector<double> ours, qpdf;
  for (int round = 0; round < 5; ++round) {
    auto t0 = Clock::now();
    const auto run =
        zv::testing::RunProgram(ZV_QUILLET, {bl::MainPageFilePath(binder, false), "500", "0", opFile}, env);
    ours.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    if (run.exitCode != 0) {
      std::fprintf(stderr, "Quillet failed: %s\n", run.err.c_str());
      return 1;
    }
    t0 = Clock::now();
    if (zv::testing::RunProgram("qpdf", qpdfArgs).exitCode != 0) return 1;
    qpdf.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  const double a = zv::testing::Median(ours), b = zv::testing::Median(qpdf);
  std::printf("view page 500 of a 1000-page multi-file binder (Quillet until its answer): %.1f ms\n", a);
  std::printf("qpdf --empty --pages <1000 page files> -- out.pdf: %.1f ms\n", b);
  std::printf("ratio %.2f (target <= 2)\n", a / b);
  return 0;
}
