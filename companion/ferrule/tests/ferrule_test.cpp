#include <gtest/gtest.h>

#include <cstring>

#include "ferrule/Ferrule.h"
#include "ferrule/plugin.h"
#include "testing/fake_print.h"
#include "testing/files.h"
#include "testing/pdf.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/tiff.h"

namespace zv::companion::ferrule {
namespace {

using testing::TempDir;
namespace print = platform::print;

// Drives the plug-in the way the monitor's print does.
struct Driver {
  Plugin& plugin;
  std::int32_t connection = 0;
  std::int32_t job = 0;

  int Command(int command, void* parameter) {
    FerruleCommandBlock block{1, command, job, 0, parameter};
    return plugin.Call(FERRULE_OP_COMMAND, connection, &block);
  }
  bool Open() {
    FerruleOpenBlock open{};
    if (!plugin.Call(FERRULE_OP_OPEN, 0, &open)) return false;
    connection = open.connection;
    FerruleOutputBlock output{};
    output.index = 1;
    if (open.outputs != 1 || !plugin.Call(FERRULE_OP_OUTPUT, connection, &output) ||
        output.type != FERRULE_OUTPUT_PRINTER)
      return false;
    FerruleJobBlock jobBlock{};
    job = 0;
    if (!Command(FERRULE_CMD_OPEN, &jobBlock)) return false;
    job = jobBlock.job;
    FerruleModeBlock mode{};
    mode.values[1] = 1;
    return Command(FERRULE_CMD_CLEAR, nullptr) && Command(FERRULE_CMD_SET_MODE, &mode);
  }
  // Adds, reads the information, sets the area; the print's status.
  int Print(const std::string& file, const std::string& printer, const std::string& options, FerrulePrintInfo* info) {
    std::int32_t status = -1;
    FerruleAreaBlock area{};
    if (!Command(FERRULE_CMD_ADD_FILE, const_cast<char*>(file.c_str())) ||
        !Command(FERRULE_CMD_GET_PRINT_INFO, &area.info))
      return -2;
    if (info) *info = area.info;
    std::strncpy(area.printer, printer.c_str(), sizeof area.printer - 1);
    area.options = options.c_str();
    area.optionsLength = static_cast<std::int32_t>(options.size());
    if (!Command(FERRULE_CMD_SET_PRINT_AREA, &area)) return -3;
    Command(FERRULE_CMD_PRINT, &status);
    return status;
  }
};

class FerrulePlugin : public ::testing::Test {
 protected:
  TempDir dir;
  testing::ScopedEnv tmp{"TMPDIR", dir / "tmp"};
  testing::RecordingPrintBackend backend;
  Plugin plugin{backend};
  Driver driver{plugin};

  void SetUp() override {
    testing::WriteText(dir / "tmp/.keep", "");
    backend.AddDestination("office", "copies=1");
    backend.AddDestination("desk", "copies=1 media=iso_a4_210x297mm");
    backend.defaultName = "office";
    ASSERT_TRUE(driver.Open());
  }
};

TEST_F(FerrulePlugin, PdfAsItIsImageAsPdfEachOneJobWithExactlyTheGivenOptions) {
  testing::MakePdf(dir / "three.pdf", 3);
  const std::string options = "copies=2 media=iso_a4_210x297mm sides=one-sided";
  FerrulePrintInfo info{};
  EXPECT_EQ(driver.Print(dir / "three.pdf", "desk", options, &info), FERRULE_STATUS_OK);
  EXPECT_EQ(info.pages, 3);
  EXPECT_STREQ(info.kind, "pdf");

  ASSERT_TRUE(testing::MakeGreyTiff(dir / "fax.tif", 200, 280));
  ASSERT_TRUE(driver.Command(FERRULE_CMD_CLEAR, nullptr));
  FerruleModeBlock mode{};
  mode.values[1] = 1;
  ASSERT_TRUE(driver.Command(FERRULE_CMD_SET_MODE, &mode));
  EXPECT_EQ(driver.Print(dir / "fax.tif", "", "", &info), FERRULE_STATUS_OK);
  EXPECT_EQ(info.pages, 1);
  EXPECT_STREQ(info.kind, "image");
  EXPECT_EQ(testing::Names(dir / "tmp").size(), 2u) << "the rendered PDF lives while the job does";
  ASSERT_TRUE(driver.Command(FERRULE_CMD_CLOSE, nullptr));
  EXPECT_EQ(testing::Names(dir / "tmp"), std::vector<std::string>{".keep"}) << "closing removes the rendering";

  const auto jobs = backend.jobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].job.destination, "desk");
  EXPECT_EQ(jobs[0].job.options, options);
  EXPECT_EQ(jobs[0].job.mimeType, "application/pdf");
  EXPECT_EQ(jobs[0].data, testing::ReadText(dir / "three.pdf"));
  EXPECT_EQ(jobs[0].job.title, "three.pdf");
  EXPECT_EQ(jobs[1].job.destination, "office") << "no printer: the default destination";
  EXPECT_EQ(jobs[1].job.options, "");
  testing::WriteText(dir / "rendered.pdf", jobs[1].data);
  EXPECT_EQ(testing::PdfPageCount(dir / "rendered.pdf"), 1);
}

TEST_F(FerrulePlugin, CommandsOutOfOrderAndSchedulerAnswersAreReported) {
  testing::MakePdf(dir / "a.pdf", 1);
  testing::WriteText(dir / "a.xyz", "not a document");
  // The area before any information, printing before the area.
  FerruleAreaBlock area{};
  EXPECT_FALSE(driver.Command(FERRULE_CMD_SET_PRINT_AREA, &area));
  std::int32_t status = -1;
  EXPECT_FALSE(driver.Command(FERRULE_CMD_PRINT, &status));
  EXPECT_EQ(status, FERRULE_STATUS_NO_DOCUMENT);
  EXPECT_FALSE(driver.Command(FERRULE_CMD_ADD_FILE, const_cast<char*>((dir / "missing.pdf").c_str())));

  EXPECT_EQ(driver.Print(dir / "a.xyz", "", "", nullptr), -2) << "nothing renders an unknown type";
  driver.Command(FERRULE_CMD_CLEAR, nullptr);
  FerruleModeBlock mode{};
  driver.Command(FERRULE_CMD_SET_MODE, &mode);
  EXPECT_EQ(driver.Print(dir / "a.pdf", "gone", "", nullptr), FERRULE_STATUS_NO_PRINTER);
  backend.failure = print::Status::TimedOut;
  EXPECT_EQ(driver.Print(dir / "a.pdf", "desk", "", nullptr), FERRULE_STATUS_NO_SCHEDULER);
  EXPECT_TRUE(backend.jobs().empty());

  // A job of a closed connection is gone with it.
  const std::int32_t job = driver.job;
  EXPECT_TRUE(plugin.Call(FERRULE_OP_CLOSE, driver.connection, nullptr));
  FerruleCommandBlock clear{1, FERRULE_CMD_CLEAR, job, 0, nullptr};
  EXPECT_FALSE(plugin.Call(FERRULE_OP_COMMAND, driver.connection, &clear));
}

}  // namespace
}  // namespace zv::companion::ferrule
