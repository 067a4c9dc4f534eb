// Texts of the tray program: the monitor string table where it has the text,
// the program's own English texts otherwise.
#pragma once

#include <string>

namespace zv::monitor::ui {

// Resource ids used by the tray program.
inline constexpr int kIdsProductName = 20010;
inline constexpr int kIdsVersionDefault = 20018;
inline constexpr int kIdsTrayFailed = 57731;
inline constexpr int kIdsImportStarted = 63257;
inline constexpr int kIdsImportSucceeded = 63258;
inline constexpr int kIdsBalloonText = 63259;
inline constexpr int kIdsImportFailed = 63260;

// The text of a monitor resource string, with the program's fallbacks for
// the ids above.
std::string UiString(int id);

inline constexpr const char* kTextExit = "Exit";
inline constexpr const char* kTextVersionInformation = "Version Information";
inline constexpr const char* kTextVersion = "Version";
inline constexpr const char* kTextUser = "User";
inline constexpr const char* kTextCompany = "Company";
inline constexpr const char* kTextSettingDialog = "Setting Dialog";
inline constexpr const char* kTextQueryEndCaption = "Close Zorvan Folder Monitor Software";
inline constexpr const char* kTextQueryEnd =
    "Cannot logoff, shutdown or reboot now.\nFiles are currently being processed. \n\n"
    "Please wait until the Zorvan Folder Monitor Software has finished, \nthen try again.";

}  // namespace zv::monitor::ui
