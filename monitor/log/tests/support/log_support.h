#pragma once

#include <optional>
#include <string>

#include "monitor/log/log_context.h"
#include "platform/clock.h"
#include "testing/files.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace zv::monitor::testing {

using zv::testing::Lines;
using zv::testing::ReadText;
using zv::testing::WriteText;

// A program folder of its own, removed at the end, with an EnvSetInfo.ini
// holding the given [Option] lines; the local time zone is UTC and a fake
// clock runs (2024-03-05 09:13:02 UTC at start) while it lives.
class LogFixture {
 public:
  explicit LogFixture(const std::string& optionLines = "");
  ~LogFixture();
  LogFixture(const LogFixture&) = delete;
  LogFixture& operator=(const LogFixture&) = delete;

  std::string operator/(const std::string& name) const;
  void SetOptions(const std::string& optionLines);

  LogContext context;
  platform::FakeClock clock;

 private:
  zv::testing::TempDir dir_;
  std::optional<zv::testing::ScopedEnv> tz_;
  platform::ScopedClock scoped_;
};

inline constexpr long long kStartTime = 1709629982;  // 2024-03-05 09:13:02 UTC

}  // namespace zv::monitor::testing
