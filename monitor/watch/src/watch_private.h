// Helpers shared by the engine's own source files; not part of its interface.
#pragma once

#include <cstdint>
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

// The checks of a target-folder setting before its walk, each skipping it
// (skip entry with setting number `n`, trace, pause) when it fails: the save
// folders, the target binder's write probe and its link folder (false
// skips); the monitored folder itself or a staged copy of it (`scanFolder`);
// room for `total` bytes of files.
bool DestinationsFit(WatchFrame& frame, const AutoFileSetting& record, int n);
bool ChooseScanFolder(WatchFrame& frame, const AutoFileSetting& record, int n, std::string& scanFolder);
bool RoomForFiles(WatchFrame& frame, const AutoFileSetting& record, int n, std::uint64_t total);

}  // namespace zv::monitor
