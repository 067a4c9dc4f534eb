#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <random>
#include <thread>

#include "companion/common.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/safe_write.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "support/message_capture.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::monitor {
namespace {

using test::MessageCapture;
using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

class SafeWriteTest : public ::testing::Test {
 protected:
  platform::FakeClock clock;
  platform::ScopedClock scoped{clock};
  TempDir dir;
  std::string file = dir / "EnvSetInfo.ini";
  MessageCapture messages;
};

TEST_F(SafeWriteTest, CommitsTheNewCopyAndKeepsBackup) {
  const std::string before = "; kept\n[Viewer]\nA=1\n[AutoFileRead]\nSetName1=\"old\"\n";
  WriteText(file, before);
  std::string seenNew;
  ASSERT_TRUE(SafeWriteSettings(file, [&](const std::string& newFile) {
    seenNew = newFile;
    EXPECT_EQ(ReadText(file), before) << "the live file is untouched before the commit";
    return ProfileWrite("AutoFileRead", "SetName1", "\"new\"", newFile) &&
           ProfileDeleteKey("Viewer", "A", newFile) == true;
  }));
  EXPECT_EQ(seenNew, file + ".new");
  EXPECT_EQ(ReadText(file), "; kept\n[Viewer]\n[AutoFileRead]\nSetName1=\"new\"\n");
  EXPECT_EQ(ReadText(file + ".bak"), before);
  EXPECT_FALSE(platform::Exists(file + ".new"));
  EXPECT_FALSE(platform::Exists(dir / "~WriteEnvSetInfo.Locked"));
  EXPECT_TRUE(messages.shown().empty());
}

TEST_F(SafeWriteTest, FailedWriterLeavesFileAndReports) {
  WriteText(file, "[Option]\nMaxUser=5\n");
  EXPECT_FALSE(SafeWriteSettings(file, [](const std::string& newFile) {
    ProfileWrite("Option", "MaxUser", 9, newFile);
    return false;
  }));
  EXPECT_EQ(ProfileRead("Option", "MaxUser", 0, file), 5);
  EXPECT_FALSE(platform::Exists(file + ".new"));
  EXPECT_TRUE(platform::IsFile(file + ".bak"));
  EXPECT_TRUE(messages.Saw(20037));
  EXPECT_EQ(messages.shown().back().style, companion::kMbIconWarning);

  EXPECT_FALSE(SafeWriteSettings(file, [](const std::string&) -> bool { throw std::runtime_error("boom"); }));
  EXPECT_EQ(ProfileRead("Option", "MaxUser", 0, file), 5);
}

TEST_F(SafeWriteTest, MissingSettingsFileFailsAtOnce) {
  bool called = false;
  EXPECT_FALSE(SafeWriteSettings(file, [&](const std::string&) { return called = true; }));
  EXPECT_FALSE(called);
  EXPECT_FALSE(platform::Exists(file));
  EXPECT_FALSE(platform::Exists(file + ".new"));
  EXPECT_TRUE(messages.Saw(20037));
  EXPECT_LT(clock.totalSleptMs(), 1000) << "no copy retries for a missing source";
}

TEST_F(SafeWriteTest, ReadOnlySettingsFileStaysAsItWas) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  const std::string before = "[Option]\nMaxUser=5\n";
  WriteText(file, before);
  ASSERT_TRUE(platform::SetReadOnly(file, true));
  EXPECT_FALSE(SafeWriteSettings(
      file, [](const std::string& newFile) { return ProfileWrite("Option", "MaxUser", 9, newFile); }));
  EXPECT_EQ(ReadText(file), before);
  EXPECT_TRUE(platform::IsReadOnly(file));
  EXPECT_EQ(ReadText(file + ".bak"), before);
  EXPECT_FALSE(platform::Exists(file + ".new"));
  EXPECT_TRUE(messages.Saw(20037));

  // Once writable again, the leftover backup must not block the next save.
  ASSERT_TRUE(platform::SetReadOnly(file, false));
  EXPECT_TRUE(SafeWriteSettings(
      file, [](const std::string& newFile) { return ProfileWrite("Option", "MaxUser", 9, newFile); }));
  EXPECT_EQ(ProfileRead("Option", "MaxUser", 0, file), 9);
}

TEST_F(SafeWriteTest, KilledSavesLeaveOldOrNewFileNeverTornOrMissing) {
  constexpr int kKeys = 40;
  std::string initial = "; header of another program\n[Other]\nx=y\n[Data]\nRound=0\n";
  for (int k = 1; k <= kKeys; ++k) initial += "Key" + std::to_string(k) + "=0\n";
  WriteText(file, initial);

  const std::string tool = std::string(ZV_TEST_TOOLS_DIR) + "/settings_safewrite_loop";
  // The tool runs on the real clock, with its pauses shortened.
  const std::vector<std::string> fast = {"ZV_TEST_TIMESCALE=20"};
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> delayMs(20, 400);
  int lastRound = 0;
  int progressed = 0;
  for (int i = 0; i < 50; ++i) {
    platform::Process p = platform::Process::Spawn(tool, {file, std::to_string(kKeys)}, {}, fast);
    ASSERT_TRUE(p.valid());
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(rng)));
    ::kill(p.pid(), SIGKILL);
    p.Wait();

    ASSERT_TRUE(platform::IsFile(file)) << "settings file missing after kill " << i;
    platform::ini::ClearCache();
    const int round = ProfileRead("Data", "Round", -1, file);
    ASSERT_GE(round, lastRound) << "went back to an older state";
    for (int k = 1; k <= kKeys; ++k) {
      ASSERT_EQ(ProfileRead("Data", "Key" + std::to_string(k), -1, file), round)
          << "torn settings file after kill " << i << " key " << k;
    }
    ASSERT_EQ(ProfileRead("Other", "x", "", file), "y");
    ASSERT_EQ(ReadText(file).rfind("; header of another program\n", 0), 0u);
    if (round > lastRound) ++progressed;
    lastRound = round;
  }
  EXPECT_GT(progressed, 5) << "the saves never got far enough to test anything";
}

}  // namespace
}  // namespace zv::monitor
