#include "platform/print.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include <chrono>

#include "testing/fake_print.h"
#include "testing/pdf.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace zv::platform::print {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

TEST(PrintOptions, ParsedTheSchedulersWay) {
  const Options o = ParseOptions("copies=2 media=iso_a4_210x297mm job-name='two words' nocollate copies=3 fit-to-page");
  EXPECT_EQ(OptionValue(o, "copies"), "3") << "a later duplicate wins";
  EXPECT_EQ(OptionValue(o, "MEDIA"), "iso_a4_210x297mm");
  EXPECT_EQ(OptionValue(o, "job-name"), "two words");
  EXPECT_EQ(OptionValue(o, "collate"), "false");
  EXPECT_EQ(OptionValue(o, "fit-to-page"), "true");
  EXPECT_EQ(o.size(), 5u);
  EXPECT_TRUE(ParseOptions("").empty());
}

TEST(PrintScheduler, DeadOrMissingSchedulerCostsTheLimitAtMost) {
  TempDir dir;
  testing::MakePdf(dir / "a.pdf", 1);
  testing::SilentScheduler silent;
  ASSERT_GT(silent.port(), 0);
  const CupsSettings hung{silent.server(), 1000, 1500};
  auto backend = MakeCupsBackend(hung);
  using Clock = std::chrono::steady_clock;
  auto timed = [](auto&& call) {
    const auto start = Clock::now();
    call();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  };
  Destination d;
  std::vector<Destination> all;
  std::string name;
  Submission sub;
  EXPECT_LT(timed([&] { EXPECT_EQ(backend->GetDestination("zv-pdf", d), Status::TimedOut); }), 2500);
  EXPECT_LT(timed([&] { EXPECT_EQ(backend->ListDestinations(all), Status::TimedOut); }), 2500);
  {
    ScopedEnv lpdest("LPDEST"), printer("PRINTER"), home("HOME", dir.path());
    lpdest.Unset();
    printer.Unset();
    EXPECT_LT(timed([&] { EXPECT_EQ(backend->DefaultDestination(name), Status::TimedOut); }), 2500);
  }
  EXPECT_LT(timed([&] { sub = backend->Submit({"zv-pdf", dir / "a.pdf", "application/pdf", "copies=2", ""}); }), 2500);
  EXPECT_EQ(sub.status, Status::TimedOut) << sub.error;

  // Nobody listening, or no socket at all: an answer at once.
  const int closed = silent.Close();
  auto refused = MakeCupsBackend({"127.0.0.1:" + std::to_string(closed), 1000, 1500});
  EXPECT_LT(timed([&] { EXPECT_EQ(refused->GetDestination("zv-pdf", d), Status::Unreachable); }), 1000);
  auto noSocket = MakeCupsBackend({dir / "no.sock", 1000, 1500});
  sub = noSocket->Submit({"zv-pdf", dir / "a.pdf", "", "", ""});
  EXPECT_EQ(sub.status, Status::Unreachable);
  // An unreadable document never reaches the scheduler.
  EXPECT_EQ(backend->Submit({"zv-pdf", dir / "missing.pdf", "", "", ""}).status, Status::BadFile);
}

TEST(PrintScheduler, TheMachinesQueueByNameOrAsTheDefault) {
  std::string whyNot;
  const auto queue = testing::FindPdfQueue(whyNot);
  if (!queue) GTEST_SKIP() << whyNot;
  TempDir dir;
  ScopedEnv home("HOME", dir.path());  // no lpoptions of the user
  ScopedEnv lpdest("LPDEST", queue->name);
  testing::MakePdf(dir / "one.pdf", 1);
  Backend& cups = SystemBackend();
  Destination d;
  ASSERT_EQ(cups.GetDestination(queue->name, d), Status::Ok);
  EXPECT_FALSE(d.defaults.empty());
  std::vector<Destination> all;
  ASSERT_EQ(cups.ListDestinations(all), Status::Ok);
  EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const Destination& x) { return x.name == queue->name; }));
  EXPECT_EQ(cups.GetDestination("zv-no-such-queue", d), Status::NoDestination);
  EXPECT_EQ(cups.Submit({"zv-no-such-queue", dir / "one.pdf", "", "", ""}).status, Status::NoDestination);

  const std::string title = "zvlayer" + std::to_string(::getpid());
  const Submission sub = cups.Submit({"", dir / "one.pdf", "application/pdf", "copies=1 sides=one-sided", title});
  ASSERT_EQ(sub.status, Status::Ok) << sub.error;
  EXPECT_GT(sub.jobId, 0);
  EXPECT_EQ(sub.destination, queue->name);
  const std::string out = testing::WaitForPdfOutput(*queue, title);
  EXPECT_FALSE(out.empty());
  std::remove(out.c_str());
}

}  // namespace
}  // namespace zv::platform::print
