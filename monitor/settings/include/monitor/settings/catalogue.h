// Readers of the settings file's keys, with every clamping rule, and the
// contents of a fresh settings file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "companion/services.h"
#include "monitor/settings/env_files.h"

namespace zv::monitor {

// [Product], [Option] and the general keys of [AutoFileRead] and
// [FaxMonitor], clamped as the monitor uses them.
struct MonitorOptions {
  // [Product]
  std::string productName;  // default kIdsProductName
  std::string version;      // default kIdsVersionDefault
  std::string user;         // at most 20 characters
  std::string company;
  std::string hostName;
  long long lastModified = 0;

  // [Option]
  int monitorStatus = 0;
  int monitorLog = 0;
  int faxMonitorSet = 0;
  int impListEnabled = 1;
  int impListPopup = 0;
  int addContents = 0;          // bAddContents
  int maxUser = 50;             // below 1 means 50
  int disableSearchBinder = 0;  // 0 or 1; other values 0
  int maxRecursive = 3;
  int maxSetNumber = 1050;
  int serviceMode = 0;  // kept only for the SYSTEM (root) user
  std::string installMode = "client";
  bool serverInstall = false;  // InstallMode == "server" (case-sensitive)
  int recreateBinder = 1;
  bool recreatedBinderCheck = false;  // on when RecreateBinder is 0
  int checkCommonUser = 0;
  int moveSucceeded = 0, moveFailed = 0;
  int succeededTerm = 30, failedTerm = 30;
  int writeWaitCounter = 100;
  int wait = 1000;
  int waitLocal = 1000, waitNetwork = 5000;  // negative or >= 2147483647: default
  int retryNum = 5;                          // 5 to 1000, else 5
  int skipLogEnabled = 0, skipLogInterval = 600, skipLogTerm = 10;
  int impResultLogEnabled = 0;
  int impResultMaxRecord = 200;
  int impLogFlg = 1;
  std::string impLogDir;
  int impLogTerm = 30;
  int showBalloon = -1;
  int timeBalloon = 5;  // 1 to 99, else 5
  std::string currentFolder;
  std::string linkFolder[3];
  std::string binderIniSetDateSec, binderIniSetDateKey;
  int backup = 0;
  std::string backupFolder;
  int noUse = 0;

  // [AutoFileRead] general keys
  int setTotal = 5;      // read with default -1: negative means unreadable
  int setTotalMax = 30;  // must be positive
  int dropFolder = 0;    // 0 .. setTotal-1, else 0

  // [FaxMonitor] SetTotalMax
  int faxSetTotalMax = 1000;  // must be positive
};

// `userName` decides whether ServiceMode is kept (only for "root", the
// counterpart of the SYSTEM account).
MonitorOptions ReadMonitorOptions(const std::string& settingsFile, std::string_view userName);

// Start-up validity of the general values: 0 when usable, else the message
// id of the first fault (kIdsSettingsUnreadable: SetTotal unreadable,
// kIdsSetTotalMaxInvalid: SetTotalMax not positive,
// kIdsFaxSetTotalMaxInvalid: fax SetTotalMax not positive).
int ValidateSettingCounts(const MonitorOptions& options);

// One auto-file setting in memory. Fax settings and sort-folder links are
// turned into the same record before the folder check.
struct AutoFileSetting {
  int check = 0;               // bCheck<N>; works only when exactly 1
  int print = 0;               // fax entries only
  int workDesk = 0;            // bWorkDesk<N>
  int succeededFolderSet = 0;  // SucceededFolder<N> was given
  int failedFolderSet = 0;     // FailedFolder<N> was given
  int recursive = 0;           // bRecursive<N>
  int hideSaveFolders = 0;     // sort-folder links: the "Success"/"Fail" folders made are hidden
  std::string targetFolder;
  std::string targetBinder;
  std::string linkFolder;  // derived
  std::string succeededFolder;
  std::string failedFolder;
  int succeededTerm = 0;  // days; -1 in the file takes the [Option] value
  int failedTerm = 0;
  int moveSucceeded = 0;  // -1 in the file takes the [Option] value
  int moveFailed = 0;
  int insertPos = 1;   // 1 or 2
  int checkTimer = 0;  // minutes
  std::string setName;
  std::string deleteDate;  // YYYYMMDD of the last clean-up
  int importMode = 0;      // fax entries only
  int setNumber = 0;
  int pageCount = 0;    // written by the insertion
  std::string setDate;  // at most 15 characters
  int targetOnNetwork = 0;
  int linkOnNetwork = 0;
  int resultFoldersOnNetwork = 0;  // succeeded or failed folder
  int textInfoFlag = 0;            // 0 to 7
  std::string textInfo;            // at most 50 bytes
  int sendResult = 2;              // 0 to 3
  int userCount = 0;
  std::string users;  // recipient names joined with ","
  int searchBinder = 0;
  // The names the folder check imports: "*.*" every name; a fax setting's
  // imported-file name (an empty mask matches nothing).
  std::string fileMask = "*.*";
};

// What the setting reader needs besides the settings file.
struct SettingContext {
  std::string workDeskFolder;           // empty when the work desk is unknown
  std::string viewerCurrentFolder;      // the viewer's [Folder] CurrentFolder
  std::string successName = "Success";  // kIdsSuccessFolderName
  std::string failName = "Fail";        // kIdsFailFolderName
  bool detectNetwork = true;            // fill the network flags
  // The per-user settings file where the work-desk refresh points work-desk
  // settings at this user's work desk ([AutoFileRead] TarBinder<N>); its
  // value wins over the shared file's for a setting with bWorkDesk<N> = 1.
  std::string userSettingsFile;
};
// Context for the running installation (work-desk folder passed in).
SettingContext DefaultSettingContext(std::string workDeskFolder);

// The link folder a target binder belongs to: its path minus binder, cabinet
// and library ("" when it has fewer components).
std::string LinkFolderOfBinder(std::string_view targetBinder);

// Reads setting `n` (1-based). False, with `out` untouched, when one of the
// first SendUser<n>count recipient names is empty.
bool ReadAutoFileSetting(const std::string& settingsFile, int n, const MonitorOptions& options,
                         const SettingContext& context, AutoFileSetting& out);

// Reads settings 1 to min(SetTotal, SetTotalMax) into `settings` (grown to
// SetTotalMax when smaller) and then writes [Option] Modified=0 under the
// environment lock. Reading stops at a setting whose recipient list has an
// empty name: that setting and the rest keep their old values,
// kIdsRecipientsUnreadable is shown under the product-name caption
// (exclamation icon) and traced, Modified is cleared all the same (the file
// is only read, and the message shown, again once a writer raises it) and the
// result is false.
bool ReadAutoFileSettings(const EnvFiles& env, const MonitorOptions& options, const SettingContext& context,
                          std::vector<AutoFileSetting>& settings);

// [exceptFiles] and [exceptExt]: names and extensions never imported. Empty
// entries are dropped; matching ignores ASCII case.
struct ExceptLists {
  std::vector<std::string> files;
  std::vector<std::string> extensions;  // without a leading "."
  bool IsExceptedFile(std::string_view fileName) const;
  bool IsExceptedExtension(std::string_view extension) const;
  // Name or extension of a path's last component.
  bool Excludes(std::string_view path) const;
};
ExceptLists ReadExceptLists(const std::string& settingsFile);

// Writes a complete settings file with every key of the catalogue at its
// default (SetTotal settings with their per-setting keys), in one
// replacement. Existing content of other programs is kept. False when the
// file could not be written.
bool WriteDefaultSettings(const std::string& settingsFile);

}  // namespace zv::monitor
