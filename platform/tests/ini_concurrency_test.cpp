#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

extern char** environ;

namespace ini = zv::platform::ini;

namespace {

const std::string kWriter = std::string(ZV_TEST_TOOLS_DIR) + "/ini_writer";

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(kWriter.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, kWriter.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class IniConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    file_ = scratch_ / "shared.ini";
    ini::ClearCache();
  }
  zv::testing::TempDir scratch_;
  std::string file_;
};

TEST_F(IniConcurrencyTest, FourProcessesLoseNoKey) {
  // Other programs' content must survive too.
  zv::testing::WriteText(file_, "; keep me\n[Other]\nx=1\n");
  const std::vector<std::string> prefixes = {"A", "B", "C", "D"};
  std::vector<pid_t> pids;
  for (const auto& p : prefixes) pids.push_back(Spawn({"keys", file_, p, "500"}));
  for (pid_t pid : pids) {
    ASSERT_GT(pid, 0);
    EXPECT_EQ(Wait(pid), 0);
  }
  EXPECT_EQ(ini::SectionEntries(file_, "Shared").size(), 2000u);
  for (const auto& p : prefixes) {
    for (int i = 0; i < 500; ++i) ASSERT_EQ(ini::GetInt(file_, "Shared", p + std::to_string(i), -1), i);
  }
  EXPECT_EQ(ini::GetString(file_, "other", "x"), "1");
  EXPECT_EQ(::access(ini::SiblingLockPath(file_).c_str(), F_OK), -1);
}

TEST_F(IniConcurrencyTest, GroupsAndSingleWritesInterleaveSafely) {
  std::vector<pid_t> pids = {Spawn({"group", file_, "G", "300"}), Spawn({"keys", file_, "S", "100"}),
                             Spawn({"group", file_, "H", "300"})};
  // Threads of this process compete as well: locks are per descriptor.
  std::vector<std::thread> threads;
  for (const std::string p : {"T", "U"}) {
    threads.emplace_back([this, p] {
      for (int i = 0; i < 100; ++i) EXPECT_TRUE(ini::WriteInt(file_, "Shared", p + std::to_string(i), i));
    });
  }
  for (auto& t : threads) t.join();
  for (pid_t pid : pids) {
    ASSERT_GT(pid, 0);
    EXPECT_EQ(Wait(pid), 0);
  }
  auto entries = ini::SectionEntries(file_, "Shared");
  EXPECT_EQ(entries.size(), 300u + 100u + 300u + 200u);
  EXPECT_EQ(ini::GetInt(file_, "Shared", "G299", -1), 299);
  EXPECT_EQ(ini::GetInt(file_, "Shared", "U99", -1), 99);
}

// Another process changes the file so that size and modification time stay
// the same, within the same second; the next read must see the change.
TEST_F(IniConcurrencyTest, CacheSeesOtherProcessChanges) {
  zv::testing::WriteText(file_, "[Shared]\nk=AAAA\n");
  zv::platform::SleepMs(250);  // old enough to be cached
  ASSERT_EQ(ini::GetString(file_, "Shared", "k"), "AAAA");
  ASSERT_EQ(ini::GetString(file_, "Shared", "k"), "AAAA");

  ASSERT_EQ(Wait(Spawn({"rewrite", file_, "[Shared]\nk=BBBB\n"})), 0);
  EXPECT_EQ(ini::GetString(file_, "Shared", "k"), "BBBB");

  zv::platform::SleepMs(250);
  ASSERT_EQ(ini::GetString(file_, "Shared", "k"), "BBBB");
  ASSERT_EQ(Wait(Spawn({"replace", file_, "[Shared]\nk=CCCC\n"})), 0);
  EXPECT_EQ(ini::GetString(file_, "Shared", "k"), "CCCC");
  EXPECT_EQ(ini::SectionEntries(file_, "shared").at(0).second, "CCCC");
}

}  // namespace
