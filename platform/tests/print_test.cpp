#include "platform/print.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// A scheduler that takes connections and never answers.
class SilentServer {
 public:
  SilentServer() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 16) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    port_ = ntohs(a.sin_port);
  }
  ~SilentServer() {
    if (fd_ >= 0) close(fd_);
  }
  int port() const { return port_; }
  // A port where nobody listens (this one, once closed).
  int Close() {
    close(fd_);
    fd_ = -1;
    return port_;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST(PrintScheduler, DeadOrMissingSchedulerCostsTheLimitAtMost) {
  TempDir dir;
  testing::MakePdf(dir / "a.pdf", 1);
  SilentServer silent;
  ASSERT_GT(silent.port(), 0);
  const CupsSettings hung{"127.0.0.1:" + std::to_string(silent.port()), 1000, 1500};
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

TEST(PrintScheduler, JobOnTheMachinesQueueLeavesItsDefaultsAlone) {
  std::string whyNot;
  const auto queue = testing::FindPdfQueue(whyNot);
  if (!queue) GTEST_SKIP() << whyNot;
  TempDir dir;
  ScopedEnv home("HOME", dir.path());  // no lpoptions of the user
  testing::MakePdf(dir / "one.pdf", 1);
  Backend& cups = SystemBackend();
  Destination before, after;
  ASSERT_EQ(cups.GetDestination(queue->name, before), Status::Ok);
  EXPECT_EQ(before.name, queue->name);
  EXPECT_FALSE(before.defaults.empty());
  std::vector<Destination> all;
  ASSERT_EQ(cups.ListDestinations(all), Status::Ok);
  EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const Destination& x) { return x.name == queue->name; }));

  const Submission sub =
      cups.Submit({queue->name, dir / "one.pdf", "application/pdf", "copies=2 sides=two-sided-long-edge", "zvone"});
  ASSERT_EQ(sub.status, Status::Ok) << sub.error;
  EXPECT_GT(sub.jobId, 0);
  ASSERT_EQ(cups.GetDestination(queue->name, after), Status::Ok);
  EXPECT_EQ(after.defaults, before.defaults);
  EXPECT_EQ(cups.GetDestination("zv-no-such-queue", after), Status::NoDestination);
  EXPECT_EQ(cups.Submit({"zv-no-such-queue", dir / "one.pdf", "", "", ""}).status, Status::NoDestination);
  {
    ScopedEnv lpdest("LPDEST", queue->name);
    std::string name;
    ASSERT_EQ(cups.DefaultDestination(name), Status::Ok);
    EXPECT_EQ(name, queue->name);
    const Submission byDefault = cups.Submit({"", dir / "one.pdf", "application/pdf", "", "zvdefault"});
    EXPECT_EQ(byDefault.status, Status::Ok) << byDefault.error;
    EXPECT_EQ(byDefault.destination, queue->name);
  }
}

}  // namespace
}  // namespace zv::platform::print
