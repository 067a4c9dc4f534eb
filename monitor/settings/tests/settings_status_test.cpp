#include <gtest/gtest.h>

#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::monitor {
namespace {

using testing::ReadText;
using testing::TempDir;
using testing::WriteText;

TEST(SettingsStatus, MonitorStateTable) {
  TempDir dir;
  const EnvFiles env = EnvFiles::ForFolder(dir.path());
  struct Row {
    int importFlag, propertyFlag, status, expected;
  };
  const Row rows[] = {
      {0, 0, 0, 0}, {1, 0, 0, 1}, {0, 0, 2, 1}, {1, 1, 3, 1}, {0, 1, 0, 2}, {0, 1, 4, 2},
      {0, 0, 3, 3}, {0, 0, 4, 4}, {0, 0, 1, 0}, {0, 0, 7, 0}, {2, 2, 0, 0},
  };
  for (const Row& r : rows) {
    ASSERT_TRUE(SetWorkFlag(env, kImportFlag, r.importFlag == 1));
    if (r.importFlag == 2) ProfileWrite("work", kImportFlag, 2, env.status);
    ASSERT_TRUE(SetWorkFlag(env, kPropertyFlag, r.propertyFlag == 1));
    if (r.propertyFlag == 2) ProfileWrite("work", kPropertyFlag, 2, env.status);
    ASSERT_TRUE(WriteMonitorStatus(env, r.status));
    EXPECT_EQ(GetMonitorState(env), r.expected)
        << "import " << r.importFlag << " property " << r.propertyFlag << " status " << r.status;
  }
  EXPECT_EQ(ProfileRead("work", kImportFlag, "", env.status), "2");
  ASSERT_TRUE(SetWorkFlag(env, kImportFlag, false));
  EXPECT_EQ(ProfileRead("work", kImportFlag, "", env.status), "0");
  EXPECT_FALSE(platform::Exists(dir / "~WriteEnvSetInfo.Locked"));
}

TEST(SettingsStatus, ChangeFlagsStampLastModified) {
  platform::FakeClock clock;
  platform::ScopedClock scoped(clock);
  clock.SetUnixSeconds(1'234'567'890);
  TempDir dir;
  const EnvFiles env = EnvFiles::ForFolder(dir.path());
  WriteText(env.settings, "[Product]\nHostName=h\n");
  ASSERT_TRUE(WriteChangeFlag(env.settings, ChangeFlag::SortModified));
  EXPECT_NE(ReadText(env.settings).find("[option]\nSortModified=1\n"), std::string::npos);
  EXPECT_EQ(ProfileRead("Product", "LastModified", "", env.settings), "1234567890");
  ASSERT_TRUE(WriteChangeFlag(env.settings, ChangeFlag::FaxModified));
  EXPECT_EQ(ReadChangeFlag(env.settings, ChangeFlag::FaxModified), 1);
  EXPECT_EQ(ReadChangeFlag(env.settings, ChangeFlag::Modified), 0);
  ASSERT_TRUE(ResetChangeFlag(env, ChangeFlag::SortModified));
  EXPECT_EQ(ReadChangeFlag(env.settings, ChangeFlag::SortModified), 0);
  EXPECT_EQ(ReadChangeFlag(env.settings, ChangeFlag::FaxModified), 1);
}

struct LinkSetup {
  TempDir dir;
  EnvFiles env = EnvFiles::ForFolder(dir / "prog");
  companion::ViewerFolders folders;
  LinkSetup() {
    platform::MakeFolders(env.folder);
    for (int i = 0; i < 3; ++i) folders.link[i] = dir / ("link" + std::to_string(i + 1));
  }
  std::string Copy(int i) const { return ResultAreaCopyPath(folders.link[i]); }
  void MakeCopy(int i, const std::string& host) {
    platform::MakeFolders(platform::ParentFolder(Copy(i)));
    WriteText(Copy(i), "[Product]\nHostName=" + host + "\n[Mine]\nx=1\n");
  }
};

TEST(SettingsStatus, HostNameRefreshFollowsOnlyOwnCopies) {
  LinkSetup s;
  WriteText(s.env.settings, "[Product]\nHostName=OldPC\n");
  s.MakeCopy(0, "oldpc");
  s.MakeCopy(1, "Neighbour");
  EXPECT_EQ(RefreshHostName(s.env, "  NewPC ", s.folders), 2);
  EXPECT_EQ(ProfileRead("Product", "HostName", "", s.env.settings), "NewPC");
  EXPECT_EQ(ProfileRead("Product", "HostName", "", s.Copy(0)), "NewPC");
  EXPECT_EQ(ProfileRead("Product", "HostName", "", s.Copy(1)), "Neighbour");
  EXPECT_FALSE(platform::Exists(s.Copy(2)));

  EXPECT_EQ(RefreshHostName(s.env, "newpc", s.folders), 0) << "same name, other case";
  EXPECT_EQ(RefreshHostName(s.env, "   ", s.folders), 0);
  // A file without an owner (a fresh installation) takes this computer's
  // name; copies of other computers stay theirs.
  WriteText(s.env.settings, "[Product]\nHostName=\n");
  s.MakeCopy(2, "");
  EXPECT_EQ(RefreshHostName(s.env, "Other", s.folders), 1);
  EXPECT_EQ(ProfileRead("Product", "HostName", "x", s.env.settings), "Other");
  EXPECT_EQ(ProfileRead("Product", "HostName", "x", s.Copy(1)), "Neighbour");
  EXPECT_EQ(ProfileRead("Product", "HostName", "x", s.Copy(2)), "");
}

TEST(SettingsStatus, ResultAreaCopiesLeaveOtherComputersAlone) {
  LinkSetup s;
  WriteText(s.env.settings, "[Product]\nHostName=ThisPC\n[Option]\nMaxUser=9\n");
  platform::MakeFolders(s.folders.link[0]);  // no Rslt yet
  s.MakeCopy(1, "OtherPC");
  // link 3 does not exist at all
  EXPECT_EQ(RefreshResultAreaCopies(s.env, "thispc", s.folders), 1);
  EXPECT_EQ(ReadText(s.Copy(0)), ReadText(s.env.settings));
  EXPECT_EQ(ProfileRead("Product", "HostName", "", s.Copy(1)), "OtherPC");
  EXPECT_EQ(ProfileRead("Mine", "x", "", s.Copy(1)), "1");
  EXPECT_FALSE(platform::Exists(s.folders.link[2]));

  s.MakeCopy(1, "");
  s.MakeCopy(0, "THISPC");
  EXPECT_EQ(RefreshResultAreaCopies(s.env, "ThisPC", s.folders), 2) << "empty and own owner";
  EXPECT_EQ(ProfileRead("Option", "MaxUser", 0, s.Copy(1)), 9);
}

}  // namespace
}  // namespace zv::monitor
