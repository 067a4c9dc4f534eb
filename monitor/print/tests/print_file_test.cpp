#include <gtest/gtest.h>

#include "ferrule/Ferrule.h"
#include "monitor/print/print_file.h"
#include "pdfwriter/writer.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "support/print_fixture.h"
#include "testing/fake_print.h"
#include "testing/pdf.h"
#include "testing/scoped_env.h"

namespace zv::monitor {
namespace {

namespace registry = platform::registry;
using testing::ScopedEnv;

// The document's paper: A3 landscape; the printer has it as paper 8.
int A3Landscape(void*, const char*, int* code, int* orientation) {
  *code = 1;
  *orientation = 2;
  return 1;
}
int NoPaper(void*, const char*, int*, int*) { return 0; }
int PrinterPaper(const char*, const char*, unsigned char code, short* size) {
  *size = code == 1 ? 8 : 9;
  return 0;
}

class PrintFileTest : public ::testing::Test {
 protected:
  test::PrintFixture f{ZV_FAKE_FERRULE};
  ScopedEnv log{"ZV_FAKE_FERRULE_LOG", f.inst.Path("plugin.log")};
  ScopedEnv fail{"ZV_FAKE_FERRULE_FAIL"};
  testing::RecordingPrintBackend backend;
  std::unique_ptr<OutputPlugin> plugin;
  PrintContext context;
  std::string doc = f.inst.Path("doc.pdf");

  void SetUp() override {
    fail.Unset();
    testing::MakePdf(doc, 1);
    backend.AddDestination("office", "copies=1");
    backend.AddDestination("desk", "copies=1 sides=two-sided-long-edge");
    backend.defaultName = "office";
    plugin = OutputPlugin::Open(f.inst.program(), "Hopvale");
    ASSERT_TRUE(plugin && plugin->valid());
    context = {plugin.get(), &backend, "Hopvale", &A3Landscape, &PrinterPaper};
  }
  // The plug-in's record since the last call.
  std::vector<std::string> Record() {
    auto lines = testing::Lines(testing::ReadText(f.inst.Path("plugin.log")));
    testing::WriteText(f.inst.Path("plugin.log"), "");
    return lines;
  }
};

TEST_F(PrintFileTest, CommandsInOrderCarryingExactlyTheStoredOptions) {
  EXPECT_EQ(plugin->printerOutput(), 2);
  EXPECT_EQ(Record(), (std::vector<std::string>{"op 10 0", "op 40 7", "op 40 7"}));
  const std::string stored = "copies=2 media=iso_a4_210x297mm sides=one-sided nocollate";
  ASSERT_TRUE(StorePrinter("desk", stored));
  ASSERT_EQ(PrintFile(context, doc, 1), 1);
  const std::vector<std::string> expected = {
      "op 50 7", "cmd 10 job 0",
      "op 50 7", "cmd 50 job 42",
      "op 50 7", "cmd 1020 job 42 mode 0,1",
      "op 50 7", "cmd 60 job 42 file " + doc,
      "op 50 7", "cmd 1110 job 42",
      "op 50 7", "cmd 1120 job 42 printer=desk copies=2 collate=0 options=" + stored,
      "op 50 7", "cmd 30 job 42",
      "op 50 7", "cmd 20 job 42"};
  EXPECT_EQ(Record(), expected);

  // Paper fitted to the document: the job's paper, after the stored one.
  ASSERT_EQ(PrintFile(context, doc, 2), 1);
  EXPECT_EQ(Record()[11], "cmd 1120 job 42 printer=desk copies=2 collate=0 options=" + stored +
                              " media=iso_a3_297x420mm orientation-requested=4");
  context.targetPaperSize = &NoPaper;
  ASSERT_EQ(PrintFile(context, doc, 2), 1);
  EXPECT_EQ(Record()[11], "cmd 1120 job 42 printer=desk copies=2 collate=0 options=" + stored);

  // Nothing stored: the default destination with its own settings.
  ASSERT_TRUE(registry::DeleteValue(registry::Hive::CurrentUser, kPrintSetKey, kDevSizeValue));
  ASSERT_EQ(PrintFile(context, doc, 2), 1);
  EXPECT_EQ(Record()[11], "cmd 1120 job 42 printer= copies=1 collate=1 options=");
  EXPECT_TRUE(backend.jobs().empty()) << "the plug-in submits, not the monitor";

  plugin.reset();
  EXPECT_EQ(Record(), std::vector<std::string>{"op 20 7"});
}

TEST_F(PrintFileTest, FailuresEndTheJobAndTheDefaultDestinationTakesTheDocument) {
  // The stored printer was removed.
  ASSERT_TRUE(StorePrinter("gone", "copies=3"));
  EXPECT_TRUE(PrintImportedFile(context, doc, 1));
  auto lines = Record();
  EXPECT_EQ(lines.back(), "cmd 20 job 42");
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](auto& l) { return l.starts_with("cmd 1120"); }), 0);
  EXPECT_NE(f.Traces().find("PrintFile: Failed - SetPrinterParameter()"), std::string::npos);
  ASSERT_EQ(backend.jobs().size(), 1u);
  EXPECT_EQ(backend.jobs()[0].job.destination, "office");
  EXPECT_EQ(backend.jobs()[0].job.options, "") << "the default printer with its own settings";
  EXPECT_EQ(backend.jobs()[0].data, testing::ReadText(doc));

  // A failing command ends the job; a failing close resets the connection.
  ASSERT_TRUE(StorePrinter("desk", "copies=1"));
  fail.Set("60");
  EXPECT_EQ(PrintFile(context, doc, 1), 0);
  EXPECT_NE(f.Traces().find("PrintFile: Failed - Add Process"), std::string::npos);
  EXPECT_EQ(Record().back(), "cmd 20 job 42");
  fail.Set("20");
  EXPECT_EQ(PrintFile(context, doc, 1), 1);
  EXPECT_EQ(Record().back(), "op 30 7");
  fail.Set("1110");
  EXPECT_EQ(PrintFile(context, doc, 1), 0);
  EXPECT_NE(f.Traces().find("PrintFile: Failed - Get Print Infomation Process"), std::string::npos);
  EXPECT_EQ(PrintFile(context, f.inst.Path("missing.pdf"), 1), 0);
  EXPECT_NE(f.Traces().find("PrintFile: Failed - MyGetStatus()"), std::string::npos);

  // The scheduler does not answer: no second wait on the print verb.
  fail.Set("30");
  ScopedEnv status{"ZV_FAKE_FERRULE_STATUS", std::to_string(FERRULE_STATUS_NO_SCHEDULER)};
  const int callsBefore = backend.calls();
  EXPECT_FALSE(PrintImportedFile(context, doc, 1));
  EXPECT_NE(f.Traces().find("PrintFile: Failed - Print Process"), std::string::npos);
  EXPECT_EQ(backend.calls(), callsBefore + 1) << "only the stored printer was looked up";
  EXPECT_EQ(backend.jobs().size(), 1u);

  // Without the plug-in every print fails at its first command.
  fail.Unset();
  PrintContext none{nullptr, &backend, "Hopvale", nullptr, nullptr};
  EXPECT_TRUE(PrintImportedFile(none, doc, 1));
  EXPECT_NE(f.Traces().find("PrintFile: Failed - Open Process"), std::string::npos);
  EXPECT_EQ(backend.jobs().size(), 2u);
  std::filesystem::remove(f.inst.program() + "/libFerrule.so");
  EXPECT_EQ(OutputPlugin::Open(f.inst.program(), "Hopvale"), nullptr);
}

TEST_F(PrintFileTest, ACorruptStoredBlockCountsAsNothingStored) {
  ASSERT_TRUE(StorePrinter("desk", "copies=2 media=iso_a4_210x297mm"));
  StoredPrinter read = ReadStoredPrinter();
  EXPECT_TRUE(read.stored);
  EXPECT_EQ(read.name, "desk");
  EXPECT_EQ(read.options, "copies=2 media=iso_a4_210x297mm");

  auto set = [](const char* name, const std::string& value) {
    ASSERT_TRUE(registry::SetValue(registry::Hive::CurrentUser, kPrintSetKey, name, value));
  };
  const std::string big(2 * (kMaxPrinterSettingsBytes + 1), 'a');
  const struct {
    std::string size, mode;
  } corrupt[] = {
      {"5", "636f70696573"},                                // 6 bytes, size says 5
      {std::to_string(kMaxPrinterSettingsBytes + 1), big},  // larger than 64 KiB
      {"2", "zz00"},                                        // not hex
      {"2", "6100"},                                        // a zero inside
      {"-3", "636f70"},                                     // not a count
  };
  for (const auto& c : corrupt) {
    set(kDevSizeValue, c.size);
    set(kDevModeValue, c.mode);
    std::string why;
    EXPECT_FALSE(ReadStoredPrinter(&why).stored) << c.size;
    EXPECT_FALSE(why.empty()) << c.size;
    Record();
    ASSERT_EQ(PrintFile(context, doc, 1), 1) << c.size;
    EXPECT_EQ(Record()[11], "cmd 1120 job 42 printer= copies=1 collate=1 options=") << c.size;
  }
  EXPECT_NE(f.Traces().find("PrintFile: the stored printer settings are not used: devsize is larger than 64 KiB"),
            std::string::npos);
}

TEST(ImportPrinterTest, AMissingPlugInIsTriedAgainAfterAMinute) {
  test::PrintFixture f{""};
  ScopedEnv log{"ZV_FAKE_FERRULE_LOG", f.inst.Path("plugin.log")};
  platform::FakeClock clock;
  platform::ScopedClock useClock{clock};
  testing::RecordingPrintBackend backend;
  backend.AddDestination("office");
  backend.defaultName = "office";
  ImportPrinter printer(f.inst.program(), PrintContext{nullptr, &backend, "Hopvale", nullptr, nullptr});
  const std::string doc = f.inst.Path("doc.pdf");
  testing::MakePdf(doc, 1);
  auto pluginPrinted = [&] { return testing::ReadText(f.inst.Path("plugin.log")).find("cmd 30") != std::string::npos; };

  EXPECT_TRUE(printer.Print(doc, 1)) << "the print verb without the plug-in";
  std::filesystem::create_symlink(ZV_FAKE_FERRULE, f.inst.program() + "/libFerrule.so");
  clock.Advance(ImportPrinter::kPluginRetryMs - 1);
  EXPECT_TRUE(printer.Print(doc, 1));
  EXPECT_FALSE(pluginPrinted()) << "not looked for again within the minute";
  EXPECT_EQ(backend.jobs().size(), 2u);
  clock.Advance(1);
  EXPECT_TRUE(printer.Print(doc, 1));
  EXPECT_TRUE(pluginPrinted()) << "installed meanwhile: used from then on";
  EXPECT_EQ(backend.jobs().size(), 2u);
}

TEST(ImportPrinterTest, ThePrintVerbRendersAnOfficeDocumentFirstAndLeavesNothingBehind) {
  if (companion::OfficeProgram().empty()) GTEST_SKIP() << "no office program installed";
  test::PrintFixture f{""};
  testing::RecordingPrintBackend backend;
  backend.AddDestination("office");
  backend.defaultName = "office";
  const std::string doc = f.inst.Path("notes.txt");
  testing::WriteText(doc, "first line\nsecond line\n");
  ASSERT_TRUE(ShellPrint(backend, doc)) << f.Traces();
  ASSERT_EQ(backend.jobs().size(), 1u);
  const auto job = backend.jobs()[0];
  EXPECT_EQ(job.job.mimeType, "application/pdf");
  EXPECT_TRUE(job.data.starts_with("%PDF")) << "rendered, not the text as it is";
  EXPECT_EQ(job.job.title, "notes.txt");
  for (const std::string& name : testing::Names(platform::TempFolder()))
    EXPECT_FALSE(name.starts_with("Ferrule-")) << name << " left behind";
}

}  // namespace
}  // namespace zv::monitor
