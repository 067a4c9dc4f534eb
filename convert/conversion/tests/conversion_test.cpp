// The converter against a simulated writer: the request it writes, the
// names it reads back, the result convention and its time limits (on a fake
// clock), and one job per machine across processes.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "companion/services.h"
#include "companion/strings.h"
#include "conversion/convert_pdf.h"
#include "pdfwriter/writer.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "testing/installation.h"
#include "testing/scoped_env.h"

namespace co = zv::companion;
namespace pf = zv::platform;
namespace ini = zv::platform::ini;
using zv::dravel::ConversionResult;
using zv::dravel::ConvertToPdf;

namespace {

// Fake time that still lets real child processes make progress.
// Fake time that runs a thousand times as fast as real time, so the writer
// process (real) gets a share of real time in proportion to the fake pauses:
// a slow machine stretches how long it takes to start and end, not the
// test's verdict.
class SlowFakeClock : public pf::FakeClock {
 public:
  void SleepMs(std::int64_t ms) override {
    pf::FakeClock::SleepMs(ms);
    std::this_thread::sleep_for(std::chrono::microseconds(ms));
  }
};

bool ProcessGone(const std::string& pid) {
  auto stat = pf::ReadFile("/proc/" + pid + "/stat");
  if (!stat) return true;
  const auto close = stat->rfind(')');
  return close != std::string::npos && close + 2 < stat->size() && (*stat)[close + 2] == 'Z';
}

class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& f : {writer_, work_}) ASSERT_TRUE(pf::MakeFolders(f));
    ASSERT_TRUE(pf::CopyFile(ZV_WRITER_TEMPLATE, pf::JoinPath(writer_, co::kWriterTemplateName), false));
    Register(pf::JoinPath(ZV_TEST_TOOLS_DIR, "conversion_fake_writer"));
    Mode("files:1");
    settings_ = co::WriterSettingsPath(writer_);
  }

  void Register(const std::string& program) {
    ASSERT_TRUE(ini::WriteString(registry_, co::kWriterAppPathsKey, "@", program));
    ASSERT_TRUE(ini::WriteString(registry_, co::kWriterAppPathsKey, "Path", writer_));
  }
  // The writer the converter starts reads its part from the variable.
  void Mode(const char* mode) { mode_.Set(mode); }
  std::string Source(const std::string& name) {
    const std::string path = pf::JoinPath(root_, name);
    EXPECT_TRUE(pf::WriteFileAtomic(path, "content\n"));
    return path;
  }
  std::string Seen(const char* section, const char* key) {
    return ini::GetString(settings_ + ".seen", section, key, "<missing>");
  }

  zv::testing::Installation inst_;
  zv::testing::ScopedEnv mode_{"FAKE_WRITER_MODE"}, office_{co::kOfficeProgramVar, nullptr};
  const std::string root_ = inst_.root(), writer_ = inst_.Path("writer"), work_ = inst_.Path("work");
  const std::string program_ = inst_.program(), temp_ = inst_.temp(), registry_ = inst_.machineRegistry();
  std::string settings_;
};

TEST_F(ConversionTest, TypesWithoutPrintCommandAreRefusedBeforeAnythingRuns) {
  ConversionResult r;
  EXPECT_EQ(ConvertToPdf(Source("tool.exe"), work_, 0, r), -1);
  EXPECT_EQ(r.errorCode, zv::dravel::kConvertNoPrintCommand);
  EXPECT_EQ(zv::dravel::ConversionMessageId(r.errorCode), 39);
  EXPECT_EQ(ConvertToPdf(Source("noextension"), work_, 0, r), -1);
  EXPECT_EQ(r.errorCode, 310100);

  // An office type without an office program has no print command either.
  office_.Set("/nonexistent/soffice");
  EXPECT_EQ(ConvertToPdf(Source("letter.docx"), work_, 0, r), -1);
  EXPECT_EQ(r.errorCode, 310100);
  EXPECT_FALSE(pf::Exists(settings_ + ".seen"));
  // PDF needs none.
  EXPECT_EQ(ConvertToPdf(Source("scan.pdf"), work_, 0, r), 0) << r.errorCode;
}

TEST_F(ConversionTest, RequestIsWrittenBeforeTheJobFromTheTemplate) {
  ASSERT_FALSE(pf::Exists(settings_));
  ConversionResult r;
  const std::string source = Source("report.final.docx");
  ASSERT_EQ(ConvertToPdf(source, work_, 0, r), 0) << r.errorCode;
  EXPECT_EQ(Seen("DlgFlag", "DlgFlag"), "1");
  EXPECT_EQ(Seen("Direct", "increment"), "1");
  EXPECT_EQ(Seen("Direct", "keta"), "4");
  EXPECT_EQ(Seen("Direct", "OutFolder"), work_);
  EXPECT_EQ(Seen("Direct", "overwrite"), "1");
  EXPECT_EQ(Seen("Direct", "PgdTypeID"), "50");
  EXPECT_EQ(Seen("Direct", "save_seq"), "0");
  EXPECT_EQ(Seen("Direct", "start_num"), "1");
  EXPECT_EQ(Seen("Direct", "OutName"), "report.final");
  EXPECT_EQ(Seen("Direct", "MOPgnID"), "0");
  EXPECT_EQ(Seen("Direct", "TempFolder"), temp_);
  EXPECT_EQ(Seen("Direct", "Result"), "-9");
  EXPECT_EQ(pf::ReadFile(settings_ + ".doc").value_or(""), source);
  // The writer's own key from the template survives the request.
  EXPECT_EQ(ini::GetString(settings_, "Orrindel", "TimeLimit", ""), "570");

  // The next request overwrites the last one's keys; a page type is passed on.
  ASSERT_EQ(ConvertToPdf(Source("other.xlsx"), work_, 8, r), 0) << r.errorCode;
  EXPECT_EQ(Seen("Direct", "PgdTypeID"), "8");
  EXPECT_EQ(Seen("Direct", "OutName"), "other");
  EXPECT_EQ(Seen("Direct", "Result"), "-9");
}

// The viewer's printer settings reach the printer's device mode for the job
// only; the user's own device mode is put back afterwards.
TEST_F(ConversionTest, ViewerResolutionAndColourModeAreTheJobsDeviceMode) {
  const std::string env = inst_.viewerSettings();
  ASSERT_TRUE(ini::WriteString(env, "EnvSetting", "DPIValue", "150"));
  ASSERT_TRUE(ini::WriteString(env, "EnvSetting", "ColorMode", "1"));
  ConversionResult r;
  ASSERT_EQ(ConvertToPdf(Source("a.docx"), work_, 0, r), 0) << r.errorCode;
  EXPECT_EQ(Seen(co::kDevModeSection, co::kDevModePrintQuality), "150");
  EXPECT_EQ(Seen(co::kDevModeSection, co::kDevModeColor), "1");
  const co::WriterRequest seen = co::ReadWriterRequest(settings_ + ".seen");
  EXPECT_EQ(seen.printQuality, 150);
  EXPECT_TRUE(seen.monochrome);
  EXPECT_EQ(ini::GetString(settings_, co::kDevModeSection, co::kDevModePrintQuality, "<missing>"), "<missing>");

  // The user's own device mode stays; keys the viewer does not set are the
  // writer's defaults for the job.
  ASSERT_TRUE(ini::WriteString(settings_, co::kDevModeSection, co::kDevModeColor, "2"));
  ASSERT_TRUE(ini::DeleteKey(env, "EnvSetting", "ColorMode"));
  ASSERT_EQ(ConvertToPdf(Source("b.docx"), work_, 0, r), 0) << r.errorCode;
  EXPECT_EQ(Seen(co::kDevModeSection, co::kDevModeColor), "<missing>");
  EXPECT_FALSE(co::ReadWriterRequest(settings_ + ".seen").monochrome);
  EXPECT_EQ(ini::GetString(settings_, co::kDevModeSection, co::kDevModeColor, ""), "2");
}

TEST_F(ConversionTest, MissingTemplateOrWriterFailsWithoutPrinting) {
  ASSERT_TRUE(pf::RemoveFile(pf::JoinPath(writer_, co::kWriterTemplateName)));
  ConversionResult r;
  EXPECT_EQ(ConvertToPdf(Source("a.txt"), work_, 0, r), -1);
  EXPECT_EQ(r.errorCode, zv::dravel::kConvertEngineError);
  EXPECT_FALSE(pf::Exists(settings_ + ".seen"));

  Register(pf::JoinPath(root_, "no-such-writer"));
  EXPECT_EQ(ConvertToPdf(Source("a.txt"), work_, 0, r), -1);
  EXPECT_EQ(r.errorCode, 310500);
  EXPECT_EQ(zv::dravel::ConversionMessageId(r.errorCode), 41);
  // The conversion lock is never left behind.
  EXPECT_FALSE(pf::Exists(pf::JoinPath(program_, "~Write.Locked")));
}

TEST_F(ConversionTest, OutputNamesFollowTheCounterTheWriterReports) {
  Mode("files:3");
  ConversionResult r;
  ASSERT_EQ(ConvertToPdf(Source("fax.txt"), work_, 0, r), 0) << r.errorCode;
  ASSERT_EQ(r.outputs.size(), 3u);
  EXPECT_EQ(r.outputs[0], pf::JoinPath(work_, "fax_0007.pdf"));
  EXPECT_EQ(r.outputs[2], pf::JoinPath(work_, "fax_0009.pdf"));
  EXPECT_EQ(r.outputPdf, r.outputs[0]);
  EXPECT_EQ(r.errorCode, 0);
}

TEST_F(ConversionTest, FailuresMapToTheirCodes) {
  ConversionResult r;
  Mode("fail");
  EXPECT_EQ(ConvertToPdf(Source("a.txt"), work_, 0, r), -1);
  EXPECT_EQ(r.errorCode, zv::dravel::kConvertEngineFailed);
  EXPECT_TRUE(r.outputPdf.empty());

  // A success without its file is no success.
  Mode("lie");
  EXPECT_EQ(ConvertToPdf(Source("a.txt"), work_, 0, r), -1);
  EXPECT_EQ(r.errorCode, zv::dravel::kConvertEngineError);
  EXPECT_EQ(zv::dravel::ConversionMessageId(310400), 41);
  EXPECT_EQ(zv::dravel::ConversionMessageId(310300), 40);
  EXPECT_EQ(zv::dravel::ConversionMessageId(123), 38);
}

TEST_F(ConversionTest, WriterThatNeverSetsResultIsStoppedAfter600Seconds) {
  SlowFakeClock clock;
  pf::ScopedClock use(clock);
  Mode("hang");
  ConversionResult r;
  EXPECT_EQ(ConvertToPdf(Source("a.docx"), work_, 0, r), -1);
  EXPECT_EQ(r.errorCode, 310500);
  EXPECT_GE(clock.SteadyMs(), 600'000);
  EXPECT_LT(clock.SteadyMs(), 610'000);
  const auto pid = pf::ReadFile(settings_ + ".pid");
  ASSERT_TRUE(pid.has_value());
  EXPECT_TRUE(ProcessGone(*pid)) << "the hung writer was left running";
  EXPECT_EQ(ini::GetInt(settings_, "Direct", "Result", 0), -9);
}

TEST_F(ConversionTest, VanishedJobFailsAtOnceExceptForPresentations) {
  SlowFakeClock clock;
  pf::ScopedClock use(clock);
  Mode("silent");
  ConversionResult r;
  EXPECT_EQ(ConvertToPdf(Source("a.docx"), work_, 0, r), -1);
  EXPECT_EQ(r.errorCode, 310500);
  // Well before the 600 s limit: the vanished job was noticed, not waited out.
  EXPECT_LT(clock.SteadyMs(), 300'000);

  const std::int64_t before = clock.SteadyMs();
  EXPECT_EQ(ConvertToPdf(Source("slides.PPTX"), work_, 0, r), -1);
  EXPECT_EQ(r.errorCode, 310500);
  const std::int64_t waited = clock.SteadyMs() - before;
  EXPECT_GE(waited, 600'000);
  EXPECT_LT(waited, 610'000);
  // Polled every 3 s (ten 300 ms steps), not in a tight loop.
  EXPECT_LT(clock.sleeps(), 6'000 + 2'200);
}

TEST_F(ConversionTest, BusyPrinterIsWaitedForAtMost600Seconds) {
  SlowFakeClock clock;
  pf::ScopedClock use(clock);
  auto busy = pf::HeldLock::TryAcquire(co::WriterBusyLockPath(writer_));
  ASSERT_TRUE(busy.valid());
  ConversionResult r;
  EXPECT_EQ(ConvertToPdf(Source("a.txt"), work_, 0, r), -1);
  EXPECT_EQ(r.errorCode, 310500);
  EXPECT_GE(clock.SteadyMs(), 600'000);
  EXPECT_FALSE(pf::Exists(settings_ + ".seen"));
  busy.Release();
  EXPECT_EQ(ConvertToPdf(Source("a.txt"), work_, 0, r), 0) << r.errorCode;
}

TEST_F(ConversionTest, ConversionsInTwoProcessesRunOneAtATime) {
  Mode("exclusive");
  const std::string tool = pf::JoinPath(ZV_TEST_TOOLS_DIR, "conversion_run_one");
  const std::string w1 = pf::JoinPath(root_, "w1"), w2 = pf::JoinPath(root_, "w2");
  ASSERT_TRUE(pf::MakeFolder(w1));
  ASSERT_TRUE(pf::MakeFolder(w2));
  auto a = pf::Process::Spawn(tool, {Source("one.txt"), w1});
  auto b = pf::Process::Spawn(tool, {Source("two.txt"), w2});
  ASSERT_TRUE(a.valid() && b.valid());
  EXPECT_EQ(a.Wait(60'000), 0);
  EXPECT_EQ(b.Wait(60'000), 0);
  EXPECT_TRUE(pf::IsFile(pf::JoinPath(w1, "one_0007.pdf")));
  EXPECT_TRUE(pf::IsFile(pf::JoinPath(w2, "two_0007.pdf")));
}

}  // namespace
