// Operations on the rows of the import list: view the imported pages, print
// them, remove the row from the list, remove the pages from the binder.
//
// Viewing and printing are done by the viewer's companion tools, programs
// in the viewer's program folder ("Quillet" shows pages, "Dunmore" prints,
// "Ormley" opens the work desk). A tool gets an operation file in the
// program folder (deleted before each use, so a stale answer is never read)
// and answers with Result in it. While a tool works on a binder the list
// holds the binder's "~Imp_Locked"; it never holds the binder's
// "~Write.Locked" while a tool runs.
//
// An import's pages are found by their keyword tokens: page i of an import
// carries "<Keyword>_<i> " in its keyword (the first Page<n>Content value).
// The first-page token must stand on exactly one page and the following
// pages must carry _2, _3, ... in order; otherwise the binder was edited
// since the import (or two imports share one second) and nothing is
// removed. Rows of the monitor's imports (Keyword "0") are looked up by
// their Time's tokens for viewing and printing and are never removed here.
//
// Everything here blocks (tool runs up to their limit, lock waits, page
// searches with retries): callers on a window thread run the operations
// through OperationRunner and show the messages when it reports back.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "implist/collate.h"

namespace zv::implist {

// ---- texts -----------------------------------------------------------------
// Ids of the import list's string table used by the operations.
enum OpsTextId : int {
  kTxtViewOneRowOnly = 301,
  kTxtWorkDeskMissing = 302,
  kTxtWorkDeskFailed = 303,
  kTxtViewNotice1 = 304,  // the four lines of the notice while the viewer starts
  kTxtViewNotice2 = 305,
  kTxtViewNotice3 = 306,
  kTxtViewNotice4 = 307,
  kTxtPageNotFound = 308,
  kTxtBinderBusy = 309,
  kTxtViewerFailedCode = 310,  // "%d": the tool's result
  kTxtViewerFailed = 311,
  kTxtViewerMissing = 312,
  kTxtFileMissing = 313,
  kTxtNoApplication = 314,
  kTxtPrintFailed = 315,
  kTxtPagesEdited = 316,
  kTxtBinderNotFound = 317,
  kTxtConfirmRemoveList = 318,
  kTxtConfirmCaption = 319,
  kTxtConfirmRemoveBinder = 320,
  kTxtRemoveNotice1 = 321,  // the four lines of the progress notice of a removal
  kTxtRemoveNotice2 = 322,
  kTxtRemoveNotice3 = 323,
  kTxtRemoveNotice4 = 324,
  kTxtBinderMissing = 325,
  kTxtBinderBusyRemove = 326,
  kTxtElectronicData = 327,
  kTxtBinderEdited = 328,
  kTxtRemoveFailed = 329,  // "%d-%d(ERROR=%d)": first page, last page, code
  kTxtRemoveDone = 330,
  kTxtCollecting = 331,
  kTxtMonitorImportKept = 332,
  kTxtToolStopped = 333,  // "%d": seconds
};
// The text of an id in the user's language.
std::string OpsText(int id);
// The text with its placeholders filled in order.
std::string OpsText(int id, const std::vector<std::string>& values);

// ---- operation files -----------------------------------------------------
inline constexpr const char* kViewFileName = "~ImpView.ini";
inline constexpr const char* kPrintFileName = "~ImpPrint.ini";
inline constexpr const char* kRemoveFileName = "~ImpRemove.ini";
inline constexpr const char* kViewInputSection = "Quillet_Input";
inline constexpr const char* kViewOutputSection = "Quillet_Output";
inline constexpr const char* kBinderInputSection = "Dunmore_Input";
inline constexpr const char* kBinderOutputSection = "Dunmore_Output";
inline constexpr const char* kResultKey = "Result";
// The list's own lock in a binder folder while a tool or a removal works on it.
inline constexpr const char* kImpLockName = "~Imp_Locked";

// The tools in the viewer's program folder.
inline constexpr const char* kViewTool = "Quillet";
inline constexpr const char* kBinderTool = "Dunmore";
inline constexpr const char* kWorkDeskTool = "Ormley";

// Dunmore's actions.
inline constexpr int kActionRemove = 1;
inline constexpr int kActionPrint = 2;

// Writes the view operation file afresh (an old one is deleted first):
// [Quillet_Input] DspSizeMode "0", DspErrMsg "1", WaitMode "0", KeyDspMode,
// ShowPswDlg "1". Never a password. False when it cannot be written.
bool WriteViewFile(const std::string& path, int keyDspMode);

// The location and page keys of a binder operation file.
struct BinderOperation {
  int action = kActionPrint;
  std::string linkFolderPath, libraryName, cabinetName;
  std::string opeFilePath;  // the binder's page file, with the extension ".pdf"
  int startPage = 0, endPage = 0;
  int printDialog = 0;  // PrintDlgDsp: 1 lets the tool ask for the destination
};
// Writes [Dunmore_Input] afresh: Action, LinkFolderPath, LibraryName,
// CabinetName, OpeFilePath, PrintStartPage, PrintEndPage ("%d"), PrintDlgDsp.
bool WriteBinderOperationFile(const std::string& path, const BinderOperation& op);

// Result of the tool's output section; -1 when missing or not a number.
int ReadToolResult(const std::string& path, std::string_view section);

// ---- tool runs -----------------------------------------------------------
struct ToolRun {
  enum class Status { Finished, Missing, NotStarted, TimedOut, Cancelled };
  Status status = Status::NotStarted;
  int exitCode = -1;
};
// <viewer program folder>/<name>; "" when the viewer's folder is unknown.
std::string ToolPath(std::string_view name);
// Starts `program` with `args` and waits for its end: a look every 100 ms
// through the process clock, so the limit runs on a test clock too. A tool
// still running after `limitMs` (or when `cancel` is set) is stopped.
ToolRun RunTool(const std::string& program, const std::vector<std::string>& args, int limitMs,
                const std::atomic<bool>* cancel = nullptr);

// ---- where an import's pages are -------------------------------------------
struct ImportPages {
  enum class Status {
    Found,      // first..first+count-1
    NotFound,   // no page carries the first-page token
    Ambiguous,  // several pages carry it
    Edited,     // the following pages do not carry the tokens in order, or not `expected` of them
    NoBinder,   // the binder ini cannot be read
  };
  Status status = Status::NoBinder;
  int first = 0;  // 1-based counted page
  int count = 0;
};
// The pages of the import with `keyword` in the binder: the single page
// carrying "<keyword>_1 " and the run of pages after it carrying
// "<keyword>_2 ", "<keyword>_3 ", ... A token counts where it starts the
// page keyword or follows a blank, and ends the keyword or is followed by a
// blank (a stored keyword's trailing blank does not survive the ini read). With `expected` > 0 the run must be that
// long (a last page without a token is the blank that made a sent run even).
ImportPages FindImportPages(const std::string& binderFolder, const std::string& keyword, int expected = 0);

// ---- rows --------------------------------------------------------------------
struct Row {
  std::string section;  // of the local list file
  Record record;
};
// The row's record from the list file; nullopt (and a trace line) when it
// cannot be read.
std::optional<Row> ReadRow(const std::string& listFile, const std::string& section);

// A message for the user, shown in order when the operation reports back.
struct OpMessage {
  int id = 0;
  std::string text;
  bool error = true;
};
struct OpResult {
  std::vector<OpMessage> messages;
  std::vector<std::string> removedSections;  // rows taken out of the list
  bool ok = false;                           // every row done
};

// What the operations need from the installation.
struct OpContext {
  std::string programFolder;   // operation files go here
  std::string listFile;        // the local list (ImpListData.ini)
  std::string settingsFile;    // Quibbin.ini: DeleteLockFlag during removals
  int viewLimitSeconds = 300;  // the view tool is given up on after this
  int printLimitSeconds = 1800;
  int lockTimeoutSeconds = 10;  // ~Imp_Locked and ~Write.Locked waits
  int findRetries = 10;         // page searches while the binder ini cannot be read, 1 s apart
  int printDialog = 0;          // PrintDlgDsp for print runs
  const std::atomic<bool>* cancel = nullptr;
  // This installation's: P = ProgramFolder(), P/Rslt/ImpListData.ini, P/Quibbin.ini.
  static OpContext Load();
};

// View ("Run Viewer", "Run Viewer(Edit)" with edit): exactly one row. A
// work-desk row starts Ormley; a row whose binder path is no binder opens
// its File with the desktop's application; otherwise Quillet shows the
// binder at the import's first page (page 1 with a notice when it is not
// found).
OpResult ViewRows(const OpContext& ctx, const std::vector<Row>& rows, bool edit);
// Print: every row's pages through Dunmore, one after the other.
OpResult PrintRows(const OpContext& ctx, const std::vector<Row>& rows);
// Remove from binder: per row, under the row's binder's ~Imp_Locked and
// ~Write.Locked, the pages found by the exact tokens go through Fennet's
// DelPageFromBinder; removed rows leave the list. DeleteLockFlag is "1" in
// Quibbin.ini for the run and "0" again on every way out.
OpResult RemoveRowsFromBinder(const OpContext& ctx, const std::vector<Row>& rows);
// Remove from list: the sections go from the list file in one write. False
// when it cannot be written (the list is then unchanged).
bool RemoveRowsFromList(const std::string& listFile, const std::vector<std::string>& sections);

// ---- running an operation off the window thread ----------------------------
// One operation at a time on a thread of its own; `done` is called on that
// thread with the result (a window posts it to itself). The destructor asks
// the operation to stop and waits for it.
class OperationRunner {
 public:
  OperationRunner() = default;
  ~OperationRunner();
  OperationRunner(const OperationRunner&) = delete;
  OperationRunner& operator=(const OperationRunner&) = delete;

  // False while an operation runs (nothing is started).
  bool Start(std::function<OpResult(const std::atomic<bool>& cancel)> work, std::function<void(OpResult)> done);
  bool busy() const { return busy_.load(); }

 private:
  std::mutex mutex_;
  std::thread thread_;
  std::atomic<bool> busy_{false};
  std::atomic<bool> cancel_{false};
};

}  // namespace zv::implist
