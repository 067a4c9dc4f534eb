// The sort-folder core: a link folder's libraries, cabinets and binders
// mirrored as a tree of ordinary folders (the sort folder), in both
// directions, and the links from binder-level folders to binders.
//
// Qt-free. Everything the user sees goes through a `Ui`; the shared library
// gives it dialogs, the command prints.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "companion/trace.h"

namespace zv::sort {

// ---- titles and folder names ---------------------------------------------
// A two-line binder title holds the bytes 0x18 0x19 between its lines; its
// folder is named line 1, "$$", line 2, and the tree shows line 1, "..",
// line 2. These three functions are the only place where the forms meet.
std::string FolderNameOfTitle(std::string_view title);
std::string DisplayOfTitle(std::string_view title);
// The title a folder stands for, from the two parts the folder-name check
// gives ("A$$B" -> "A", "B" -> "A\x18\x19B"; a single part stays as it is).
std::string TitleOfParts(std::string_view line1, std::string_view line2);
// True when `name` is one usable path component: not empty, not "." or "..",
// no "/", no ",", no control character, at most 255 bytes.
bool SafeFolderName(std::string_view name);
// True for a name that names an overflow level or binder: the overflow-name
// split (GetSharpNum2) changes it. Such items never get a sort folder.
bool IsOverflowName(std::string_view name);

// ---- what the user sees -----------------------------------------------------
class Ui {
 public:
  virtual ~Ui() = default;
  // A message box (companion/common.h styles and results). The default goes
  // through the common library's message box.
  virtual int Message(const std::string& text, const std::string& caption, int style);
  // The modeless progress window: title, a bar over `total`, the item being
  // made and "(done/total)".
  virtual void ProgressOpen(const std::string& title, int total);
  virtual void ProgressStep(const std::string& item, int done, int total);
  virtual void ProgressClose();
  // The folder-name error dialog: `text` and a way to open the error list.
  virtual void ShowFolderErrors(const std::string& text, const std::string& listPath);
};

// One run of either direction.
struct Run {
  std::string linkFolder;
  std::string sortFolder;
  std::string linkName;
  companion::TraceSettings trace;  // enabled 0 writes nothing
  Ui* ui = nullptr;                // null: the default Ui
};

struct Outcome {
  int result = 0;                    // 1 something was created, else 0
  std::vector<std::string> created;  // paths made, in order
  bool nothingToCreate = false;
  std::string failure;  // the message shown when the run failed ("" otherwise)
};

// The trace line writer of the sort-folder library ("_Wimbrel").
void TraceLine(const Run& run, std::string_view file, int line, std::string_view message);

// ---- folders to binders ----------------------------------------------------
// Asks, checks the whole sort folder (limits, names, folders of the link
// folder that are not store items), then creates every library, cabinet and
// binder that has no counterpart yet, through the store. 1 when anything was
// created.
Outcome FromFolderToBinder(const Run& run, bool ask = true);

// ---- binders to folders ----------------------------------------------------
struct BinderNode {
  std::string title;       // as stored
  std::string display;     // line 1 ".." line 2
  std::string folderName;  // the sort folder's name for it
  std::string path;        // the binder folder
  bool ticked = false;
};
struct CabinetNode {
  std::string name, path;
  std::vector<BinderNode> binders;
};
struct LibraryNode {
  std::string name, path;
  std::vector<CabinetNode> cabinets;
};
struct BinderTree {
  std::string linkName;
  std::vector<LibraryNode> libraries;
  int TickedCount() const;
  void TickAll(bool ticked);
};
// The binders that can be mirrored: up to 6 libraries, 20 cabinets each, 21
// binders each, without secured and card binders and without overflow
// libraries, cabinets and binders.
BinderTree LoadBinderTree(const std::string& linkFolder, const std::string& linkName);

// Makes the sort folder, library, cabinet and binder folders of every ticked
// binder. Titles that cannot be folder names and ticked binders that would
// share one folder are reported and nothing is made. 1 on success.
Outcome BuildFoldersForBinders(const Run& run, const BinderTree& tree);

// Refuses a sort folder and a link folder that lie inside each other (or are
// one folder): then the run would make folders among the store's own.
bool FoldersApart(const Run& run);

// ---- the folder-name error list ----------------------------------------------
std::string FolderErrorListPath();
std::string UnmatchedListPath();
// 1 when there is no error list; else traces, shows the error dialog, 0.
int OpenFolderErrorList(const Run& run);

// ---- links -------------------------------------------------------------------
struct Link {
  std::string folder;  // the binder-level folder of the sort folder
  std::string binder;  // the binder folder it files into
  int setNumber = 2;
  std::string deleteFolderDate;
  int searchBinderFlag = 1;
};
struct LinkOptions {
  int maxLinks = 2520;
  // 1 hides the "Success" and "Fail" folders of every linked folder, 0 shows
  // them, -1 leaves them as they are.
  int hideSaveFolders = -1;
};
struct LinkResult {
  std::vector<Link> links;
  std::vector<std::string> unmatched;  // binder-level folders without a binder
  bool folderErrors = false;           // the error list exists afterwards
  bool tooMany = false;                // more folders than maxLinks
};
// Walks the sort folder and matches every binder-level folder with the
// binder of its cabinet whose title it stands for. The unmatched folders are
// also written to the unmatched list file (made anew).
LinkResult LinkSortFolder(const std::string& sortFolder, const std::string& linkFolder,
                          const LinkOptions& options = {});
// The readable summary of the links, one line each, "\n" terminated.
std::string LinksSummary(bool enabled, const std::string& sortFolder, const std::string& linkName,
                         const std::vector<Link>& links);

// ---- trace-log settings -------------------------------------------------------
// EnvSetInfo.ini of the program folder, [option]: TraceLogEnabled (0: result
// 0), TraceLogPath (default <program folder>/AutoImpInfo), TraceLogTerm
// (default 7). The folder must be an absolute local path; a missing one is
// made. 1 when tracing is on and the folder usable.
int ReadTraceLogInfoForSort(std::string& folder, int& keepDays);

}  // namespace zv::sort
