// The shared library and the command as other programs use them.
#include <gtest/gtest.h>

#include <set>

#include "platform/fs.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "sort/Wimbrel.h"
#include "store/store.h"
#include "testing/files.h"
#include "testing/installation.h"

namespace zv::sort {
namespace {

namespace t = zv::testing;

// Children see no display: the exports then take the default answers.
std::vector<std::string> ChildEnv(const t::Installation& inst) {
  auto env = inst.Environment();
  for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.push_back(v);
  return env;
}

TEST(SortProcess, TheCommandBuildsBothWaysAndNeverWritesTheLinkFolderForFolders) {
  t::Installation inst;
  const std::string link = inst.AddLinkFolder("Local");
  const std::string sortA = inst.Path("sortA"), sortB = inst.Path("sortB");
  platform::MakeFolders(sortA + "/Lib/Cab/Q1$$Sales");
  platform::MakeFolders(sortA + "/Lib/Cab/Inbox");
  auto r = t::RunProgram(ZV_WIMBREL_EXE, {"to-binders", link, sortA, "Local", "--yes"}, ChildEnv(inst));
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find(link + "/Lib/Cab/Q1$$Sales\n"), std::string::npos) << r.out << r.err;
  r = t::RunProgram(ZV_WIMBREL_EXE, {"to-binders", link, sortA, "Local", "--yes"}, ChildEnv(inst));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.find(link), std::string::npos) << r.out << r.err;  // nothing made the second time

  // The monitor's settings page once passed the folders in another order:
  // swapped, nothing is made at all, and never in the link folder.
  const auto linkTree = store::CheckStore(link);
  const auto before = t::Names(link + "/Lib/Cab");
  r = t::RunProgram(ZV_WIMBREL_EXE, {"to-folders", sortB, link, "Local", "--all"}, ChildEnv(inst));
  EXPECT_EQ(t::Names(link + "/Lib/Cab"), before);
  EXPECT_EQ(t::Names(link), (std::vector<std::string>{"Folder.dat", "Folder.ini", "Lib"}));
  r = t::RunProgram(ZV_WIMBREL_EXE, {"to-folders", link, sortB, "Local", "--all"}, ChildEnv(inst));
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_TRUE(platform::IsFolder(sortB + "/Lib/Cab/Q1$$Sales"));
  EXPECT_TRUE(platform::IsFolder(sortB + "/Lib/Cab/Inbox"));
  EXPECT_EQ(t::Names(link + "/Lib/Cab"), before);
  EXPECT_EQ(store::CheckStore(link), linkTree);
}

TEST(SortProcess, ProgramsBuildingTheSameTreeAtOnceMakeEachItemOnceAndRemoveNothing) {
  t::Installation inst;
  const std::string link = inst.AddLinkFolder("Local");
  for (int i = 1; i <= 4; ++i) inst.AddCabinet(link, "Old" + std::to_string(i), "Cab");
  const std::string sortFolder = inst.Path("sort");
  for (const char* lib : {"LibA", "LibB"})
    for (int cab = 1; cab <= 8; ++cab)
      for (int b = 1; b <= 3; ++b)
        platform::MakeFolders(sortFolder + "/" + lib + "/C" + std::to_string(cab) + "/Binder " + std::to_string(b));
  const std::string trace = inst.Path("trace");
  inst.WriteSettings({{"TraceLogEnabled", "1"}, {"TraceLogPath", trace}});
  const std::string tool = std::string(ZV_TEST_TOOLS_DIR) + "/sort_export_tool";
  std::vector<platform::Process> children;
  for (int i = 0; i < 3; ++i) {
    children.push_back(
        platform::Process::Spawn(tool, {ZV_WIMBREL_LIB, "from-folder", link, sortFolder, "Local"}, {}, ChildEnv(inst)));
  }
  for (auto& c : children) EXPECT_EQ(c.Wait(120'000), 0);
  // Each run ended as a success (or found the other had made everything).
  std::string all;
  for (auto& n : t::Names(trace)) all += t::ReadText(trace + "/" + n);
  auto count = [&](const std::string& what) {
    int n = 0;
    for (std::size_t at = all.find(what); at != std::string::npos; at = all.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("Create Target Folders Success!") + count("No Target to Create!"), 3) << all;

  EXPECT_EQ(store::CheckStore(link), std::vector<std::string>{});
  EXPECT_EQ(store::ListLibraries(link).children.size(), 6u);
  for (const char* lib : {"LibA", "LibB"}) {
    const auto cabs = store::ListCabinets(link + "/" + lib).children;
    EXPECT_EQ(cabs.size(), 8u) << lib;
    for (auto& cab : cabs) {
      std::set<std::string> titles;
      for (auto& b : store::ListBindersWithInfo(cab.path)) EXPECT_TRUE(titles.insert(b.title).second) << b.title;
      EXPECT_EQ(titles.size(), 3u) << cab.path;
    }
  }
}

TEST(SortProcess, TraceSettingsAreReadAtTheFirstCallAndRefuseRelativeAndNetworkPaths) {
  t::Installation inst;
  t::ScopedEnv noDisplay("DISPLAY", nullptr), noWayland("WAYLAND_DISPLAY", nullptr), noQpa("QT_QPA_PLATFORM", nullptr);
  auto lib = platform::SharedLibrary::Open(ZV_WIMBREL_LIB);
  auto read = lib.Symbol<decltype(&ReadTraceLogInfoForSort)>("ReadTraceLogInfoForSort");
  auto openErrors = lib.Symbol<decltype(&OpneFolderErrorTxt)>("OpneFolderErrorTxt");
  ASSERT_TRUE(read && openErrors);
  // Written after the load, before the first call: the library still traces there.
  const std::string trace = inst.Path("trace/sort");
  inst.WriteSettings({{"TraceLogEnabled", "1"}, {"TraceLogPath", trace}});
  char folder[WIMBREL_PATH_MAX] = {};
  int days = 0;
  EXPECT_EQ(openErrors(), 1);  // no error list
  t::WriteText(inst.temp() + "/Zorvan/AutoImp_FolderError.txt", "x\n");
  EXPECT_EQ(openErrors(), 0);
  std::string all;
  for (auto& n : t::Names(trace)) all += t::ReadText(trace + "/" + n);
  EXPECT_NE(all.find("Folder name is ERROR!"), std::string::npos) << all;

  EXPECT_EQ(read(folder, &days), 1);
  EXPECT_EQ(std::string(folder), trace);
  EXPECT_EQ(days, 7);
  inst.WriteSettings({{"TraceLogEnabled", "0"}, {"TraceLogPath", trace}});
  EXPECT_EQ(read(folder, &days), 0);
  for (const char* bad : {"relative/trace", "//server/share/trace"}) {
    inst.WriteSettings({{"TraceLogEnabled", "1"}, {"TraceLogPath", bad}});
    EXPECT_EQ(read(folder, &days), 0) << bad;
  }
  EXPECT_FALSE(platform::Exists("relative"));
}

}  // namespace
}  // namespace zv::sort
