// The base binder library: page counts of PDF files, binder titles, binder
// creation and the insertion of a PDF's pages into a binder.
//
// Insertion result convention (also the import's result table):
//    0  filed
//   -1  out of memory / internal failure
//   -2  bad parameter (empty path, missing source, bad position)
//   -3  the binder's files cannot be read or written (ini missing or damaged,
//       a page file that cannot be written, a listed page file missing)
//   -4  the binder would exceed its MaxUploadPage
//   -5  the source is not a usable PDF (damaged, no pages, password needed)
//   -6  the binder is in use (open in the viewer, locked by a writer or a
//       send operation): skip and try again later
//   -8  card, postcard or photo binder
//   -9  the per-page keyword list does not fit the pages
//  -10  the temporary (unarranged) binder
//  -12  binder not supported (secured binder without the secured flag,
//       undecodable password, a format version newer than supported)
//  -13  more pages than any binder may take in one insertion
// Codes -7, -11 and -14 are never returned by this implementation.
// On every result but 0 the binder is unchanged.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zv::companion::binder {

enum InsertResult : int {
  kInsertOk = 0,
  kInsertMemory = -1,
  kInsertParameter = -2,
  kInsertBinderAccess = -3,
  kInsertPageLimit = -4,
  kInsertBadSource = -5,
  kInsertBusy = -6,
  kInsertCardBinder = -8,
  kInsertKeywords = -9,
  kInsertTemporaryBinder = -10,
  kInsertUnsupported = -12,
  kInsertTooManyPages = -13,
};

// Insertion positions (the caller's "Insert Pos"): 1 front, 0 back.
inline constexpr int kInsertFront = 1;
inline constexpr int kInsertBack = 0;

// The most pages one insertion may carry.
inline constexpr int kMaxPagesPerInsertion = 5000;

// ---- PDF -----------------------------------------------------------------
struct PdfCheck {
  int pages = 0;               // counted by walking the page tree
  bool encrypted = false;      // any encryption
  bool needsPassword = false;  // cannot be opened without a user password
  bool printRestricted = false;
  bool repaired = false;  // qpdf recovered it (warnings were issued)
  std::string error;      // non-empty: unusable (reason)
};
// Opens with recovery and walks the page tree (never trusts /Count). A file
// that throws while opening or listing, or has no pages, carries an error.
PdfCheck CheckPdf(const std::string& path);

// Page count: >= 1, or -1 when the file is not a usable PDF.
int PdfPageCount(const std::string& path);
// The A3/B4-aware count: the number of binder pages the file becomes with
// the given A3B4 option. Pages are filed whole (never split), so this is the
// page count of the page tree, whatever the pages' boxes or contents.
int PdfPageCountA3B4(const std::string& path, int a3b4);

// ---- new documents from pages of others -------------------------------------
// One page of a PDF file: `page` is 0-based; `password` opens a secured file.
struct PageOfFile {
  std::string file;
  int page = 0;
  std::string password;
};
// Makes a new PDF of the listed pages, in order, in memory. Each file is
// opened once however many of its pages are listed. With `password` the
// result is AES-256 encrypted under it, as the pages of secured binders are
// written; without one the output is the same bytes for the same input. An
// empty list gives empty bytes (the page file of a binder without pages).
// nullopt when a file cannot be opened, a page is outside its file, or the
// writer fails; `error` then says why.
std::optional<std::string> MakeDocumentFromPages(const std::vector<PageOfFile>& pages, const std::string& password,
                                                 std::string* error = nullptr);
// The same, written to `target`, replaced atomically (left as it was on
// failure).
bool WriteDocumentFromPages(const std::vector<PageOfFile>& pages, const std::string& password,
                            const std::string& target, std::string* error = nullptr);

// Pages of a PDF opened with `password` (a secured binder's page file);
// -1 when it cannot be opened.
int PdfPageCountOpened(const std::string& path, const std::string& password);

// ---- binder reads ----------------------------------------------------------
// Title of the binder at `binderFolder` (the ini's BinderInfo Title, with
// the line-break bytes kept). False when the binder ini is missing.
bool GetBinderTitle(const std::string& binderFolder, std::string& title);

// ---- binder creation -------------------------------------------------------
struct BinderDescription {
  std::string title;        // also the folder name unless folderName is set
  std::string folderName;   // optional; defaults to `title`
  std::string templateIni;  // optional binder ini to start from (verbatim)
  std::string createTime;   // "%Y/%m/%d %H:%M:%S"; empty: now
  int maxUploadPage = 0;    // > 0: written as "\"%d\""
  int markUnread = 0;       // non-zero: UnreadList written as "\"1\""
  std::string password;     // non-empty: a secured binder (encoded, see moswell.h)
  // Optional: completes the new binder folder (more keys, files) after its
  // ini and page file are written and before the binder is listed in the
  // cabinet, so no other process ever sees it half made. False undoes the
  // creation (kCreateWriteFailed).
  std::function<bool(const std::string& binderFolder)> complete;
};
// Result codes of CreateBinder2.
enum CreateResult : int {
  kCreateOk = 0,
  kCreateBadParameter = -2,  // empty or unusable name, missing cabinet
  kCreateLockFailed = -3,    // cabinet short lock not had
  kCreateLimit = -4,         // the cabinet already holds 21 binders
  kCreateExists = -5,        // folder or NameList entry already there
  kCreateWriteFailed = -6,   // folder, ini or page file could not be made (undone)
  kCreateCorrupt = -7,       // the cabinet's Folder.ini lists are inconsistent
};
// Creates <cabinet>/<folderName>/ with its ini (from the template or built
// in, then Title, CreateTime, Version, MaxUploadPage, UnreadList, Password,
// PageTotal 0, MaxPageID 0), the empty main page file, and appends the name
// to the cabinet's NameList/PosList under Folder.Locked (600 x 50 ms; a
// stale lock is taken over; without it the append still runs under the
// short lock) and ~Write.Locked; `complete` runs before that append. On
// failure nothing is left behind.
// `outFolder` receives the new binder folder.
int CreateBinder2(const std::string& cabinetFolder, const BinderDescription& description,
                  std::string* outFolder = nullptr);

// ---- insertion -------------------------------------------------------------
struct TocEntry {
  bool add = false;
  std::string text;  // ContentText of the first inserted page
  int type = 0;      // ContentType
  int flag = 1;      // ContentFlag
};

struct InsertRequest {
  std::string binderFolder;
  std::string pdfPath;          // the PDF whose pages are filed
  std::string sourcePath;       // the original document (kept for the trace)
  int dataChange = 0;           // carried; no effect in this implementation
  int insertPos = kInsertBack;  // kInsertFront or kInsertBack
  int a3b4 = 0;
  // Empty, or one keyword per inserted page (stored as the page's first
  // Page<n>Content value).
  std::vector<std::string> pageKeywords;
  bool securedBinder = false;  // the caller accepts a secured binder
  TocEntry toc;
  int lockTimeoutSeconds = 600;  // the binder's ~Write.Locked wait
};

struct InsertOutcome {
  int pagesInserted = 0;
  int firstPage = 0;        // number of the first inserted page in the binder
  std::vector<int> newIds;  // FilePageIDs given
  std::string error;        // reason when the result is not 0
};

// The plain insertion: no keywords, no secured binder, no table of contents.
int AddInfoToBinder(const std::string& binderFolder, const std::string& pdfPath, const std::string& sourcePath,
                    int dataChange, int insertPos, int a3b4);
// The full insertion.
int AddInfoToBinder4(const InsertRequest& request, InsertOutcome* outcome = nullptr);

// Test hook: called with a step name while an insertion runs
// ("pages-written", "page-file:<id>", "ini-written"), so a crash test can
// stop the process at a chosen point. Not thread-safe; null to remove.
using InsertStepHook = void (*)(const char* step);
void SetInsertStepHook(InsertStepHook hook);

}  // namespace zv::companion::binder
