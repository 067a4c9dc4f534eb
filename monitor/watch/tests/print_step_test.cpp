// The print step of an import: the print copy goes to the printer after the
// filing, is deleted afterwards, and a failed print changes nothing of the
// import.
#include <gtest/gtest.h>

#include "monitor/watch/workdesk.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "support/watch_env.h"
#include "testing/files.h"
#include "testing/pdf.h"

namespace zv::monitor {
namespace {

struct Printed {
  std::string path, data;
  int mode = 0;
};

TEST(WatchPrintStep, PrintCopyIsPrintedThenDeletedWhateverThePrintGaveBack) {
  test::Installation inst;
  test::Engine engine(inst);
  std::vector<Printed> printed;
  bool printWorks = true;
  engine.frame.print = [&](const std::string& copy, int mode) {
    printed.push_back({copy, testing::ReadText(copy), mode});
    return printWorks;
  };
  engine.frame.settings[0].print = 2;
  const std::string source = platform::JoinPath(inst.target(), "a.pdf");
  testing::MakePdf(source, 2);
  const std::string bytes = testing::ReadText(source);
  engine.Cycle();
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_EQ(printed[0].mode, 2);
  EXPECT_EQ(printed[0].data, bytes) << "the whole document was there while it printed";
  EXPECT_NE(printed[0].path, source);
  EXPECT_FALSE(platform::Exists(printed[0].path)) << "the print copy is deleted after the print";
  EXPECT_EQ(test::BinderKeywords(inst.binder()).size(), 2u);

  printWorks = false;
  testing::MakePdf(source, 1);
  engine.Cycle();
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_FALSE(platform::Exists(printed[1].path));
  EXPECT_EQ(test::BinderKeywords(inst.binder()).size(), 3u) << "a failed print never undoes the import";
  EXPECT_EQ(testing::Names(test::DatedFolder(platform::JoinPath(inst.target(), "Success"))),
            (std::vector<std::string>{"a.pdf", "a_002.pdf"}));
}

TEST(WatchPrintStep, WorkDeskImportMakesItsPrintCopyOnlyForAFiledDocument) {
  test::Installation inst;
  platform::FakeClock clock;
  platform::ScopedClock useClock{clock};
  WorkDeskRequest request;
  request.folder = GetWorkDeskFolder();
  request.source = inst.Path("scan/report.pdf");
  request.print = 1;
  testing::MakePdf(request.source, 2);
  WorkDeskOutcome o = ImportToWorkDesk(request);
  ASSERT_EQ(o.result, 0) << o.message;
  ASSERT_FALSE(o.printCopy.empty());
  EXPECT_EQ(testing::ReadText(o.printCopy), testing::ReadText(request.source));

  request.source = inst.Path("scan/notes.txt");
  testing::WriteText(request.source, "words");
  o = ImportToWorkDesk(request);
  EXPECT_EQ(o.result, -1);
  EXPECT_EQ(o.printCopy, "");
  EXPECT_FALSE(platform::Exists(platform::JoinPath(platform::TempFolder(), "Hopvale/notes.txt")));
}

}  // namespace
}  // namespace zv::monitor
