// Insertions from other processes: killed at random points, and two at once.
#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <random>
#include <thread>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "platform/process.h"
#include "store/store.h"
#include "testing/installation.h"
#include "testing/pdf.h"

namespace bl = zv::companion::binder;
using zv::platform::Process;

namespace {

const std::string kTool = std::string(ZV_TEST_TOOLS_DIR) + "/store_insert_tool";

}  // namespace

TEST(Processes, KillDuringInsertionLeavesAConsistentBinder) {
  zv::testing::Installation inst;
  const std::string root = inst.root(), cab = inst.AddCabinet(inst.AddLinkFolder());
  std::string binder;
  ASSERT_EQ(bl::CreateBinder2(cab, {.title = "K"}, &binder), bl::kCreateOk);
  const std::string pdf = root + "/p.pdf";
  zv::testing::MakePdf(pdf, 4);
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> delay(0, 900);
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE(run);
    Process p = Process::Spawn(kTool, {binder, pdf, "3"});
    ASSERT_TRUE(p.valid());
    std::this_thread::sleep_for(std::chrono::milliseconds(delay(rng)));
    kill(p.pid(), SIGKILL);
    p.Wait();
    auto problems = zv::store::CheckStore(binder);
    ASSERT_TRUE(problems.empty()) << problems[0];
  }
  // The next insertion cleans up and files normally.
  const int before = bl::ReadBinder(binder).pageTotal;
  ASSERT_EQ(bl::AddInfoToBinder(binder, pdf, pdf, 0, 0, 0), 0);
  auto b = bl::ReadBinder(binder);
  EXPECT_EQ(b.pageTotal, before + 4);
  EXPECT_TRUE(zv::store::CheckStore(binder).empty());
}

TEST(Processes, TwoInsertersEveryPageExactlyOnce) {
  zv::testing::Installation inst;
  const std::string root = inst.root(), cab = inst.AddCabinet(inst.AddLinkFolder());
  std::string binder;
  ASSERT_EQ(bl::CreateBinder2(cab, {.title = "T"}, &binder), bl::kCreateOk);
  const std::string pdf = root + "/one.pdf";
  zv::testing::MakePdf(pdf, 1);
  Process a = Process::Spawn(kTool, {binder, pdf, "50", "A"});
  Process b = Process::Spawn(kTool, {binder, pdf, "50", "B"});
  ASSERT_TRUE(a.valid());
  ASSERT_TRUE(b.valid());
  EXPECT_EQ(a.Wait(), 0);
  EXPECT_EQ(b.Wait(), 0);
  auto s = bl::ReadBinder(binder);
  ASSERT_TRUE(s.ok()) << s.problems[0];
  EXPECT_EQ(s.pageTotal, 100);
  EXPECT_EQ(s.maxPageId, 100);
  std::map<std::string, int> seen;
  for (auto& p : s.pages) ++seen[p.keyword];
  EXPECT_EQ(seen.size(), 100u);
  for (auto& [k, n] : seen) EXPECT_EQ(n, 1) << k;
  EXPECT_TRUE(zv::store::CheckStore(binder).empty());
}
