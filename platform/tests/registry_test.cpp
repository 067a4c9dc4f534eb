#include "platform/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/fs.h"
#include "platform/single_instance.h"
#include "platform_test_util.h"

namespace zv::platform {
namespace {

using testing::ScratchDir;

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv(registry::kMachineFileVar, (dir / "machine/reg.ini").c_str(), 1);
    setenv(registry::kUserFileVar, (dir / "user.ini").c_str(), 1);
  }
  void TearDown() override {
    unsetenv(registry::kMachineFileVar);
    unsetenv(registry::kUserFileVar);
  }
  ScratchDir dir;
};

TEST_F(Registry, HivesAreSeparateFilesWithDefaultValue) {
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zorvan.exe";
  EXPECT_EQ(registry::HiveFile(registry::Hive::LocalMachine), dir / "machine/reg.ini");
  EXPECT_FALSE(registry::GetValue(registry::Hive::LocalMachine, key));
  EXPECT_FALSE(registry::AppPath("Zorvan.exe"));
  ASSERT_TRUE(registry::SetValue(registry::Hive::LocalMachine, key, "@", "/opt/zv/bin/zorvan"));
  ASSERT_TRUE(registry::SetValue(registry::Hive::LocalMachine, key, "Path", ""));
  EXPECT_EQ(registry::AppPath("Zorvan.exe"), "/opt/zv/bin/zorvan");
  EXPECT_EQ(registry::AppPath("zorvan.EXE"), "/opt/zv/bin/zorvan") << "key paths ignore case";
  EXPECT_EQ(registry::GetValue(registry::Hive::LocalMachine, key, "path"), "")
      << "an empty value is present, not missing";
  EXPECT_FALSE(registry::GetValue(registry::Hive::CurrentUser, key));
  EXPECT_TRUE(registry::KeyExists(registry::Hive::LocalMachine, key));
  EXPECT_FALSE(registry::KeyExists(registry::Hive::CurrentUser, key));
  ASSERT_TRUE(registry::DeleteValue(registry::Hive::LocalMachine, key, "@"));
  EXPECT_FALSE(registry::AppPath("Zorvan.exe"));
  EXPECT_EQ(registry::GetValue(registry::Hive::LocalMachine, key, "Path"), "");
}

TEST(SingleInstance, SecondInstanceOfSameProgramIsNotFirst) {
  ScratchDir dir;
  const char* old = getenv("XDG_RUNTIME_DIR");
  std::string saved = old ? old : "";
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  {
    SingleInstance first("Hopvale");
    EXPECT_TRUE(first.IsFirst());
    EXPECT_EQ(first.lockPath().rfind(dir.path(), 0), 0u);
    SingleInstance second("Hopvale");
    EXPECT_FALSE(second.IsFirst());
    EXPECT_EQ(second.socketName(), first.socketName());
    SingleInstance other("Quibbin");
    EXPECT_TRUE(other.IsFirst()) << "programs do not exclude each other";
    EXPECT_NE(other.socketName(), first.socketName());
  }
  SingleInstance again("Hopvale");
  EXPECT_TRUE(again.IsFirst()) << "the lock did not go with the first instance";
  if (old) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  else unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace zv::platform
