// Programs creating the same libraries and cabinets at the same moment: each
// item is made once, listed once, and nothing another program made is ever
// removed or written over.
#include <gtest/gtest.h>

#include "platform/process.h"
#include "store/store.h"
#include "testing/installation.h"

TEST(CreationRace, SameLevelsFromThreeProgramsAreMadeOnceAndKept) {
  zv::testing::Installation inst;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const std::string link = inst.AddLinkFolder("Race" + std::to_string(round));
    std::vector<zv::platform::Process> programs;
    for (int i = 0; i < 3; ++i) {
      programs.push_back(zv::platform::Process::Spawn(std::string(ZV_TEST_TOOLS_DIR) + "/store_create_tool", {link}));
    }
    for (auto& p : programs) EXPECT_EQ(p.Wait(120'000), 0);
    EXPECT_EQ(zv::store::CheckStore(link), std::vector<std::string>{});
    const auto libs = zv::store::ListLibraries(link).children;
    ASSERT_EQ(libs.size(), 6u);
    for (const auto& lib : libs) {
      EXPECT_EQ(zv::store::ListCabinets(lib.path).children.size(), 20u) << lib.path;
    }
  }
}
