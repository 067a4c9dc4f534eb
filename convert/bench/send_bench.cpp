// Sending 100 dropped pages (one page file each, as the work desk leaves
// them) to the back of a 1,000-page single-file binder (in-process, the
// binder copied afresh before each run) against qpdf joining the same pages
// as a process: `qpdf --empty --pages binder.pdf drop.pdf -- out.pdf`.
// Prints the median of each and the ratio. The target is at most 2.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "dravel/send.h"
#include "platform/ini.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/median.h"
#include "testing/pdf.h"
#include "testing/undo_data.h"

namespace bl = zv::companion::binder;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {}  // namespace

int main() {
  zv::testing::Installation inst;
  inst.LinkIntoViewer("libPixmoor.so", ZV_PIXMOOR_LIB);
  inst.LinkIntoViewer("A4Hollow.pdf", ZV_A4HOLLOW_PDF);
  const std::string cab = inst.AddCabinet(inst.AddLinkFolder());
  std::string binder;
  if (bl::CreateBinder2(cab, {.title = "Big"}, &binder) != bl::kCreateOk) return 1;
  const std::string ini = bl::BinderIniPath(binder);
  zv::platform::ini::WriteInt(ini, bl::kSecBinderInfo, bl::kKeyFilePageMode, 0);
  zv::platform::ini::WriteInt(ini, bl::kSecBinderInfo, bl::kKeyMaxUploadPage, 2000);
  const std::string pdf = inst.Path("pages.pdf");
  zv::testing::MakePdf(pdf, 1000, "p");
  if (bl::AddInfoToBinder(binder, pdf, pdf, 0, bl::kInsertBack, 0) != 0) return 1;
  std::vector<zv::testing::UndoPage> pages;
  for (int i = 1; i <= 100; ++i) pages.push_back({.text = "d " + std::to_string(i)});
  const std::string undo = zv::testing::WriteUndoData(inst.Path("undo"), pages);
  const std::string drop = inst.Path("drop.pdf");
  zv::testing::MakePdf(drop, 100, "d");
  const std::string copy = cab + "/Work";

  const double ours = zv::testing::MedianOf(5, [&] {
    fs::remove_all(copy);
    fs::create_directory(copy);
    fs::copy_file(binder + "/Big.ini", copy + "/Work.ini");
    fs::copy_file(binder + "/Big.pdf", copy + "/Work.pdf");
    zv::platform::ini::ClearCache();
    bl::ShortLock lock(copy, 10);
    const auto t0 = Clock::now();
    if (zv::dravel::SendPages(nullptr, copy, undo, 100, 1, false) != 0) std::fprintf(stderr, "send failed\n");
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  });
  const std::string in = binder + "/Big.pdf", out = inst.Path("out.pdf");
  const double qpdf = zv::testing::MedianOf(5, [&] {
    const auto t0 = Clock::now();
    zv::testing::RunProgram("qpdf", {"--empty", "--pages", in, drop, "--", out});
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  });
  std::printf("send 100 pages into a 1000-page single-file binder: %.1f ms\n", ours);
  std::printf("qpdf --empty --pages binder.pdf drop.pdf -- out.pdf: %.1f ms\n", qpdf);
  std::printf("ratio %.2f (target <= 2)\n", ours / qpdf);
  return 0;
}
