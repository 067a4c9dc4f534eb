// The input checks of the settings dialog, free of any window: each check
// adds its message (the text of its id, placeholders filled) to one
// collection, which the dialog shows in a single warning box.
//
// Folder comparisons ("same as", "inside", "duplicated") resolve symbolic
// links first and then compare whole path components, ignoring ASCII case:
// "/data/scan2" is not inside "/data/scan".
#pragma once

#include <string>
#include <vector>

namespace zv::monitor {

// The same folder after resolving links (components compared without ASCII
// case). Empty paths are never the same as anything.
bool SameFolder(const std::string& a, const std::string& b);
// `inner` lies strictly below `outer`.
bool FolderInside(const std::string& inner, const std::string& outer);

// The messages of one validation, in the order they were found.
class SheetErrors {
 public:
  // Adds the text of `id` with its placeholders filled in order.
  void Add(int id, const std::vector<std::string>& values = {});
  bool empty() const { return ids_.empty(); }
  const std::vector<int>& ids() const { return ids_; }
  // The collected messages, joined.
  std::string Messages() const;
  // The warning box's text: 20040 with the collected messages.
  std::string BoxText() const;
  void Append(const SheetErrors& other);

 private:
  std::vector<int> ids_;
  std::vector<std::string> texts_;
};

// A check interval typed as text: 0 to 360 minutes. Adds 20060 (empty),
// 20061 (not a number) or 20062 (outside 0-360); -1 then.
int CheckInterval(const std::string& text, SheetErrors& errors);

// A folder that some setting watches.
struct WatchedFolder {
  std::string folder;
  bool recursive = false;
};

// What the other pages watch, as currently entered in the dialog.
struct WatchedPlaces {
  std::vector<WatchedFolder> targets;  // target-folder settings in list order (empty: off)
  WatchedFolder fax;                   // empty folder: fax watch off
  std::string sortTop;                 // empty: sort-folder watch off (watches its whole tree)
  std::vector<std::string> linkFolders;
};

// One target-folder (or fax) setting as entered.
struct TargetCheck {
  bool enabled = true;
  std::string folder;
  bool recursive = false;
  std::string checkTimer;
  std::string binder;
  bool workDesk = false;
  int sendResult = 2;
  std::vector<std::string> users;
  std::string succeededFolder, failedFolder;  // explicit ones; empty: defaults
};

// A binder folder: "<folder>/<name>.ini" with a [BinderInfo] section, or a
// folder at or below one of the link folders.
bool IsStoreFolder(const std::string& folder, const std::vector<std::string>& linkFolders);

// The target binder of a setting: 57714 (with `kind`, `number`) when it is
// not a binder below a link folder, 57668 when it cannot be written.
void CheckTargetBinder(const std::string& binder, const std::string& kind, int number,
                       const std::vector<std::string>& linkFolders, SheetErrors& errors);
// 63254 when "Specify" has no user; 63246 when a name holds "," (it would
// be split into two people).
void CheckRecipients(int sendResult, const std::vector<std::string>& users, SheetErrors& errors);

// Setting `index` (0-based) of the target-folder page against the others
// and the other pages. Disabled settings are not checked.
void CheckTargetSetting(const std::vector<TargetCheck>& all, std::size_t index, const WatchedPlaces& places,
                        SheetErrors& errors);

// One fax setting as entered.
struct FaxEntryCheck {
  std::string targetName;  // the imported-file name mask
  std::string binder;
  bool workDesk = false;
  int sendResult = 2;
  std::vector<std::string> users;
};
struct FaxCheck {
  bool enabled = false;
  std::string folder;
  bool recursive = false;
  std::string checkTimer;
  std::vector<FaxEntryCheck> entries;
  bool otherEnabled = false;
  std::string otherBinder;
  bool otherWorkDesk = false;
  int otherSendResult = 2;
  std::vector<std::string> otherUsers;
};
// The fax page. `places.fax` is ignored (it is this page).
void CheckFaxPage(const FaxCheck& fax, const WatchedPlaces& places, SheetErrors& errors);

// The sort-folder page: top folder and the chosen link folder.
void CheckSortPage(const std::string& topFolder, const std::string& linkFolder, const WatchedPlaces& places,
                   SheetErrors& errors);

// One save destination of the input-file dialog.
enum class SaveFolderVerdict { Ok, Refused, AskCreate };
// `kind` is the setting kind (57703 or 57704 text), `which` "Success" or
// "Fail". Empty: 57688; relative: 57689; missing: AskCreate (57690 is then
// the question); not writable: 57697; the same as a watched folder, or inside
// one that includes subfolders: 57715 (target folder), 57716 (fax), 63278
// (sort tree).
SaveFolderVerdict CheckSaveFolder(const std::string& folder, const std::string& kind, const std::string& which,
                                  const WatchedPlaces& places, SheetErrors& errors);

// The attach-information text as stored: at most 50 bytes, cut on a
// character boundary.
inline constexpr std::size_t kTextInfoMaxBytes = 50;
std::string CutTextInfo(const std::string& text);

}  // namespace zv::monitor
