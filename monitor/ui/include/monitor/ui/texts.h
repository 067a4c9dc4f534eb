// Texts of the tray program: all come from the monitor string table.
#pragma once

#include <string>

namespace zv::monitor::ui {

// Resource ids used by the tray program.
inline constexpr int kIdsProductName = 20010;
inline constexpr int kIdsVersionDefault = 20018;
inline constexpr int kIdsTrayFailed = 57731;
inline constexpr int kIdsVersionInformation = 57664;  // the about command's id
inline constexpr int kIdsExit = 57665;                // the exit command's id
inline constexpr int kIdsImportStarted = 63257;
inline constexpr int kIdsImportSucceeded = 63258;
inline constexpr int kIdsBalloonText = 63259;
inline constexpr int kIdsImportFailed = 63260;
inline constexpr int kIdsQueryEnd = 64001;
inline constexpr int kIdsQueryEndCaption = 64002;

// The text of a monitor resource string ("" for an unknown id).
std::string UiString(int id);

// Static texts of the version dialog.
inline constexpr const char* kTextVersion = "Version";
inline constexpr const char* kTextUser = "User";
inline constexpr const char* kTextCompany = "Company";

}  // namespace zv::monitor::ui
