// Texts of the tray program: the monitor string table's (ids and
// MonitorText in monitor/settings/text_ids.h) and the version dialog's own.
#pragma once

#include "monitor/settings/text_ids.h"

namespace zv::monitor::ui {

// Static texts of the version dialog.
inline constexpr const char* kTextVersion = "Version";
inline constexpr const char* kTextUser = "User";
inline constexpr const char* kTextCompany = "Company";

}  // namespace zv::monitor::ui
