// The real clock, keeping every pause the engine asked for, with its asked
// length, so that a bench can tell the pauses the monitor is built to make
// from the time its work took.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "monitor/watch/engine.h"
#include "platform/clock.h"
#include "platform/iocounts.h"
#include "testing/median.h"

namespace zv::monitor::bench {

class PauseRecorder : public platform::Clock {
 public:
  explicit PauseRecorder(platform::Clock& real) : real_(real) {}
  std::int64_t SteadyMs() override { return real_.SteadyMs(); }
  std::int64_t UnixSeconds() override { return real_.UnixSeconds(); }
  void SleepMs(std::int64_t ms) override {
    const std::int64_t from = real_.SteadyMs();
    real_.SleepMs(ms);
    const std::int64_t to = real_.SteadyMs();
    std::lock_guard<std::mutex> hold(mutex_);
    pauses_.push_back({from, to, ms});
  }
  // Milliseconds of pauses within [from, to]; with `asked`, only the pauses
  // of those asked lengths.
  std::int64_t PausedWithin(std::int64_t from, std::int64_t to, const std::vector<std::int64_t>& asked = {}) {
    std::lock_guard<std::mutex> hold(mutex_);
    std::int64_t sum = 0;
    for (const Pause& p : pauses_) {
      if (!asked.empty() && std::find(asked.begin(), asked.end(), p.asked) == asked.end()) continue;
      sum += std::max<std::int64_t>(0, std::min(p.to, to) - std::max(p.from, from));
    }
    return sum;
  }
  // Pauses that began within [from, to], by their asked length: count.
  void CountWithin(std::int64_t from, std::int64_t to, std::map<std::int64_t, int>& out) {
    std::lock_guard<std::mutex> hold(mutex_);
    for (const Pause& p : pauses_)
      if (p.from >= from && p.from <= to) ++out[p.asked];
  }

 private:
  struct Pause {
    std::int64_t from, to, asked;
  };
  platform::Clock& real_;
  std::mutex mutex_;
  std::vector<Pause> pauses_;
};

// The pauses the monitor makes by design for every file: the blink wait
// (200 ms steps while the tray icon blinks), `Wait` after the insertion and
// after the source handling, the second before the next entry and the
// library's second after the insertion.
inline const std::vector<std::int64_t> kDesignPauseLengths = {200, 1000};

// A headless watch engine on a program folder, started at once; the thread
// is stopped (joined) when the engine goes.
struct RunningEngine {
  explicit RunningEngine(const std::string& program) {
    InitWatchFrame(frame, program, &shell);
    frame.trayShown.store(shell.RestoreIcon());
    watch.Start(frame);
  }
  // Waits until the start-up work and the first cycle have passed.
  void AwaitFirstCycle() const {
    while (frame.cycles.load() < 1) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  HeadlessShell shell;
  WatchFrame frame;
  WatchThread watch;
};

using zv::testing::Median;

// One line "<heading>: 100ms x4.0 1000ms x1.0": the pauses asked, by length,
// each count divided by `per` (files, drops or starts).
inline void PrintPausesByLength(const char* heading, const std::map<std::int64_t, int>& kinds, double per) {
  std::printf("%s:", heading);
  for (const auto& [ms, count] : kinds) std::printf(" %lldms x%.1f", static_cast<long long>(ms), count / per);
  std::printf("\n");
}

// Lock and replacement work between two readings, per import.
struct IoPerImport {
  double locks = 0, settlePauses = 0, busyPolls = 0, replacements = 0, settingsReplacements = 0, statusReplacements = 0,
         fsyncs = 0, fsyncMs = 0, resolutions = 0;
};

inline IoPerImport PerImport(const platform::IoCounts& a, const platform::IoCounts& b, std::int64_t settingsA,
                             std::int64_t settingsB, std::int64_t statusA, std::int64_t statusB, int imports) {
  IoPerImport r;
  if (imports <= 0) return r;
  const double n = imports;
  r.locks = static_cast<double>(b.lockAcquisitions - a.lockAcquisitions) / n;
  r.settlePauses = static_cast<double>(b.lockSettlePauses - a.lockSettlePauses) / n;
  r.busyPolls = static_cast<double>(b.lockBusyPolls - a.lockBusyPolls) / n;
  r.replacements = static_cast<double>(b.fileReplacements - a.fileReplacements) / n;
  r.fsyncs = static_cast<double>(b.fsyncs - a.fsyncs) / n;
  r.fsyncMs = static_cast<double>(b.fsyncMicros - a.fsyncMicros) / 1000.0 / n;
  r.resolutions = static_cast<double>(b.pathResolutions - a.pathResolutions) / n;
  r.settingsReplacements = static_cast<double>(settingsB - settingsA) / n;
  r.statusReplacements = static_cast<double>(statusB - statusA) / n;
  return r;
}

}  // namespace zv::monitor::bench
