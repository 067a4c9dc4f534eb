// The monitor's requests over the single-instance channel
// (ui/common/instance_channel.h): a later copy sends "raise", or "settings"
// when started with "-p" or "-ps".
#pragma once

#include <string>
#include <vector>

#include "ui/common/instance_channel.h"

namespace zv::monitor::ui {

inline constexpr const char* kRequestRaise = "raise";
inline constexpr const char* kRequestSettings = "settings";

// The monitor's trace tag.
inline constexpr const char* kTraceTag = "_Hopvale";

// The requests a running monitor acts on.
inline std::vector<std::string> MonitorRequests() { return {kRequestRaise, kRequestSettings}; }

}  // namespace zv::monitor::ui
