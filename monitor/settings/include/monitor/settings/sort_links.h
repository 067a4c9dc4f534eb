// The sort-folder links: section [FolderMonitorSet] of the settings file.
// Each link joins a binder-level folder of the sort folder to the binder that
// files dropped there go into. The settings page writes the section whole
// (SaveSortSettings); the watch thread reads it once per raised SortModified
// and writes back only the clean-up dates of its links.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "monitor/settings/env_files.h"

namespace zv::monitor {

inline constexpr const char* kSortSection = "FolderMonitorSet";
// The most links there can be (6 libraries x 20 cabinets x 21 binders).
inline constexpr int kSortLinksMax = 2520;

struct SortLink {
  std::string folder;      // TarFolder<k>: the binder-level folder
  std::string binder;      // TarBinder<k>: the binder folder
  int setNumber = 2;       // SetNumber<k>
  std::string deleteDate;  // DeleteFolderDate<k>: YYYYMMDD of the last clean-up
  std::string setDate;     // SetDate<k>: the binder's own creation stamp ("" when unreadable)
  int searchBinder = 0;    // SearchBinderFlag<k>: 0 or 1
};

struct SortSettings {
  int enabled = 0;                  // bEnabled: the watch runs only when exactly 1
  int setTotalMax = kSortLinksMax;  // 1 .. kSortLinksMax
  int checkTimer = 0;               // CheckTimer, minutes; negative reads 0
  int insertPos = 1;                // InsertPos: 1 or 2, other values 1
  int showSaveFolder = 0;           // ShowSaveFolder: 1 shows "Success"/"Fail", 0 hides them
  int moveSucceeded = 0;            // 1 deletes the source, anything else moves it (read as 0)
  int moveFailed = 0;
  int succeededTerm = 30;  // days, 0 .. 999; other values 30
  int failedTerm = 30;
  std::string sortFolder;       // SortFolder: the top folder
  std::string linkFolder;       // LinkFoder (spelled so): the link folder the tree mirrors
  std::vector<SortLink> links;  // links 1 .. SetTotal, at most setTotalMax

  int setTotal() const { return static_cast<int>(links.size()); }
  // The "Success"/"Fail" folders made for a link get the hidden attribute.
  bool hideSaveFolders() const { return showSaveFolder != 1; }
};

// Reads the whole section in one parse of the settings file, with the
// clamps above; text values trimmed, paths cut to 259 bytes, SetDate<k> to
// 15. A settings file that cannot be read (in the middle of being replaced)
// is tried again every 100 ms, up to 49 times; then "Get envsetinfo.ini
// failed" is traced and the result is false with `out` untouched.
bool ReadSortSettings(const std::string& settingsFile, SortSettings& out);

// The watch thread's read: a raised SortModified is set to 0 under the
// environment lock, then ReadSortSettings (a save made in between raises the
// flag again and is read next time). When the file cannot be read, the flag
// is raised again (the next cycle tries again) and `out` keeps the old links.
// A flag that was not raised is not written.
bool ReadSortLinks(const EnvFiles& env, SortSettings& out);

// A creation stamp as the recreated-binder test compares it: its decimal
// digits in order, separators dropped ("2026/12/08 10:30:00" and
// "20261208103000" alike give "20261208103000"; decimal seconds stay as they
// are), at most 15.
std::string CreationStampDigits(std::string_view stamp);

// The creation stamp of a binder ([Option] BinderINISetDateSec /
// BinderINISetDateKey of the settings file, read from the binder's own ini
// file) as CreationStampDigits gives it; "" when any of them is missing. The
// recreated-binder test compares SetDate<k> with this same stamp, so both are
// of one kind.
std::string BinderCreationStamp(const std::string& settingsFile, const std::string& binder);

// Writes the section into `file` (the ".new" copy of a safe write, or any
// file inside an open write group): the section is emptied first, so the
// keys of removed links vanish; then the general keys, every link's keys,
// SortModified = 1 in [option] and [Product] LastModified. Links beyond
// setTotalMax are not written. False when a write failed.
bool WriteSortSettings(const std::string& file, const SortSettings& settings);

// The page's save: every link's SetDate taken from its binder
// (BinderCreationStamp), then the safe write of the section
// (SafeWriteSettings with WriteSortSettings). The stamps are stored into
// `settings` too. False when the save failed (the file is then unchanged).
bool SaveSortSettings(const std::string& settingsFile, SortSettings& settings);

// The clean-up dates of the links listed (0-based indexes), written in one
// write group under the environment lock: one replacement of the settings
// file however many links were cleaned. Nothing is written for an empty list,
// nor while SortModified is raised (the links were saved anew meanwhile and
// may be numbered otherwise).
bool WriteSortDeleteDates(const EnvFiles& env, const SortSettings& settings, const std::vector<int>& indexes);

// The binder search filed into `after` instead of `before`: every link whose
// binder is `before` follows it (TarBinder<k> := after when it differs,
// SearchBinderFlag<k> := 1 when it was 0, SetDate<k> := `stamp`), in the file
// and in `settings`, each only when it differs; SortModified = 1 when
// anything was written. The caller
// holds the environment lock (the writes join its write group). True when
// anything was written.
bool FollowSearchedBinder(const std::string& settingsFile, SortSettings& settings, const std::string& before,
                          const std::string& after, const std::string& stamp);

}  // namespace zv::monitor
