// What the settings dialog's target-folder and other pages read and save,
// free of any window. A page keeps every key as the text it read, so a save
// writes back exactly what was read where the user changed nothing; every
// save goes through the safe write and raises the page's change flag.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "monitor/settings/env_files.h"

namespace zv::monitor {

// The keys of one numbered setting as read: key name without its number ->
// text. Recipients are kept apart (SendUser<n>count, SendUser<n>user<m>).
struct RawSetting {
  std::map<std::string, std::string> keys;
  std::vector<std::string> users;
  bool hasUserCount = false;  // SendUser<n>count was present (or was set)

  bool Has(const std::string& base) const { return keys.count(base) != 0; }
  std::string Text(const std::string& base, const std::string& fallback = "") const;
  int Int(const std::string& base, int fallback) const;
  void Set(const std::string& base, const std::string& value) { keys[base] = value; }
  void Set(const std::string& base, int value) { keys[base] = std::to_string(value); }
  void SetUsers(std::vector<std::string> list);
};

// The per-setting key names of [AutoFileRead] (without their numbers).
const std::vector<std::string>& TargetSettingKeys();

struct TargetEntry {
  RawSetting raw;
  // The monitored folder when read ("" for a new setting): a changed folder
  // starts its daily clean-up afresh (DeleteFolderDate emptied).
  std::string readFolder;
  // Changed in the dialog (new settings too): only these are checked, so a
  // setting nobody touched (its folder on a share that is away just now)
  // does not keep the others from being saved.
  bool edited = false;
};

struct TargetPageData {
  std::vector<TargetEntry> entries;  // list order = numbering on save
  int setTotalMax = 30;
  int readTotal = 0;                           // SetTotal as read
  std::map<std::string, std::string> general;  // DropFolder, SetTotalMax as read
  std::map<std::string, std::string> option;   // CurrentFolder, MaxSetNumber, move_succeeded, move_failed
  int backup = 0;
  std::string backupFolder;
  int impResultLogEnabled = 0;
  std::string binderSetDateSection, binderSetDateKey;
};

// Reads [AutoFileRead] settings 1 to min(SetTotal, SetTotalMax). nullopt
// with the message id (kIdsSettingsUnreadable: SetTotal unreadable,
// kIdsSetTotalMaxInvalid: SetTotalMax not positive) in `failId`.
std::optional<TargetPageData> LoadTargetPage(const std::string& settingsFile, int* failId = nullptr);

// A new setting with the defaults of the settings file's catalogue and the
// next free set number.
TargetEntry NewTargetEntry(const TargetPageData& page, int maxSetNumber);

// Saves the page through the safe write: DropFolder first, SetTotalMax,
// SetTotal, [Option] CurrentFolder, every setting in list order (an empty
// DeleteFolderDate where the monitored folder changed), every per-setting key
// of a number above the new SetTotal removed, [Option] move_succeeded and
// move_failed rewritten as read, Modified=1 and LastModified. Then the backup
// copy ([Option] Backup 1 and an existing BackupFolder) and the copy into
// <program folder>/AutoImpInfo (ImpResultLogEnabled 1). False when the save
// failed (the file is then as before).
bool SaveTargetPage(const EnvFiles& env, const TargetPageData& page);
// The parts of SaveTargetPage: the keys written into `file` (a safe write's
// ".new" copy, so several pages can share one replacement), and the copies
// made once the file is in place.
bool WriteTargetPage(const std::string& file, const TargetPageData& page);
void CopyAfterTargetSave(const EnvFiles& env, const TargetPageData& page);

// The creation stamp of a binder as the recreated-binder test reads it (at
// most 15 characters; "" when unreadable). Read without the binder's write
// lock: the binder's ini file is replaced in one step, so a read sees either
// state.
std::string ReadBinderStamp(const std::string& binder, const std::string& section, const std::string& key);
// The binder was made after the setting (the setting's stamp is older).
bool BinderNewerThan(const std::string& setDate, const std::string& binderStamp);

// The other page: [Option] keys with their documented defaults.
struct OtherPageData {
  // As read (absent keys have no entry).
  std::map<std::string, std::string> read;
  // Changed by the user.
  std::map<std::string, std::string> changed;
  int impListEnabled = 1;
  int impLogFlg = 1;

  std::string Value(const std::string& key) const;  // changed, read, else the default
  int IntValue(const std::string& key) const;
  void Change(const std::string& key, const std::string& value) { changed[key] = value; }
};
// The keys of the other page and their defaults when read: ImpListPopup 0,
// bAddContents 0, ShowBalloon -1, ImpLogTerm 30, ImpLogDir "".
std::optional<OtherPageData> LoadOtherPage(const std::string& settingsFile);
// Writes ShowBalloon, ImpLogTerm and ImpLogDir (when ImpLogFlg is on),
// bAddContents, ImpListPopup (when ImpListEnabled is on): each the user's
// value, else exactly what was read (an absent key stays absent); raises
// Modified so the running monitor takes the values over. Then refreshes the
// link folders' result-area copies.
bool SaveOtherPage(const EnvFiles& env, const OtherPageData& page);
// Its keys alone, into `file` (see WriteTargetPage).
bool WriteOtherPage(const std::string& file, const OtherPageData& page);

}  // namespace zv::monitor
