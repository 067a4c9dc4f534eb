#include "platform/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/fs.h"
#include "platform/single_instance.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace zv::platform {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

class Registry : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedEnv machine_{registry::kMachineFileVar, dir / "machine/reg.ini"};
  ScopedEnv user_{registry::kUserFileVar, dir / "user.ini"};
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
  TempDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path());
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
}

}  // namespace
}  // namespace zv::platform
