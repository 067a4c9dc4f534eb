#include "implist/operations.h"

#include <cstdlib>
#include <utility>

#include "binderlib/binderini.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "companion/services.h"
#include "companion/strings.h"
#include "companion/trace.h"
#include "keywordpage/Fennet.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "store/store.h"

#define ZV_OPS_TRACE(msg) ZV_TRACE("_ImpList", (msg))

namespace zv::implist {
namespace {

namespace ini = platform::ini;
namespace bl = companion::binder;

constexpr const char* kSettingsSection = "ImpListSettings";
constexpr const char* kDeleteLockFlag = "DeleteLockFlag";
constexpr int kToolPollMs = 100;
// Answers of the print tool beside 0 (its other negative answers are failures).
constexpr int kPrintNoBinder = -2;
constexpr int kPrintRangeOutside = -3;
constexpr int kPrintCancelled = -4;

void Add(OpResult& r, int id, bool error = true) { r.messages.push_back({id, OpsText(id), error}); }
void Add(OpResult& r, int id, const std::vector<std::string>& values) {
  r.messages.push_back({id, OpsText(id, values), true});
}

bool Cancelled(const OpContext& ctx) { return ctx.cancel != nullptr && ctx.cancel->load(); }

bool IsBinderFolder(const std::string& folder) {
  return !folder.empty() && platform::IsFolder(folder) && platform::IsFile(bl::BinderIniPath(folder));
}

// A token stands where it starts the page keyword or follows a blank, and
// ends it or is followed by a blank (the ini read drops a trailing blank).
// With `open` only the start is checked (a prefix such as "<keyword>_").
bool HasToken(const std::string& keyword, const std::string& token, bool open = false) {
  for (std::size_t at = keyword.find(token); at != std::string::npos; at = keyword.find(token, at + 1)) {
    const std::size_t end = at + token.size();
    if ((at == 0 || keyword[at - 1] == ' ') && (open || end == keyword.size() || keyword[end] == ' ')) return true;
  }
  return false;
}

std::string Token(const std::string& keyword, int i) { return keyword + "_" + std::to_string(i); }

// The keyword an import's pages carry: the record's Keyword, or for the
// monitor's imports (Keyword "0") the import time.
std::string SearchKeyword(const Record& r) {
  const std::string k = r.Get("Keyword");
  return k == "0" || k.empty() ? r.Get("Time") : k;
}
bool MonitorImport(const Record& r) {
  const std::string k = r.Get("Keyword");
  return k == "0" || k.empty();
}

// The import's pages, searched again once a second while the binder ini
// cannot be read (a writer may be replacing it).
ImportPages FindWithRetries(const OpContext& ctx, const std::string& folder, const std::string& keyword, int expected) {
  ImportPages at;
  for (int i = 0;; ++i) {
    at = FindImportPages(folder, keyword, expected);
    if (at.status != ImportPages::Status::NoBinder || i + 1 >= ctx.findRetries || Cancelled(ctx)) return at;
    platform::SleepMs(1000);
  }
}

// Any lock of the store's table held in the binder folder, or another
// list's ~Imp_Locked.
bool BinderLocked(const std::string& folder) {
  return !store::HeldLocks(folder).empty() || bl::LockHeld(folder, kImpLockName);
}

// The binder's page file as the tools are given it: "<folder>/<name>.pdf".
std::string ToolPageFile(const std::string& folder) { return bl::MainPageFilePath(folder, false); }

// "~Imp_Locked" of a binder for the scope; released on every way out.
class ImpLock {
 public:
  ImpLock(const std::string& folder, int timeoutSeconds)
      : folder_(folder), lock_(platform::AcquireShortLockFile(folder, kImpLockName, timeoutSeconds)) {}
  ~ImpLock() {
    if (lock_) platform::ReleaseLockFile(lock_, folder_, kImpLockName);
  }
  ImpLock(const ImpLock&) = delete;
  ImpLock& operator=(const ImpLock&) = delete;
  explicit operator bool() const { return lock_.valid(); }

 private:
  std::string folder_;
  platform::HeldLock lock_;
};

// DeleteLockFlag "1" in Quibbin.ini while removals run (the monitor skips
// its imports meanwhile); "0" again when the scope ends, whichever way.
class DeleteLockFlagScope {
 public:
  explicit DeleteLockFlagScope(std::string file) : file_(std::move(file)) {
    if (!file_.empty()) ini::WriteString(file_, kSettingsSection, kDeleteLockFlag, "1");
  }
  ~DeleteLockFlagScope() {
    if (!file_.empty() && !ini::WriteString(file_, kSettingsSection, kDeleteLockFlag, "0"))
      ZV_OPS_TRACE("DeleteFromBinder: DeleteLockFlag could not be cleared in " + file_);
  }
  DeleteLockFlagScope(const DeleteLockFlagScope&) = delete;
  DeleteLockFlagScope& operator=(const DeleteLockFlagScope&) = delete;

 private:
  std::string file_;
};

// The message of a tool run that did not finish by itself; false when it did.
bool ToolRunProblem(OpResult& r, const ToolRun& run, int limitSeconds, int startFailedId) {
  switch (run.status) {
    case ToolRun::Status::Finished: return false;
    case ToolRun::Status::TimedOut: Add(r, kTxtToolStopped, {std::to_string(limitSeconds)}); return true;
    case ToolRun::Status::Cancelled: return true;
    case ToolRun::Status::Missing:
    case ToolRun::Status::NotStarted: Add(r, startFailedId); return true;
  }
  return true;
}

OpResult ViewWorkDesk(const OpContext& ctx) {
  OpResult r;
  const std::string tool = ToolPath(kWorkDeskTool);
  if (tool.empty() || !platform::IsFile(tool)) {
    Add(r, kTxtWorkDeskMissing);
    return r;
  }
  const ToolRun run = RunTool(tool, {}, ctx.viewLimitSeconds * 1000, ctx.cancel);
  if (ToolRunProblem(r, run, ctx.viewLimitSeconds, kTxtWorkDeskFailed)) return r;
  if (run.exitCode != 0) {
    Add(r, kTxtWorkDeskFailed);
    return r;
  }
  r.ok = true;
  return r;
}

// A row whose binder path is an ordinary folder (a sort folder): its file
// opens in the desktop's application.
OpResult ViewFolderRow(const Record& rec) {
  OpResult r;
  const std::string file = rec.Get("File");
  if (file.empty() || !platform::IsFile(file)) {
    Add(r, kTxtFileMissing);
  } else if (!platform::ShellOpen(file)) {
    Add(r, kTxtNoApplication);
  } else {
    r.ok = true;
  }
  return r;
}

}  // namespace

std::string OpsText(int id) { return companion::LoadString(companion::StringTable::ImportList, id); }

std::string OpsText(int id, const std::vector<std::string>& values) {
  return platform::FillInOrder(OpsText(id), values);
}

// ---- operation files -------------------------------------------------------

bool WriteViewFile(const std::string& path, int keyDspMode) {
  if (!platform::RemoveFile(path)) return false;
  ini::WriteGroup group(path);
  if (!group.ok()) return false;
  bool ok = ini::WriteString(path, kViewInputSection, "DspSizeMode", "0");
  ok = ini::WriteString(path, kViewInputSection, "DspErrMsg", "1") && ok;
  ok = ini::WriteString(path, kViewInputSection, "WaitMode", "0") && ok;
  ok = ini::WriteInt(path, kViewInputSection, "KeyDspMode", keyDspMode) && ok;
  ok = ini::WriteString(path, kViewInputSection, "ShowPswDlg", "1") && ok;
  return group.Commit() && ok;
}

bool WriteBinderOperationFile(const std::string& path, const BinderOperation& op) {
  if (!platform::RemoveFile(path)) return false;
  ini::WriteGroup group(path);
  if (!group.ok()) return false;
  const char* s = kBinderInputSection;
  bool ok = ini::WriteInt(path, s, "Action", op.action);
  ok = ini::WriteString(path, s, "LinkFolderPath", op.linkFolderPath) && ok;
  ok = ini::WriteString(path, s, "LibraryName", op.libraryName) && ok;
  ok = ini::WriteString(path, s, "CabinetName", op.cabinetName) && ok;
  ok = ini::WriteString(path, s, "OpeFilePath", op.opeFilePath) && ok;
  ok = ini::WriteInt(path, s, "PrintStartPage", op.startPage) && ok;
  ok = ini::WriteInt(path, s, "PrintEndPage", op.endPage) && ok;
  ok = ini::WriteInt(path, s, "PrintDlgDsp", op.printDialog) && ok;
  return group.Commit() && ok;
}

int ReadToolResult(const std::string& path, std::string_view section) {
  const std::string v = ini::GetString(path, section, kResultKey);
  const auto n = bl::ParseStrictInt(v);
  return n ? *n : -1;
}

// ---- tool runs ---------------------------------------------------------------

std::string ToolPath(std::string_view name) {
  const std::string folder = companion::ViewerProgramFolder();
  return folder.empty() ? std::string() : platform::JoinPath(folder, name);
}

ToolRun RunTool(const std::string& program, const std::vector<std::string>& args, int limitMs,
                const std::atomic<bool>* cancel) {
  ToolRun r;
  if (program.empty() || !platform::IsFile(program)) {
    r.status = ToolRun::Status::Missing;
    return r;
  }
  platform::Process p = platform::Process::Spawn(program, args);
  if (!p.valid()) {
    ZV_OPS_TRACE("RunTool: cannot start " + program);
    return r;
  }
  const std::int64_t start = platform::SteadyMs();
  for (;;) {
    if (!p.IsRunning()) {
      r.status = ToolRun::Status::Finished;
      r.exitCode = p.Wait(0);
      return r;
    }
    const bool cancelled = cancel != nullptr && cancel->load();
    if (cancelled || platform::SteadyMs() - start >= limitMs) {
      ZV_OPS_TRACE(std::string("RunTool: ") + (cancelled ? "cancelled, " : "no end within the limit, ") + "stopping " +
                   program);
      p.Terminate(2000);
      r.status = cancelled ? ToolRun::Status::Cancelled : ToolRun::Status::TimedOut;
      return r;
    }
    platform::SleepMs(kToolPollMs);
  }
}

// ---- pages of an import --------------------------------------------------------

ImportPages FindImportPages(const std::string& binderFolder, const std::string& keyword, int expected) {
  ImportPages at;
  const bl::BinderSummary b = bl::ReadBinder(binderFolder, false);
  if (!b.exists || !platform::ReadFile(b.iniPath)) return at;  // NoBinder
  at.status = ImportPages::Status::NotFound;
  if (keyword.empty()) return at;
  std::vector<const std::string*> pages;  // keywords of the counted pages
  for (const auto& p : b.pages)
    if (p.flag != bl::kPageFlagNoFile) pages.push_back(&p.keyword);
  const std::string first = Token(keyword, 1);
  int found = -1;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (!HasToken(*pages[i], first)) continue;
    if (found >= 0) {
      at.status = ImportPages::Status::Ambiguous;
      return at;
    }
    found = static_cast<int>(i);
  }
  if (found < 0) return at;
  const std::size_t from = static_cast<std::size_t>(found);
  std::size_t count = 1;
  while (from + count < pages.size() && HasToken(*pages[from + count], Token(keyword, static_cast<int>(count) + 1)))
    ++count;
  // A sent run made even by a blank page: the blank carries no token.
  const std::string any = keyword + "_";
  if (expected > 0 && static_cast<int>(count) == expected - 1 && expected % 2 == 0 && from + count < pages.size() &&
      platform::Trim(*pages[from + count]).empty())
    ++count;
  at.first = found + 1;
  at.count = static_cast<int>(count);
  // Tokens of this import anywhere outside the run: pages moved or copied.
  bool strayTokens = false;
  for (std::size_t i = 0; i < pages.size() && !strayTokens; ++i)
    if ((i < from || i >= from + count) && HasToken(*pages[i], any, true)) strayTokens = true;
  at.status = (strayTokens || (expected > 0 && at.count != expected)) ? ImportPages::Status::Edited
                                                                      : ImportPages::Status::Found;
  return at;
}

// ---- rows ------------------------------------------------------------------------

std::optional<Row> ReadRow(const std::string& listFile, const std::string& section) {
  Row row;
  row.section = section;
  if (!ReadRecord(listFile, section, row.record)) {
    ZV_OPS_TRACE("Get ImplistData.ini failed");
    return std::nullopt;
  }
  return row;
}

OpContext OpContext::Load() {
  OpContext c;
  c.programFolder = platform::ProgramFolder();
  c.listFile = platform::JoinPath(platform::JoinPath(c.programFolder, "Rslt"), "ImpListData.ini");
  c.settingsFile = platform::JoinPath(c.programFolder, "Quibbin.ini");
  return c;
}

OpResult ViewRows(const OpContext& ctx, const std::vector<Row>& rows, bool edit) {
  OpResult r;
  if (rows.size() != 1) {
    Add(r, kTxtViewOneRowOnly);
    return r;
  }
  const Record& rec = rows.front().record;
  if (rec.Get("bWorkDesk") == "1") return ViewWorkDesk(ctx);
  const std::string folder = rec.Get("BinderPath");
  if (!IsBinderFolder(folder)) {
    if (!folder.empty() && platform::IsFolder(folder)) return ViewFolderRow(rec);
    Add(r, kTxtBinderNotFound);
    return r;
  }
  const ImportPages at = FindWithRetries(ctx, folder, SearchKeyword(rec), 0);
  if (at.status == ImportPages::Status::NoBinder) {
    Add(r, kTxtBinderNotFound);
    return r;
  }
  int start = 1;
  // An edited run still starts where its single first page is.
  if (at.status == ImportPages::Status::Found || at.status == ImportPages::Status::Edited) {
    start = at.first;
  } else {
    Add(r, kTxtPageNotFound, false);
  }
  if (BinderLocked(folder)) {
    Add(r, kTxtBinderBusy);
    return r;
  }
  const std::string tool = ToolPath(kViewTool);
  if (tool.empty() || !platform::IsFile(tool)) {
    Add(r, kTxtViewerMissing);
    return r;
  }
  const std::string opFile = platform::JoinPath(ctx.programFolder, kViewFileName);
  if (!WriteViewFile(opFile, 0)) {
    ZV_OPS_TRACE("ViewOperation: cannot write " + opFile);
    Add(r, kTxtViewerFailed);
    return r;
  }
  ToolRun run;
  {
    ImpLock lock(folder, ctx.lockTimeoutSeconds);
    if (!lock) {
      Add(r, kTxtBinderBusy);
      return r;
    }
    run = RunTool(tool, {ToolPageFile(folder), std::to_string(start), edit ? "1" : "0", opFile},
                  ctx.viewLimitSeconds * 1000, ctx.cancel);
  }
  if (ToolRunProblem(r, run, ctx.viewLimitSeconds, kTxtViewerFailed)) return r;
  const int result = ReadToolResult(opFile, kViewOutputSection);
  if (result != 0) {
    ZV_OPS_TRACE("ViewOperation: the viewer answered " + std::to_string(result));
    Add(r, kTxtViewerFailedCode, {std::to_string(result)});
    return r;
  }
  r.ok = true;
  return r;
}

OpResult PrintRows(const OpContext& ctx, const std::vector<Row>& rows) {
  OpResult r;
  if (rows.empty()) {
    ZV_OPS_TRACE("PrintOperation:No items were selected!");
    return r;
  }
  const std::string tool = ToolPath(kBinderTool);
  const std::string opFile = platform::JoinPath(ctx.programFolder, kPrintFileName);
  bool all = true;
  for (const Row& row : rows) {
    if (Cancelled(ctx)) return r;
    const Record& rec = row.record;
    const std::string folder = rec.Get("BinderPath");
    if (!IsBinderFolder(folder)) {
      Add(r, kTxtBinderNotFound);
      all = false;
      continue;
    }
    const int expected = MonitorImport(rec) ? 0 : std::atoi(rec.Get("Page").c_str());
    const ImportPages at = FindWithRetries(ctx, folder, SearchKeyword(rec), expected);
    if (at.status != ImportPages::Status::Found) {
      Add(r, at.status == ImportPages::Status::NoBinder ? kTxtBinderNotFound : kTxtPagesEdited);
      all = false;
      continue;
    }
    if (BinderLocked(folder)) {
      Add(r, kTxtBinderBusy);
      all = false;
      continue;
    }
    if (tool.empty() || !platform::IsFile(tool)) {
      Add(r, kTxtPrintFailed);
      return r;
    }
    const std::string cabinet = platform::ParentFolder(platform::TrimTrailingSeparator(folder));
    const std::string library = platform::ParentFolder(cabinet);
    BinderOperation op;
    op.action = kActionPrint;
    op.linkFolderPath = rec.Get("LinkFolderPath").empty() ? platform::ParentFolder(library) : rec.Get("LinkFolderPath");
    op.libraryName = platform::LastComponent(library);
    op.cabinetName = platform::LastComponent(cabinet);
    op.opeFilePath = ToolPageFile(folder);
    op.startPage = at.first;
    op.endPage = at.first + at.count - 1;
    op.printDialog = ctx.printDialog;
    if (!WriteBinderOperationFile(opFile, op)) {
      ZV_OPS_TRACE("PrintOperation: cannot write " + opFile);
      Add(r, kTxtPrintFailed);
      all = false;
      continue;
    }
    ToolRun run;
    {
      ImpLock lock(folder, ctx.lockTimeoutSeconds);
      if (!lock) {
        Add(r, kTxtBinderBusy);
        all = false;
        continue;
      }
      run = RunTool(tool, {opFile}, ctx.printLimitSeconds * 1000, ctx.cancel);
    }
    if (ToolRunProblem(r, run, ctx.printLimitSeconds, kTxtPrintFailed)) {
      all = false;
      continue;
    }
    const int result = ReadToolResult(opFile, kBinderOutputSection);
    if (result != 0) {
      ZV_OPS_TRACE("PrintOperation: the print tool answered " + std::to_string(result));
      all = false;
      // The user cancelled the choice of printer: nothing to tell.
      if (result != kPrintCancelled)
        Add(r, result == kPrintNoBinder       ? kTxtBinderNotFound
               : result == kPrintRangeOutside ? kTxtPagesEdited
                                              : kTxtPrintFailed);
    }
  }
  r.ok = all;
  return r;
}

OpResult RemoveRowsFromBinder(const OpContext& ctx, const std::vector<Row>& rows) {
  OpResult r;
  if (rows.empty()) return r;
  DeleteLockFlagScope flag(ctx.settingsFile);
  bool all = true;
  for (const Row& row : rows) {
    if (Cancelled(ctx)) {
      all = false;
      break;
    }
    const Record& rec = row.record;
    if (MonitorImport(rec)) {
      Add(r, kTxtMonitorImportKept);
      all = false;
      continue;
    }
    const std::string folder = rec.Get("BinderPath");
    if (!IsBinderFolder(folder)) {
      Add(r, kTxtBinderMissing);
      all = false;
      continue;
    }
    if (BinderLocked(folder)) {
      Add(r, kTxtBinderBusyRemove);
      all = false;
      continue;
    }
    ImpLock imp(folder, ctx.lockTimeoutSeconds);
    if (!imp) {
      Add(r, kTxtBinderBusyRemove);
      all = false;
      continue;
    }
    // The search and the deletion under the binder's short lock, so no
    // insertion changes the pages in between.
    bl::ShortLock write(folder, ctx.lockTimeoutSeconds);
    if (!write || bl::TestBinderOpen(folder) != bl::OpenState::Free || bl::SendOperationActive(folder)) {
      Add(r, kTxtBinderBusyRemove);
      all = false;
      continue;
    }
    const int expected = std::atoi(rec.Get("Page").c_str());
    const ImportPages at = FindImportPages(folder, rec.Get("Keyword"), expected);
    if (at.status == ImportPages::Status::NoBinder) {
      Add(r, kTxtBinderMissing);
      all = false;
      continue;
    }
    if (at.status != ImportPages::Status::Found || expected <= 0) {
      ZV_OPS_TRACE("DeleteFromBinder: the pages of " + rec.Get("Keyword") + " are not where the import put them");
      Add(r, kTxtBinderEdited);
      all = false;
      continue;
    }
    const int last = at.first + at.count - 1;
    const std::string pageFile = bl::MainPageFilePath(folder, !bl::ReadBinder(folder, false).password.empty());
    const int rc = DelPageFromBinder(pageFile.c_str(), at.first, last, 0);
    write.Release();
    if (rc == FENNET_DEL_OK) {
      r.removedSections.push_back(row.section);
      continue;
    }
    ZV_OPS_TRACE("DeleteFromBinder: DelPageFromBinder " + std::to_string(at.first) + "-" + std::to_string(last) +
                 " gave " + std::to_string(rc));
    all = false;
    if (rc == FENNET_DEL_EBOOK) {
      Add(r, kTxtElectronicData);
    } else {
      Add(r, kTxtRemoveFailed, {std::to_string(at.first), std::to_string(last), std::to_string(rc)});
    }
  }
  if (!r.removedSections.empty()) {
    if (!RemoveRowsFromList(ctx.listFile, r.removedSections))
      ZV_OPS_TRACE("DeleteFromBinder: the removed rows could not be taken out of " + ctx.listFile);
    Add(r, kTxtRemoveDone, false);
  }
  r.ok = all;
  return r;
}

bool RemoveRowsFromList(const std::string& listFile, const std::vector<std::string>& sections) {
  if (sections.empty()) return true;
  ini::WriteGroup group(listFile);
  if (!group.ok()) return false;
  bool ok = true;
  for (const auto& s : sections) ok = ini::DeleteSection(listFile, s) && ok;
  return group.Commit() && ok;
}

// ---- runner ---------------------------------------------------------------------

OperationRunner::~OperationRunner() {
  cancel_.store(true);
  std::lock_guard<std::mutex> lock(mutex_);
  if (thread_.joinable()) thread_.join();
}

bool OperationRunner::Start(std::function<OpResult(const std::atomic<bool>& cancel)> work,
                            std::function<void(OpResult)> done) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (busy_.load()) return false;
  if (thread_.joinable()) thread_.join();
  busy_.store(true);
  cancel_.store(false);
  thread_ = std::thread([this, work = std::move(work), done = std::move(done)] {
    OpResult result;
    try {
      result = work(cancel_);
    } catch (const std::exception& e) {
      ZV_OPS_TRACE(std::string("Operation: unexpected failure: ") + e.what());
    }
    busy_.store(false);
    if (done) done(std::move(result));
  });
  return true;
}

}  // namespace zv::implist
