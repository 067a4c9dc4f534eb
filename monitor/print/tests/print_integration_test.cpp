// The real plug-in and the machine's scheduler (its PDF queue), and a
// scheduler that hangs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "monitor/print/print_file.h"
#include "platform/fs.h"
#include "support/print_fixture.h"
#include "testing/fake_print.h"
#include "testing/pdf.h"
#include "testing/scoped_env.h"
#include "testing/tiff.h"

namespace zv::monitor {
namespace {

namespace print = platform::print;
using testing::ScopedEnv;

TEST(PrintIntegration, PdfAndTiffComeOutOfThePdfQueueWithTheirPagesAndTheQueueUnchanged) {
  std::string whyNot;
  const auto queue = testing::FindPdfQueue(whyNot);
  if (!queue) GTEST_SKIP() << whyNot;
  test::PrintFixture f{ZV_FERRULE};
  ScopedEnv home{"HOME", f.inst.Path("home")};
  print::Destination before, after;
  ASSERT_EQ(print::SystemBackend().GetDestination(queue->name, before), print::Status::Ok);
  ASSERT_TRUE(StorePrinter(queue->name, "copies=1 media=iso_a4_210x297mm sides=one-sided"));

  const std::string tag = "zvprint" + std::to_string(::getpid());
  const std::string pdf = f.inst.Path(tag + "three.pdf"), tiff = f.inst.Path(tag + "fax.tif");
  testing::MakePdf(pdf, 3);
  ASSERT_TRUE(testing::MakeGreyTiff(tiff, 1700, 2200, 200));
  ImportPrinter printer(f.inst.program(), PrintContext{nullptr, nullptr, "Hopvale", nullptr, nullptr});
  ASSERT_TRUE(printer.Print(pdf, 1)) << f.Traces();
  ASSERT_TRUE(printer.Print(tiff, 2)) << f.Traces();
  EXPECT_EQ(f.Traces().find("Failed"), std::string::npos) << f.Traces();

  const std::string threeOut = testing::WaitForPdfOutput(*queue, tag + "three");
  const std::string faxOut = testing::WaitForPdfOutput(*queue, tag + "fax");
  ASSERT_FALSE(threeOut.empty()) << "nothing in " << queue->outFolder;
  ASSERT_FALSE(faxOut.empty()) << "nothing in " << queue->outFolder;
  EXPECT_EQ(testing::PdfPageCount(threeOut), 3);
  EXPECT_EQ(testing::PdfPageCount(faxOut), 1);
  platform::RemoveFile(threeOut);
  platform::RemoveFile(faxOut);

  ASSERT_EQ(print::SystemBackend().GetDestination(queue->name, after), print::Status::Ok);
  EXPECT_EQ(after.defaults, before.defaults);
  EXPECT_FALSE(platform::Exists(f.inst.Path("home/.cups/lpoptions")));
}

TEST(PrintIntegration, AHungSchedulerCostsTheTimeLimitOnceAndNoFallback) {
  test::PrintFixture f{ZV_FERRULE};
  testing::SilentScheduler hung;
  ScopedEnv server{"CUPS_SERVER", hung.server()};
  ScopedEnv lpdest{"LPDEST", "somewhere"};  // the default needs no scheduler
  testing::MakePdf(f.inst.Path("doc.pdf"), 1);
  ImportPrinter printer(f.inst.program(), PrintContext{nullptr, nullptr, "Hopvale", nullptr, nullptr});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(printer.Print(f.inst.Path("doc.pdf"), 1));
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LE(seconds, 12) << "one call's limit (10 s), not two";
  EXPECT_NE(f.Traces().find("PrintFile: Failed - Print Process"), std::string::npos) << f.Traces();
  EXPECT_NE(f.Traces().find("the scheduler does not answer"), std::string::npos) << f.Traces();
}

}  // namespace
}  // namespace zv::monitor
