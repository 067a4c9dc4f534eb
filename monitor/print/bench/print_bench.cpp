// PrintFile of a 10-page PDF to the PDF queue with stored settings, until the
// scheduler has accepted the job, against `lp -d <queue> -o <options>` of the
// same file to the same point. Prints the medians and the ratio (target
// <= 1.5). Without the PDF queue (tools/print-scheduler) it says why and ends.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "monitor/print/print_file.h"
#include "platform/fs.h"
#include "testing/fake_print.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/median.h"
#include "testing/pdf.h"

using Clock = std::chrono::steady_clock;
namespace print = zv::platform::print;

namespace {

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

}  // namespace

int main() {
  std::string whyNot;
  const auto queue = zv::testing::FindPdfQueue(whyNot);
  if (!queue) {
    std::printf("print bench skipped: %s\n", whyNot.c_str());
    return 0;
  }
  zv::testing::Installation inst;
  std::filesystem::create_symlink(ZV_FERRULE, inst.program() + "/libFerrule.so");
  const std::string options = "copies=1 media=iso_a4_210x297mm sides=one-sided";
  if (!zv::monitor::StorePrinter(queue->name, options)) return 1;
  const std::string tag = "zvbench" + std::to_string(::getpid());
  const std::string pdf = inst.Path(tag + ".pdf");
  zv::testing::MakePdf(pdf, 10, "page");
  constexpr int kRuns = 9;

  // The first print opens the plug-in connection (once per watch thread).
  const auto first = Clock::now();
  auto plugin = zv::monitor::OutputPlugin::Open(inst.program(), "Hopvale");
  zv::monitor::PrintContext context{plugin.get(), &print::SystemBackend(), "Hopvale", nullptr, nullptr};
  if (zv::monitor::PrintFile(context, pdf, 1) != 1) {
    std::printf("PrintFile failed: see the trace\n");
    return 1;
  }
  const double firstMs = MsSince(first);
  const double ours = zv::testing::MedianOf(kRuns, [&] {
    const auto t0 = Clock::now();
    if (zv::monitor::PrintFile(context, pdf, 1) != 1) std::printf("PrintFile failed\n");
    return MsSince(t0);
  });
  const double lp = zv::testing::MedianOf(kRuns, [&] {
    const auto t0 = Clock::now();
    const auto r = zv::testing::RunProgram("lp", {"-d", queue->name, "-o", options, pdf});
    if (r.exitCode != 0) std::printf("lp failed: %s\n", r.err.c_str());
    return MsSince(t0);
  });
  std::printf("PrintFile, 10-page PDF to %s until accepted: %.1f ms (first, with the plug-in loaded: %.1f ms)\n",
              queue->name.c_str(), ours, firstMs);
  std::printf("lp -d %s -o '%s' of the same file: %.1f ms\n", queue->name.c_str(), options.c_str(), lp);
  std::printf("ratio %.2f (target <= 1.5)\n", ours / lp);

  // The PDFs the queue wrote for the runs are removed again, once it is done
  // (each run writes the same name again).
  zv::testing::WaitForPdfOutput(*queue, tag, 5000);
  std::this_thread::sleep_for(std::chrono::seconds(5));
  for (const std::string& name : zv::testing::Names(queue->outFolder)) {
    if (name.find(tag) != std::string::npos) zv::platform::RemoveFile(queue->outFolder + "/" + name);
  }
  return 0;
}
