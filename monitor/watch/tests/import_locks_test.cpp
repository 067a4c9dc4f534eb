// How much lock and settings-file work one import costs: the status, flag
// and lock-list writes of a step share one environment lock, and the
// store's short locks never pause once they are had.
#include <gtest/gtest.h>

#include "platform/fs.h"
#include "platform/iocounts.h"
#include "platform/paths.h"
#include "support/watch_env.h"
#include "testing/pdf.h"

namespace zv::monitor {
namespace {

namespace pf = platform;

struct Work {
  std::int64_t settlePauses, locks, settings, status;
};

Work Measure(test::Engine& engine, const test::Installation& inst) {
  const pf::IoCounts a = pf::ReadIoCounts();
  const std::int64_t settings = pf::ReplacementsOf(inst.settings());
  const std::int64_t status = pf::ReplacementsOf(inst.Path("program/~HopvaleStatus.ini"));
  engine.Cycle();
  const pf::IoCounts b = pf::ReadIoCounts();
  return {b.lockSettlePauses - a.lockSettlePauses, b.lockAcquisitions - a.lockAcquisitions,
          pf::ReplacementsOf(inst.settings()) - settings,
          pf::ReplacementsOf(inst.Path("program/~HopvaleStatus.ini")) - status};
}

TEST(ImportLocks, OneImportTakesTheEnvironmentLockOncePerStep) {
  test::Installation inst;
  test::Engine engine(inst);
  engine.Cycle();  // the first cycle's daily clean-up and start-up writes
  const Work idle = Measure(engine, inst);
  testing::MakePdf(pf::JoinPath(inst.target(), "a.pdf"), 1);
  const Work busy = Measure(engine, inst);
  ASSERT_EQ(engine.frame.imports.load(), 1);
  ASSERT_FALSE(pf::Exists(pf::JoinPath(inst.target(), "a.pdf")));
  // The viewer's lock around its settings, the start (flag, status and the
  // in-progress entry) and the end (entry, status, flag): three pauses of
  // the environment lock's protocol, none from the store or the noted pages.
  EXPECT_EQ(busy.settlePauses - idle.settlePauses, 3);
  EXPECT_GT(busy.locks - idle.locks, 3) << "the store's locks are still taken";
  // The start, the library's last import time and the end.
  EXPECT_EQ(busy.settings - idle.settings, 3);
  EXPECT_EQ(busy.status - idle.status, 2);  // ImportFlag 1 and 0
}

}  // namespace
}  // namespace zv::monitor
