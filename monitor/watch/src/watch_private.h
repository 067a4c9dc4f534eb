// Helpers shared by the engine's own source files; not part of its interface.
#pragma once

#include <source_location>
#include <string>

#include "monitor/watch/engine.h"

namespace zv::monitor {

// One skip: the skip-log entry (with the path it names), the trace line
// (under the caller's file and line), then the pause before the next file
// or setting.
void SkipFile(WatchFrame& frame, int code, int setting, const std::string& logged, const std::string& trace,
              int pauseMs, std::source_location where = std::source_location::current());
// The same for a skip whose entry names no path.
void SkipSetting(WatchFrame& frame, int code, int setting, const std::string& trace, int pauseMs,
                 std::source_location where = std::source_location::current());

}  // namespace zv::monitor
