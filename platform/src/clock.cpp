// The process clock: real time, optionally sped up for tests, or an injected one.
#include "platform/clock.h"

#include <ctime>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace zv::platform {

namespace {

class RealClock : public Clock {
 public:
  RealClock() : start_(std::chrono::steady_clock::now()) {
    if (const char* s = std::getenv("ZV_TEST_TIMESCALE")) {
      char* end = nullptr;
      double v = std::strtod(s, &end);
      if (end != s && v > 1.0 && v < 1e6) scale_ = v;
    }
  }

  std::int64_t SteadyMs() override {
    auto elapsed = std::chrono::steady_clock::now() - start_;
    double ms = std::chrono::duration<double, std::milli>(elapsed).count() * scale_;
    // Offset so that steady time never starts at zero (callers may use 0 as "unset").
    return static_cast<std::int64_t>(ms) + kBaseMs;
  }

  std::int64_t UnixSeconds() override {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  }

  void SleepMs(std::int64_t ms) override {
    if (ms <= 0) {
      std::this_thread::yield();
      return;
    }
    double real = static_cast<double>(ms) / scale_;
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(real));
  }

 private:
  static constexpr std::int64_t kBaseMs = 1'000'000;
  std::chrono::steady_clock::time_point start_;
  double scale_ = 1.0;
};

RealClock& DefaultClock() {
  static RealClock clock;
  return clock;
}

std::atomic<Clock*> g_clock{nullptr};

}  // namespace

Clock& GetClock() {
  Clock* c = g_clock.load(std::memory_order_acquire);
  return c ? *c : DefaultClock();
}

void SetClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

std::string LocalTimeText(std::int64_t unixSeconds, const char* format) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return {};
  char buf[128];
  const std::size_t n = std::strftime(buf, sizeof buf, format, &tm);
  return std::string(buf, n);
}

}  // namespace zv::platform
