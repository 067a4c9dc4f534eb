#pragma once

#include <string>
#include <vector>

#include "monitor/log/log_context.h"
#include "platform/clock.h"

namespace zv::monitor::testing {

// A program folder of its own under the test binary dir, removed at the end,
// with an EnvSetInfo.ini holding the given [Option] lines; the local time
// zone is UTC and a fake clock runs (2024-03-05 09:13:02 UTC at start).
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
  platform::ScopedClock scoped_;
};

inline constexpr long long kStartTime = 1709629982;  // 2024-03-05 09:13:02 UTC

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& content);
std::vector<std::string> Lines(const std::string& text);

}  // namespace zv::monitor::testing
