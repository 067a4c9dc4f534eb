// The monitor's texts: the ids of its string table and the one accessor.
// Every id the monitor's code uses is named here once; the codes of the skip
// log are string ids as well and are named with the skip log
// (monitor/log/skip_log.h).
#pragma once

#include <string>

namespace zv::monitor {

// The text of a monitor string id in the user's language ("" for an unknown
// id).
std::string MonitorText(int id);

// Product, version, start-up.
inline constexpr int kIdsProductName = 20010;
inline constexpr int kIdsVersionDefault = 20018;
inline constexpr int kIdsSuiteNotInstalled = 20097;
inline constexpr int kIdsViewerNotInstalled = 57683;
inline constexpr int kIdsViewerVersionUnusable = 63243;
inline constexpr int kIdsRestrictedUser = 20101;
inline constexpr int kIdsStartupErrorCaption = 20102;

// Settings.
inline constexpr int kIdsCannotSave = 20037;
inline constexpr int kIdsSetTotalMaxInvalid = 20098;
inline constexpr int kIdsSettingsUnreadable = 20099;
inline constexpr int kIdsFaxSetTotalMaxInvalid = 20100;
inline constexpr int kIdsSuccessFolderName = 57705;
inline constexpr int kIdsFailFolderName = 57706;
inline constexpr int kIdsRecipientsUnreadable = 63246;

// Tooltip words of the monitor statuses.
inline constexpr int kIdsStatusOffline = 20011;
inline constexpr int kIdsStatusOnline = 20012;
inline constexpr int kIdsStatusImporting = 20022;
inline constexpr int kIdsStatusError = 20023;
inline constexpr int kIdsStatusFaxWatch = 20025;
inline constexpr int kIdsStatusSortWatch = 63265;

// Files dropped on the program.
inline constexpr int kIdsDropMonitoredFolderMissing = 20019;
inline constexpr int kIdsDropNoMonitoredFolder = 20020;
inline constexpr int kIdsDropFailed = 20021;

// Monitor log lines (printf-style: setting number, time, then the rest).
inline constexpr int kIdsLogStartMonitor = 20076;
inline constexpr int kIdsLogStopMonitor = 20077;
inline constexpr int kIdsLogStartReading = 20078;
inline constexpr int kIdsLogFinishedReading = 20080;

// Import log results.
inline constexpr int kIdsImpLogOk = 20117;
inline constexpr int kIdsImpLogNg = 20118;

// Result list: results, patterns, header line.
inline constexpr int kIdsResultOk = 57669;
inline constexpr int kIdsResultNg = 57670;
inline constexpr int kIdsPatternTargetFolder = 57671;
inline constexpr int kIdsPatternFax = 57672;
inline constexpr int kIdsPatternFaxOther = 57673;
inline constexpr int kIdsUnknown = 57674;  // an unknown pattern, an unknown host name
inline constexpr int kIdsPatternSortFolder = 63266;
inline constexpr int kIdsSortLinkName = 63267;  // the setting name of a sort-folder link
inline constexpr int kIdsResultListHeader = 57675;

// Imports.
inline constexpr int kIdsSourceNotLibraryRoot = 20133;
inline constexpr int kIdsWorkArea = 57681;
inline constexpr int kIdsCannotLoadLibrary = 57684;     // "%s": the library
inline constexpr int kIdsWorkAreaImportFailed = 57685;  // "%d": the result

// Balloons.
inline constexpr int kIdsImportStarted = 63257;
inline constexpr int kIdsImportSucceeded = 63258;
inline constexpr int kIdsBalloonText = 63259;
inline constexpr int kIdsImportFailed = 63260;

// Tray program: menu items (their ids are the menu commands' ids as well),
// the icon failure, the wait at log-off.
inline constexpr int kIdsMenuStop = 40001;
inline constexpr int kIdsMenuStart = 40002;
inline constexpr int kIdsMenuSetting = 40003;
inline constexpr int kIdsMenuFileList = 40005;
inline constexpr int kIdsVersionInformation = 57664;
inline constexpr int kIdsExit = 57665;
inline constexpr int kIdsTrayFailed = 57731;
inline constexpr int kIdsQueryEnd = 64001;
inline constexpr int kIdsQueryEndCaption = 64002;

}  // namespace zv::monitor
