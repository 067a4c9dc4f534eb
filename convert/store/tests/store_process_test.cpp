// Insertions from other processes: killed at random points, and two at once.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <map>
#include <random>
#include <thread>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "store/store.h"
#include "support/testpdf.h"

extern char** environ;

namespace bl = zv::companion::binder;

namespace {

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

int WaitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

const std::string kTool = std::string(ZV_TEST_TOOLS_DIR) + "/store_insert_tool";

}  // namespace

TEST(Processes, KillDuringInsertionLeavesAConsistentBinder) {
  const std::string root = zv::testing::FreshFolder("store_kill");
  const std::string cab = zv::testing::MakeCabinet(root);
  std::string binder;
  ASSERT_EQ(bl::CreateBinder2(cab, {.title = "K"}, &binder), bl::kCreateOk);
  const std::string pdf = root + "/p.pdf";
  zv::testing::MakePdf(pdf, 4);
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> delay(0, 900);
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE(run);
    const pid_t pid = Spawn({kTool, binder, pdf, "3"});
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay(rng)));
    kill(pid, SIGKILL);
    WaitFor(pid);
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
  const std::string root = zv::testing::FreshFolder("store_two");
  const std::string cab = zv::testing::MakeCabinet(root);
  std::string binder;
  ASSERT_EQ(bl::CreateBinder2(cab, {.title = "T"}, &binder), bl::kCreateOk);
  const std::string pdf = root + "/one.pdf";
  zv::testing::MakePdf(pdf, 1);
  const pid_t a = Spawn({kTool, binder, pdf, "50", "A"});
  const pid_t b = Spawn({kTool, binder, pdf, "50", "B"});
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  const int sa = WaitFor(a), sb = WaitFor(b);
  EXPECT_TRUE(WIFEXITED(sa) && WEXITSTATUS(sa) == 0);
  EXPECT_TRUE(WIFEXITED(sb) && WEXITSTATUS(sb) == 0);
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
