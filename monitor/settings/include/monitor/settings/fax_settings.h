// The fax watch's settings, section [FaxMonitor] of the settings file: the
// fax folder, its save folders and clean-up, the numbered fax settings (each
// with the imported-file name that selects its documents) and the "other"
// setting for documents no numbered setting takes. Readers with every
// clamping rule, the writer the settings sheet saves with, and the turning of
// one fax setting into the auto-file record the folder check works on.
#pragma once

#include <string>
#include <vector>

#include "monitor/settings/catalogue.h"
#include "monitor/settings/env_files.h"

namespace zv::monitor {

inline constexpr const char* kFaxSection = "FaxMonitor";
// Fax settings are handed to the folder check as 10000 + n, the other one as -1.
inline constexpr int kFaxSettingBase = 10000;
inline constexpr int kFaxOtherSetting = -1;

// One numbered fax setting, or the other setting (whose mask is unused).
struct FaxEntry {
  int check = 0;     // bCheck<n> / OtherEnabled; works only when exactly 1
  int workDesk = 0;  // bWorkDesk<n> / OtherbWorkDesk
  int setNumber = 0;
  std::string setName;     // stored inside double quotes
  std::string targetName;  // the imported-file name: the mask of the documents
  int importMode = 0;      // 0 binder, 1 plain folder named by targetBinder
  std::string targetBinder;
  std::string linkFolder;  // derived from the binder; empty for the work desk and mode 1
  int insertPos = 1;       // 1 or 2
  int print = 0;
  std::string setDate;   // at most 15 characters
  int textInfoFlag = 0;  // 0 to 7
  std::string textInfo;  // at most 50 bytes
  int sendResult = 2;    // 0 to 3
  int userCount = 0;     // 0 to MaxUser
  std::string users;     // recipient names joined with ","
  int searchBinder = 0;  // as stored (0 or 1)
};

struct FaxSettings {
  int enabled = 0;
  std::string targetFolder;  // the fax folder
  int recursive = 0;
  // 1 deletes the source after the import; 0 (and every other stored value)
  // moves it into the save folder.
  int moveSucceeded = 1, moveFailed = 0;
  std::string succeededFolder, failedFolder;  // as stored ("" means the defaults)
  int succeededTerm = -1, failedTerm = -1;    // -1 takes the [Option] value
  int checkTimer = 0;                         // minutes, 0 or more
  std::string deleteDate;                     // YYYYMMDD of the last clean-up
  int setTotalMax = 1000;
  std::vector<FaxEntry> entries;  // SetTotal of them, in the order they are tried
  FaxEntry other;
  // The fax folder, or its save folders, on a network drive (wait choice).
  int onNetwork = 0;
  // [Option] CurrentFolder, the folder the settings dialog last browsed to:
  // written with the section ("" leaves the key as it is); not read.
  std::string currentFolder;

  // The retention the clean-up uses: the own term, or the [Option] one.
  int EffectiveSucceededTerm(const MonitorOptions& options) const;
  int EffectiveFailedTerm(const MonitorOptions& options) const;
};

// Reads [FaxMonitor] into `out`. Clamps: SetTotal to 0..SetTotalMax (a
// SetTotalMax below 1 reads as 1000); move_succeeded and move_failed other
// than 0 and 1 read as 0 (a missing move_succeeded as 1, a missing
// move_failed as 0); terms outside -1..999 as -1; a negative checkTimer as
// 0; InsertPos outside 1..2 as 1; TextInfoFlag outside 0..7 as 0;
// SendResult outside 0..3 as 2; a recipient count below 0 or above MaxUser
// as 0; ImpMode other than 0 and 1 as 0; SetNumber -1 as n; SearchBinder
// only when [Option] DisableSearchBinder is 1, else 0. bWorkDesk follows the
// binder's equality with the work-desk folder as for auto-file settings.
// False when a recipient name among the first SendUser<n>count is empty:
// that setting and the rest keep the values `out` had.
bool ReadFaxSettingsFrom(const std::string& settingsFile, const MonitorOptions& options, const SettingContext& context,
                         FaxSettings& out);

// The watch's re-read: ReadFaxSettingsFrom, then [Option] FaxModified=0
// under the environment lock (also after a failed read, whose message is
// shown once, as for auto-file settings).
bool ReadFaxSettings(const EnvFiles& env, const MonitorOptions& options, const SettingContext& context,
                     FaxSettings& out);

// Writes [FaxMonitor] as the settings sheet saves it, into `file` (the
// caller holds the environment lock; the safe write passes its ".new"
// copy): Enabled first (false at once when that write fails), the general
// keys, SetTotal, [Option] CurrentFolder, every entry's keys in order, and the other setting's
// keys when `writeOther`; recipient keys beyond a count are removed. The
// change flag is the caller's (WriteChangeFlag). False when a write failed.
bool WriteFaxSettings(const std::string& file, const FaxSettings& settings, bool writeOther = true);

// The auto-file record the folder check gets for fax setting n (1-based) or,
// with n == kFaxOtherSetting, for the other setting: the fax folder as
// target folder, the save folders and move modes of the fax watch, the
// entry's binder, mask and notice keys.
AutoFileSetting FaxRecord(const FaxSettings& fax, int n, const MonitorOptions& options);

}  // namespace zv::monitor
