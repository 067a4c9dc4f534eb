// Insertion of a PDF's pages into a binder.
//
// Crash safety: the new page files are written first and synced, in
// batches (all files of a batch, then an fsync of each, then one of the
// folder); the binder ini is replaced atomically last, in one write group. Until that replacement the ini names none of
// the new files, so a crash at any point leaves a binder whose ini names only complete files. New files get ids above
// MaxPageID; files with such ids found on disk are leftovers of an interrupted insertion and are removed under the
// binder's lock before new ones are written, so they never collide.
#include <algorithm>
#include <initializer_list>
#include <new>
#include <optional>
#include <set>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "binderlib/moswell.h"
#include "binderlib/recover.h"
#include "companion/trace.h"
#include "pdfwork.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace zv::companion::binder {

namespace ini = platform::ini;

namespace {

InsertStepHook g_hook = nullptr;

void Step(const std::string& s) {
  if (g_hook) g_hook(s.c_str());
}

int Fail(InsertOutcome* out, int code, const std::string& why) {
  if (out) out->error = why;
  ZV_TRACE("_Binderlib", "AddInfoToBinder4: " + why + " (" + std::to_string(code) + ")");
  return code;
}

void TraceWarnings(const std::vector<std::string>& w, const std::string& what) {
  for (const auto& s : w) ZV_TRACE("_Binderlib", "AddInfoToBinder4: qpdf warning (" + what + "): " + s);
}

// Moves every "Page<n><suffix>" key of `section` with n >= from by `shift`.
// The values of the keys whose suffix is in `movedValues` are page numbers
// that move with the pages: a value of 1 or more is raised by `shift` too.
// All old keys are deleted before the new ones are written, so no key is
// overwritten while it still has to move.
bool ShiftPageKeys(const std::string& iniPath, const char* section, int from, int shift,
                   std::initializer_list<const char*> movedValues = {}) {
  const auto entries = ini::SectionEntries(iniPath, section);
  struct Move {
    std::string oldKey, newKey, value;
  };
  std::vector<Move> moves;
  for (const auto& [k, v] : entries) {
    auto p = ParsePageKey(k);
    if (!p || p->page < from) continue;
    std::string value = v;
    for (const char* suffix : movedValues) {
      if (!platform::EqualsNoCase(p->suffix, suffix)) continue;
      if (auto number = ParseStrictInt(v); number && *number >= 1) value = std::to_string(*number + shift);
    }
    moves.push_back({k, PageKey(p->page + shift, p->suffix), value});
  }
  bool ok = true;
  for (const auto& m : moves) ok = ini::DeleteKey(iniPath, section, m.oldKey) && ok;
  for (const auto& m : moves) ok = ini::WriteString(iniPath, section, m.newKey, m.value) && ok;
  return ok;
}

// Pages of `b` (numbers as before the insertion) that have a page file but
// no FilePageNumber, with the number they implicitly have in a single-file
// binder: their place among the pages with a page file.
std::vector<std::pair<int, int>> ImplicitFilePageNumbers(const BinderSummary& b) {
  std::set<int> explicitNumbers;
  for (const auto& [k, v] : ini::SectionEntries(b.iniPath, kSecPageInfo)) {
    auto p = ParsePageKey(k);
    if (p && platform::EqualsNoCase(p->suffix, kSufFilePageNumber) && !v.empty()) explicitNumbers.insert(p->page);
  }
  std::vector<std::pair<int, int>> out;
  int inFile = 0;
  for (const auto& p : b.pages) {
    if (p.flag == kPageFlagNoFile) continue;
    ++inFile;
    if (!explicitNumbers.count(p.number)) out.emplace_back(p.number, inFile);
  }
  return out;
}

int InsertLocked(const InsertRequest& rq, InsertOutcome* out) {
  Step("locked");
  BinderSummary b = ReadBinder(rq.binderFolder, true);
  if (!b.exists) return Fail(out, kInsertBinderAccess, "binder ini missing");
  if (!b.problems.empty()) {
    return Fail(out, kInsertBinderAccess, "binder inconsistent: " + b.problems.front());
  }
  if (b.cardBinder == 1) return Fail(out, kInsertCardBinder, "card-type binder");
  if (b.unarranged == 1) return Fail(out, kInsertTemporaryBinder, "temporary binder");
  if (b.version > kSupportedBinderVersion) {
    return Fail(out, kInsertUnsupported, "binder format version " + std::to_string(b.version));
  }
  std::string password;
  if (b.secured()) {
    if (!rq.securedBinder) return Fail(out, kInsertUnsupported, "secured binder");
    auto pw = moswell::DecodePassword(b.password);
    if (!pw || pw->empty()) return Fail(out, kInsertUnsupported, "binder password unreadable");
    password = *pw;
  }

  auto src = detail::OpenPdf(rq.pdfPath);
  TraceWarnings(src.warnings, "open");
  if (!src.error.empty()) return Fail(out, kInsertBadSource, src.error);
  Step("source-opened");
  const int n = static_cast<int>(src.pages.size());
  if (n > kMaxPagesPerInsertion) return Fail(out, kInsertTooManyPages, "too many pages");
  const int maxUpload = b.UploadLimit(kDefaultMaxUploadPageImport);
  // Pages without a page file of their own (flag 2) hold a place in the
  // page list but do not count.
  const int current = b.CountedPages();
  const int listed = static_cast<int>(b.pages.size());
  if (maxUpload <= 0 || current + n > maxUpload) {
    return Fail(out, kInsertPageLimit,
                std::to_string(current) + " + " + std::to_string(n) + " pages exceed " + std::to_string(maxUpload));
  }
  if (!rq.pageKeywords.empty() && static_cast<int>(rq.pageKeywords.size()) != n) {
    return Fail(out, kInsertKeywords, "keyword list does not match the page count");
  }
  // Texts that cannot be stored in an ini line are refused before anything
  // is written.
  auto oneLine = [](const std::string& t) { return t.find_first_of("\r\n") == std::string::npos; };
  for (const auto& k : rq.pageKeywords) {
    if (!oneLine(k)) return Fail(out, kInsertKeywords, "keyword with a line break");
  }
  if (rq.toc.add && !oneLine(rq.toc.text)) {
    return Fail(out, kInsertKeywords, "contents text with a line break");
  }
  const bool front = rq.insertPos == kInsertFront;
  const bool multi = b.filePageMode != 0;

  // 1. Page files.
  std::vector<int> ids;
  std::vector<std::string> warnings;
  std::optional<std::string> oldMain;  // single-file binder: the file before
  int oldFilePages = 0;                // single-file binder: its pages before
  auto rollback = [&] {
    if (oldMain) platform::WriteFileAtomic(MainPageFilePath(b.folder, b.secured()), *oldMain);
    // Nothing names the files written so far: remove them (the main file
    // goes back to its empty state).
    for (int done : ids) {
      const std::string f = PageFilePath(b.folder, done, b.secured());
      if (done == 1)
        platform::WriteFileAtomic(f, "");
      else
        platform::RemoveFile(f);
    }
  };
  if (multi) {
    RemoveOrphanPageFiles(b);
    // Pages are made one after another (qpdf objects are not shared between
    // threads) and written in batches: all files of a batch first, then one
    // sync pass over them and one sync of the folder. Nothing names these
    // files before the ini is replaced below, so they need no work file and
    // rename of their own.
    constexpr int kBatchFiles = 64;
    constexpr std::size_t kBatchBytes = 64u << 20;
    std::vector<std::string> bytes;
    std::vector<platform::NewFile> batch;
    std::string mainWritten;  // this batch replaced the empty main file
    auto flush = [&] {
      mainWritten.clear();
      Step("pages-made:" + std::to_string(bytes.size()));
      const int firstIndex = static_cast<int>(ids.size());
      batch.clear();
      for (std::size_t k = 0; k < bytes.size(); ++k) {
        const int id = b.maxPageId + 1 + firstIndex + static_cast<int>(k);
        const std::string path = PageFilePath(b.folder, id, b.secured());
        // Id 1 is the binder's main page file, which exists (empty) before
        // the first page: it is replaced atomically, never removed first.
        batch.push_back({path, bytes[k], id == 1});
        if (id == 1) mainWritten = path;
      }
      const bool written = platform::WriteNewFilesSynced(batch);
      if (!written && !mainWritten.empty()) platform::WriteFileAtomic(mainWritten, "");
      if (written) {
        for (std::size_t k = 0; k < bytes.size(); ++k)
          ids.push_back(b.maxPageId + 1 + firstIndex + static_cast<int>(k));
        Step("page-file:" + std::to_string(ids.back()));
      }
      bytes.clear();
      return written;
    };
    std::size_t pending = 0;
    for (int i = 0; i < n; ++i) {
      try {
        bytes.push_back(detail::WritePages(src, {static_cast<std::size_t>(i)}, password, warnings));
      } catch (...) {
        rollback();
        throw;
      }
      pending += bytes.back().size();
      if (static_cast<int>(bytes.size()) < kBatchFiles && pending < kBatchBytes && i + 1 < n) continue;
      pending = 0;
      if (!flush()) {
        rollback();
        return Fail(out, kInsertBinderAccess, "page file could not be written");
      }
    }
  } else {
    // Single-file binder: <name>.pdf rebuilt with the old and new pages.
    const std::string main = MainPageFilePath(b.folder, b.secured());
    detail::OpenedPdf old;
    const auto size = platform::FileSize(main);
    std::vector<detail::PageRef> refs;
    if (size && *size > 0) {
      old = detail::OpenPdf(main, password);
      TraceWarnings(old.warnings, "binder file");
      if (!old.error.empty()) return Fail(out, kInsertBinderAccess, "binder file: " + old.error);
    }
    std::vector<detail::PageRef> added;
    for (int i = 0; i < n; ++i) added.push_back({&src, static_cast<std::size_t>(i)});
    if (front) refs = added;
    oldFilePages = static_cast<int>(old.pages.size());
    for (std::size_t i = 0; i < old.pages.size(); ++i) refs.push_back({&old, i});
    if (!front) refs.insert(refs.end(), added.begin(), added.end());
    std::string bytes = detail::WritePageList(refs, password, warnings);
    oldMain = platform::ReadFile(main);
    if (!oldMain) oldMain = std::string();
    if (!platform::WriteFileAtomic(main, bytes)) {
      return Fail(out, kInsertBinderAccess, "binder file could not be written");
    }
  }
  TraceWarnings(warnings, "write");
  Step("pages-written");

  // 2. The binder ini, replaced once.
  const std::string& iniPath = b.iniPath;
  ini::WriteGroup group(iniPath, 60'000);
  if (!group.ok()) return Fail(out, kInsertBinderAccess, "binder ini locked");
  bool ok = true;
  const int first = front ? 1 : listed + 1;
  // A single-file binder's pages name their place in <name>.pdf; pages
  // filed before those numbers were written get them now.
  const auto implicitNumbers = multi ? std::vector<std::pair<int, int>>{} : ImplicitFilePageNumbers(b);
  if (front && listed > 0) {
    // Contents entries name the page they point at; in a single-file
    // binder the old pages also moved back in the file.
    if (multi) {
      ok = ShiftPageKeys(iniPath, kSecPageInfo, 1, n, {kSufContentNoPage}) && ok;
    } else {
      ok = ShiftPageKeys(iniPath, kSecPageInfo, 1, n, {kSufContentNoPage, kSufFilePageNumber}) && ok;
    }
    ok = ShiftPageKeys(iniPath, kSecEBookInfo, 1, n) && ok;
    ok = ShiftPageKeys(iniPath, kSecOcrText, 1, n) && ok;
  }
  for (const auto& [page, number] : implicitNumbers) {
    ok = ini::WriteInt(iniPath, kSecPageInfo, PageKey(front ? page + n : page, kSufFilePageNumber),
                       front ? number + n : number) &&
         ok;
  }
  const std::string name = b.name;
  for (int i = 0; i < n; ++i) {
    const int page = first + i;
    ok = ini::WriteInt(iniPath, kSecPageInfo, PageKey(page, kSufFlag), 0) && ok;
    if (multi) {
      const int id = ids[i];
      ok = ini::WriteInt(iniPath, kSecPageInfo, PageKey(page, kSufFilePageID), id) && ok;
      ok = ini::WriteString(iniPath, kSecPageInfo, PageKey(page, kSufFilePageName),
                            FolderName(PageFilePath(b.folder, id, b.secured()))) &&
           ok;
      ok = ini::WriteInt(iniPath, kSecPageInfo, PageKey(page, kSufFilePageNumber), 1) && ok;
    } else {
      ok = ini::WriteString(iniPath, kSecPageInfo, PageKey(page, kSufFilePageName),
                            FolderName(MainPageFilePath(b.folder, b.secured()))) &&
           ok;
      ok = ini::WriteInt(iniPath, kSecPageInfo, PageKey(page, kSufFilePageNumber),
                         front ? i + 1 : oldFilePages + i + 1) &&
           ok;
    }
    if (!rq.pageKeywords.empty()) {
      ok = ini::WriteString(iniPath, kSecPageInfo, PageKey(page, kSufContent), rq.pageKeywords[i]) && ok;
    }
  }
  if (rq.toc.add) {
    ok = ini::WriteInt(iniPath, kSecPageInfo, PageKey(first, kSufContentFlag), rq.toc.flag) && ok;
    ok = ini::WriteInt(iniPath, kSecPageInfo, PageKey(first, kSufContentType), rq.toc.type) && ok;
    ok = ini::WriteInt(iniPath, kSecPageInfo, PageKey(first, kSufContentNoPage), first) && ok;
    ok = ini::WriteString(iniPath, kSecPageInfo, PageKey(first, kSufContentText), rq.toc.text) && ok;
    ok = ini::WriteInt(iniPath, kSecPageInfo, kKeyContentTotal, b.contentTotal + 1) && ok;
  }
  ok = ini::WriteInt(iniPath, kSecBinderInfo, kKeyPageTotal, current + n) && ok;
  if (multi) ok = ini::WriteInt(iniPath, kSecPageInfo, kKeyMaxPageID, b.maxPageId + n) && ok;
  if (!ok) ZV_TRACE("_Binderlib", "AddInfoToBinder4: a page key was refused by the ini layer");
  if (!group.Commit()) {
    // The ini is unchanged, so the new page files are orphans: remove them.
    rollback();
    return Fail(out, kInsertBinderAccess, "binder ini could not be written");
  }
  Step("ini-written");
  if (out) {
    out->pagesInserted = n;
    out->firstPage = first;
    out->newIds = ids;
  }
  return kInsertOk;
}

}  // namespace

void SetInsertStepHook(InsertStepHook hook) { g_hook = hook; }

int AddInfoToBinder4(const InsertRequest& rq, InsertOutcome* out) {
  try {
    if (rq.binderFolder.empty() || rq.pdfPath.empty()) {
      return Fail(out, kInsertParameter, "empty binder or file path");
    }
    if (rq.insertPos != kInsertFront && rq.insertPos != kInsertBack) {
      return Fail(out, kInsertParameter, "bad insert position");
    }
    if (!platform::IsFile(rq.pdfPath)) return Fail(out, kInsertParameter, "source file missing");
    if (!platform::IsFolder(rq.binderFolder)) return Fail(out, kInsertBinderAccess, "binder folder missing");
    if (TestBinderOpen(rq.binderFolder) != OpenState::Free) {
      return Fail(out, kInsertBusy, "binder open in the viewer");
    }
    if (SendOperationActive(rq.binderFolder)) return Fail(out, kInsertBusy, "send operation running");
    ShortLock lock(rq.binderFolder, rq.lockTimeoutSeconds);
    if (!lock) return Fail(out, kInsertBusy, "binder locked");
    // A send may have started while this call waited for the lock.
    if (SendOperationActive(rq.binderFolder)) return Fail(out, kInsertBusy, "send operation running");
    // A change that died half-way is rolled back or finished first.
    const RecoverOutcome recovered = RecoverInterruptedChange(rq.binderFolder);
    if (recovered.status != RecoverStatus::Clean) ZV_TRACE("_Binderlib", "AddInfoToBinder4: " + recovered.what);
    if (recovered.status == RecoverStatus::Refused) return Fail(out, kInsertBinderAccess, recovered.what);
    return InsertLocked(rq, out);
  } catch (const std::bad_alloc&) {
    return Fail(out, kInsertMemory, "out of memory");
  } catch (const std::exception& e) {
    // qpdf failing while writing a page: the source is damaged in a way
    // opening did not show.
    return Fail(out, kInsertBadSource, std::string("PDF could not be written: ") + e.what());
  }
}

int AddInfoToBinder(const std::string& binderFolder, const std::string& pdfPath, const std::string& sourcePath,
                    int dataChange, int insertPos, int a3b4) {
  InsertRequest rq;
  rq.binderFolder = binderFolder;
  rq.pdfPath = pdfPath;
  rq.sourcePath = sourcePath;
  rq.dataChange = dataChange;
  rq.insertPos = insertPos;
  rq.a3b4 = a3b4;
  return AddInfoToBinder4(rq, nullptr);
}

}  // namespace zv::companion::binder
