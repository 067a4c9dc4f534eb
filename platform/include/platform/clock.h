// The one clock-and-sleep service of the system. Every wait goes through it,
// so tests can run protocols with long pauses in no time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zv::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time in milliseconds.
  virtual std::int64_t SteadyMs() = 0;
  // Wall-clock time in seconds since 1970 (64-bit).
  virtual std::int64_t UnixSeconds() = 0;
  virtual void SleepMs(std::int64_t ms) = 0;
};

// The process's clock. By default the real one; when the environment variable
// ZV_TEST_TIMESCALE holds a number N > 1 (test use only, never set by an
// installation) every sleep lasts 1/N of its time and steady time runs N
// times as fast.
Clock& GetClock();
// Replaces the process's clock (tests). Pass nullptr to restore the default.
void SetClock(Clock* clock);

inline void SleepMs(std::int64_t ms) { GetClock().SleepMs(ms); }
inline std::int64_t SteadyMs() { return GetClock().SteadyMs(); }
inline std::int64_t UnixSeconds() { return GetClock().UnixSeconds(); }

// A time (seconds since 1970) in local time, formatted with strftime's
// `format`; "" when it cannot be converted or the text would exceed 127 bytes.
std::string LocalTimeText(std::int64_t unixSeconds, const char* format);

// A fake clock for tests: sleeping advances time instantly.
class FakeClock : public Clock {
 public:
  std::int64_t SteadyMs() override { return steadyMs_; }
  std::int64_t UnixSeconds() override { return unixSeconds_ + steadyMs_ / 1000; }
  void SleepMs(std::int64_t ms) override {
    steadyMs_ += ms;
    ++sleeps_;
    totalSleptMs_ += ms;
  }
  void Advance(std::int64_t ms) { steadyMs_ += ms; }
  std::int64_t sleeps() const { return sleeps_; }
  std::int64_t totalSleptMs() const { return totalSleptMs_; }
  void SetUnixSeconds(std::int64_t s) { unixSeconds_ = s; }

 private:
  std::int64_t steadyMs_ = 0;
  std::int64_t unixSeconds_ = 1'700'000'000;
  std::int64_t sleeps_ = 0;
  std::int64_t totalSleptMs_ = 0;
};

// Installs a clock for the lifetime of the guard.
class ScopedClock {
 public:
  explicit ScopedClock(Clock& c) { SetClock(&c); }
  ~ScopedClock() { SetClock(nullptr); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace zv::platform
