// No exception leaves an export: an allocation failing anywhere inside one
// gives the export's failure result and a trace line naming it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "companion/trace.h"
#include "dravel/core.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "testing/installation.h"

namespace {
// Counts allocations down once armed; the one at zero fails. Below zero:
// disarmed.
std::atomic<long> g_countdown{-1};
}  // namespace

void* operator new(std::size_t size) {
  if (g_countdown.load(std::memory_order_relaxed) >= 0 && g_countdown.fetch_sub(1) == 0) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// The compiler sees new and free paired once these are inlined; they are the
// replacement pair.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace zv::dravel {
namespace {

namespace test = zv::testing;

// Calls `call` with the first, second, third ... allocation failing until a
// call gets through without reaching the failing one. Every result must be
// the success or the failure result. Returns how many calls failed.
template <typename Call>
int FailEachAllocation(Call call, int success, int failure) {
  int failed = 0;
  for (long n = 0; n < 10000; ++n) {
    int r = -12345;
    g_countdown = n;
    EXPECT_NO_THROW(r = call()) << "allocation " << n;
    const bool reached = g_countdown.load() < 0;
    g_countdown = -1;
    if (!reached) {
      EXPECT_EQ(r, success);
      break;
    }
    EXPECT_TRUE(r == success || r == failure) << "allocation " << n << ": " << r;
    failed += r == failure;
  }
  return failed;
}

std::string TraceText(const std::string& folder) {
  std::string all;
  for (const auto& e : platform::ListFolder(folder).value_or(std::vector<platform::DirEntry>{}))
    all += platform::ReadFile(platform::JoinPath(folder, e.name)).value_or("");
  return all;
}

TEST(ExportGuard, AllocationFailureGivesTheFailureResult) {
  test::Installation box;
  box.WriteSettings({{"TraceLogEnabled", "1"}, {"TraceLogPath", box.Path("a-trace-folder-with-a-long-name")}});
  companion::SetProcessTraceSettings({box.Path("trace"), 1, 7});

  char folder[DRAVEL_PATH_MAX];
  int days = 0;
  EXPECT_GT(FailEachAllocation([&] { return ReadTraceLogInfo(folder, &days); }, 1, 0), 0);

  char title1[DRAVEL_PATH_MAX], title2[DRAVEL_PATH_MAX];
  EXPECT_GT(FailEachAllocation(
                [&] { return CheckFolderName("FirstTitleWords$$SecondTitleWord", 3, title1, title2, "/loc"); }, 1, 0),
            0);

  const std::string trace = TraceText(box.Path("trace"));
  EXPECT_NE(trace.find("ReadTraceLogInfo: unexpected failure: std::bad_alloc"), std::string::npos) << trace;
  EXPECT_NE(trace.find("CheckFolderName: unexpected failure"), std::string::npos);
  companion::SetProcessTraceSettings({});
}

}  // namespace
}  // namespace zv::dravel
