// Folder.ini of a link folder, library or cabinet: the child lists, read
// whole and checked, and the one way of appending a child (under the
// folder's short lock, limit checked, Folder.dat refreshed).
#pragma once

#include <string>
#include <vector>

namespace zv::companion::binder {

enum class Level { LinkFolder, Library, Cabinet };

// The section that holds the lists at a level: FolderInfo above cabinets,
// BinderInfo in a cabinet.
const char* ListSection(Level level);
// The most children a folder of that level may hold (6, 20, 21).
int ChildLimit(Level level);

struct FolderList {
  std::vector<std::string> entries;  // NameList as stored ("Ex" prefix kept)
  std::vector<std::string> names;    // folder names ("Ex" removed)
  std::vector<int> positions;        // PosList (cabinets), else 1..n
  std::vector<std::string> types;    // TypeList entries (may be empty)
  std::string edocNameList;          // EDOCNameList, whole (link folder, library)
  bool hasPosList = false;
  // Problems found while reading: lists of different length, an entry with
  // no folder, a position that is not a number, duplicates. Empty when sound.
  std::vector<std::string> problems;
  bool ok() const { return problems.empty(); }
};

// Reads <folder>/Folder.ini. A missing Folder.ini is an empty list with one
// problem ("Folder.ini missing"). With checkFolders, every name must be an
// existing sub-folder. The read takes nothing; callers that change the list
// use AppendChild.
FolderList ReadFolderList(const std::string& folder, Level level, bool checkFolders = true);

// Result of AppendChild.
enum class AppendResult {
  Ok = 0,
  LockFailed,    // the short lock could not be had
  LimitReached,  // the folder already holds ChildLimit(level) children
  Duplicate,     // the name is already listed
  Corrupt,       // the stored lists are inconsistent: nothing is written
  BadName,       // empty, contains "," or "/"
  WriteFailed,   // Folder.ini could not be written (unchanged)
};
const char* AppendResultText(AppendResult r);

// Under <folder>/~Write.Locked (timeoutSeconds): read the lists, check them
// and the limit, append `name` to NameList, "0" to TypeList where the level
// keeps one, the next position (max + 1) to PosList in a cabinet that has
// one (written with positions 1..n when it had none), write once, then copy
// Folder.ini to Folder.dat. The child folder itself is not touched.
AppendResult AppendChild(const std::string& folder, Level level, const std::string& name, int timeoutSeconds = 600);

// The same append for a caller that already holds <folder>/~Write.Locked.
AppendResult AppendChildHeld(const std::string& folder, Level level, const std::string& name);

// Copies <folder>/Folder.ini to <folder>/Folder.dat (atomic replace).
bool RefreshFolderDat(const std::string& folder);

// Writes a fresh Folder.ini for a new library or cabinet folder: from
// `templateIni` when it names a readable file (its content verbatim, lists
// emptied), else an empty list section; then Folder.dat.
bool WriteNewFolderIni(const std::string& folder, Level level, const std::string& templateIni = {});

}  // namespace zv::companion::binder
