// InsertFileToBinder: files one document into one binder.
//
// The document is filed as it is when it is a PDF without security or an
// image the image library reads (turned into a PDF in the work folder);
// anything else is printed to PDF first. The pages then go into the binder
// the search chooses, unless that binder is a card binder, secured, open in
// the viewer, or too small for the file.
//
// Every exit deletes the work files this call made (the work copy in
// AutoImpInfo/$Hopvale and the PDF made from it); the print copy survives
// only a successful import, for the caller to print and delete.

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "companion/export_guard.h"
#include "companion/services.h"
#include "companion/strings.h"
#include "companion/trace.h"
#include "conversion/convert_pdf.h"
#include "dravel/core.h"
#include "dravel/pipeline.h"
#include "dravel/search.h"
#include "image_library.h"
#include "imagelib/Pixmoor.h"
#include "pdfsecurity/Gantry.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::dravel {
namespace {

int g_libraryError = 0;

}  // namespace

int LibraryErrorCode() { return g_libraryError; }
void SetLibraryErrorCode(int code) { g_libraryError = code; }

std::vector<std::string> PageKeywords(const std::string& keyword, const std::string& extra, int pages) {
  std::vector<std::string> out;
  if (keyword.empty()) return out;
  out.reserve(static_cast<std::size_t>(pages > 0 ? pages : 0));
  for (int i = 1; i <= pages; ++i) {
    std::string k = keyword + "_" + std::to_string(i) + " ";
    if (!extra.empty()) k += extra + " ";
    out.push_back(std::move(k));
  }
  return out;
}

std::string TocEntryText(const std::string& keyword, const std::string& sourcePath) {
  const std::string name = platform::LastComponent(sourcePath);
  const std::string text = keyword.empty() ? name : keyword + " " + name;
  return std::string(platform::Utf8CutBytes(text, kTocEntryMaxBytes));
}

std::string ImportWorkFolder() {
  return platform::JoinPath(platform::JoinPath(platform::ProgramFolder(), "AutoImpInfo"), "$Hopvale");
}

namespace {

namespace bl = companion::binder;

constexpr int kBusyErrorCode = DRAVEL_ERROR_BINDER_BUSY;
constexpr int kShortLockSeconds = 600;
constexpr int kAfterInsertLockSeconds = 3600;
constexpr int kSearchAttempts = 5;
constexpr int kBinderPdfChecks = 5;
constexpr std::int64_t kRetryPauseMs = 1000;
// The longest work path: room for the terminator and one spare byte.
constexpr std::size_t kWorkPathMax = 258;

// printf into a string.
__attribute__((format(printf, 1, 2))) std::string Fmt(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, again);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

// Copies text into a caller's buffer of `size` bytes, cut on a character
// boundary so that the terminator always fits.
void CopyOut(char* buffer, std::size_t size, std::string_view text) {
  if (buffer == nullptr || size == 0) return;
  const std::string_view cut = platform::Utf8CutBytes(text, size - 1);
  std::memcpy(buffer, cut.data(), cut.size());
  buffer[cut.size()] = '\0';
}

std::string Text(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

// A refusal or failure: error code and user message; ends at the common
// failure exit.
struct Refusal {
  int code;
  std::string message;
};
// The binder is open or busy: the import is skipped and tried again later.
struct SkipImport {};

struct Args {
  void* owner;
  char* binder;
  std::string binderIn;
  std::string source;
  int dataChange, index, insertPos, a3b4;
  char* printCopy;
  int printFlag;
  int* pageCount;
  std::string keyword;
  int service;
  char* message;
  int vlCode;
  char* title;
  int* errorCode;
  int contentsAdd, securePdfMode;
  int* securedFlag;
  std::string extraKeyword;
  int searchVariant;
};

class Pipeline {
 public:
  explicit Pipeline(Args args) : a_(std::move(args)), binder_(platform::TrimTrailingSeparator(a_.binderIn)) {}

  int Run() {
    try {
      const int result = Steps();
      return Finish(result);
    } catch (const Refusal& r) {
      return FailExit(r.code, r.message);
    } catch (const SkipImport&) {
      return SkipExit();
    } catch (const std::bad_alloc&) {
      return FailExit(307000, Message(companion::kDravelMemoryError));
    } catch (const std::exception& e) {
      Log(__LINE__, std::string("InsertFileToBinder: ") + e.what());
      return FailExit(307000, FormatMessage(companion::kDravelFunctionError, "InsertFileToBinder"));
    }
  }

 private:
  // ---- tracing ---------------------------------------------------------------
  void ReadTraceSettings() {
    char folder[DRAVEL_PATH_MAX] = {};
    int days = 0;
    if (ReadTraceLogInfo(folder, &days) == 1) {
      trace_.path = folder;
      trace_.enabled = 1;
      trace_.termDays = days;
    } else {
      trace_ = companion::ProcessTraceSettings();
    }
  }
  void Log(int line, std::string_view text) const {
    companion::TraceLogWrite(trace_.path, trace_.enabled, "_Dravel", __FILE__, line, text);
  }
  void Step(int line, std::string_view text) const { Log(line, "InsertFileToBinder: " + std::string(text)); }

  [[noreturn]] static void Refuse(int code, std::string message) { throw Refusal{code, std::move(message)}; }

  // ---- the steps -------------------------------------------------------------
  int Steps() {
    // 1: outputs cleared, trace settings, the request.
    SetLibraryErrorCode(0);
    if (a_.errorCode != nullptr) *a_.errorCode = 0;
    if (a_.securedFlag != nullptr) *a_.securedFlag = 0;
    if (a_.pageCount != nullptr) *a_.pageCount = 0;
    CopyOut(a_.message, DRAVEL_PATH_MAX, "");
    CopyOut(a_.printCopy, DRAVEL_PATH_MAX, "");
    CopyOut(a_.title, DRAVEL_PATH_MAX, "");
    ReadTraceSettings();
    const std::string shortForm =
        Fmt("InsertFileToBinder() start\n\tInsert to %s\n\tInsert from %s\n\tIndex = %d\n\tInsert Pos = %d\n\tA3B4 = "
            "%d\n\tKeyword = %s",
            binder_.c_str(), a_.source.c_str(), a_.index, a_.insertPos, a_.a3b4, a_.keyword.c_str());
    Log(__LINE__, shortForm + Fmt("\n\tService = %d\n\tVLCode = %d\n\tContentsAdd = %d\n\tSecurePDFMode = %d",
                                  a_.service, a_.vlCode, a_.contentsAdd, a_.securePdfMode));
    ZV_TRACE("_Hopvale", shortForm);

    // 4 (first, so that a refused type loads and touches nothing): the
    // extension after the last "." of the file name.
    const std::string name = platform::LastComponent(a_.source);
    const std::string ext = platform::ToLowerAscii(platform::Extension(name));
    if (ext == "htm" || ext == "html") Refuse(300100, Message(companion::kDravelFileTypeRefused));
    isPdf_ = ext == "pdf";
    Step(__LINE__, "ExtString Check OK");

    // 2: the viewer's program folder and the image library.
    const std::string viewer = platform::TrimTrailingSeparator(companion::ViewerProgramFolder());
    if (viewer.empty() || !platform::IsFolder(viewer)) {
      Step(__LINE__, "the viewer's program folder is not registered or missing");
      Refuse(310110, Message(companion::kDravelRegistryError));
    }
    if (!image_.Load()) Refuse(310121, FormatMessage(companion::kDravelLoadError, "Pixmoor.dll"));

    // 3: wait until no other process writes the binder. A binder that does
    // not exist yet (an overflow binder the search will make) has no lock.
    if (platform::IsFolder(binder_)) {
      bl::ShortLock wait(binder_, kShortLockSeconds);
      if (!wait) {
        Step(__LINE__, "~Write.Locked of the binder was not had: skip");
        throw SkipImport{};
      }
    }

    // 5: the image library's session.
    Step(__LINE__, "ImageIO_Initialize() start");
    if (!image_.Initialize(a_.owner, "Corvane ")) {
      Step(__LINE__, "ImageIO_Initialize() Error");
      Refuse(300200, Message(companion::kDravelReadFailed));
    }
    Step(__LINE__, "ImageIO_Initialize() OK");

    // 6: the work folder.
    workFolder_ = ImportWorkFolder();
    if (!platform::IsFolder(workFolder_) && !platform::MakeFolders(workFolder_))
      Refuse(300310, Message(companion::kDravelSourceUnavailable));

    // 7: the source. A symbolic link is refused: it may name a file the
    // one who dropped it could not read.
    Step(__LINE__, "InputFile Access Check start");
    if (a_.source.empty() || platform::IsSymlink(a_.source) || !platform::IsFile(a_.source)) {
      Step(__LINE__, "InputFile Access Check ERROR");
      Refuse(300300, Message(companion::kDravelSourceUnavailable));
    }
    Step(__LINE__, "InputFile Access Check OK");

    // 8: security of a PDF source.
    if (isPdf_) CheckPdfSecurity();

    // 9, 10: the file to be filed, in the work folder.
    PrepareWorkFile(name);

    // 11: the print copy.
    if (a_.printFlag > 0 && secured_ == 0) MakePrintCopy(name);

    // 12: card binders take no imports.
    Step(__LINE__, "Check Card Type start");
    if (platform::IsFolder(binder_)) CheckCardType(binder_);

    // A file without usable pages is refused as such here: the search would
    // otherwise fail on it five times and report a binder it never looked at.
    if (bl::PdfPageCount(workPdf_) < 1) {
      Step(__LINE__, "Get PageNum from Insert File\n\tpage = -1");
      PageError(300601, Message(companion::kDravelPageCountUnknown));
    }

    // 13: the binder that takes the pages.
    SearchBinder();
    // The search may end in another binder; that one must take imports too.
    CheckCardType(binder_);

    // 14: secured binder.
    CheckSecuredBinder();

    // 15: pages of the file against the binder's limit.
    const int pages = bl::PdfPageCount(workPdf_);
    Step(__LINE__, Fmt("Get PageNum from Insert File\n\tpage = %d", pages));
    if (pages < 1) PageError(300601, Message(companion::kDravelPageCountUnknown));
    if (pages > maxUploadPage_) PageError(300600, Message(companion::kDravelTooManyPages));

    // 16: the binder's title.
    Step(__LINE__, "Get BinderTitle start");
    std::string title;
    if (!bl::GetBinderTitle(binder_, title)) Refuse(300700, Message(companion::kDravelFolderMissing));
    CopyOut(a_.title, DRAVEL_PATH_MAX, bl::TitleWithoutBreaks(title));

    // 17: the viewer has the binder open: skip.
    Step(__LINE__, "Check ~Open.Locked start");
    if (bl::TestBinderOpen(binder_) != bl::OpenState::Free) throw SkipImport{};

    // 18: pages to insert.
    Step(__LINE__, "Get Insert PageNum start");
    int paperCode = 0, orientation = 0;
    const bool sized = a_.a3b4 == 0 || GetTargetPaperSize(a_.owner, workPdf_.c_str(), &paperCode, &orientation) == 1;
    const int insertPages = sized ? bl::PdfPageCountA3B4(workPdf_, a_.a3b4) : bl::PdfPageCount(workPdf_);
    if (insertPages < 1) PageError(300601, Message(companion::kDravelPageCountUnknown));
    if (a_.pageCount != nullptr) *a_.pageCount = insertPages;
    Step(__LINE__, Fmt("Get Insert PageNum OK. \n\tpage = %d", insertPages));

    // 19 to 23: the insertion.
    return Insert(insertPages);
  }

  [[noreturn]] void PageError(int code, const std::string& message) const {
    Step(__LINE__, Fmt("Get PageNum from Insert File Error (Error Code=%d)\n\tErrorMsg=%s", code, message.c_str()));
    Refuse(code, message);
  }

  void CheckPdfSecurity() {
    auto gantry = platform::SharedLibrary::Adopt(MyLoadLibrary("Gantry.DLL"));
    if (!gantry) Refuse(310111, FormatMessage(companion::kDravelLoadError, "Gantry.DLL"));
    const auto check = gantry.Symbol<SecurityCheckPDFFunc>(GANTRY_SECURITY_CHECK_NAME);
    if (check == nullptr) Refuse(310209, FormatMessage(companion::kDravelFunctionError, "SecurityCheckPDF"));
    const int r = check(a_.source.c_str());
    gantry.Close();
    Step(__LINE__, Fmt("SecurityCheckPDF() return value is %d", r));
    switch (r) {
      case GANTRY_NO_SECURITY: return;
      case GANTRY_PRINT_ALLOWED:
      case GANTRY_PRINT_DENIED:
      case GANTRY_PASSWORD_NEEDED: {
        securedPdf_ = true;
        secured_ = r == GANTRY_PRINT_ALLOWED ? 0 : 1;
        if (a_.securedFlag != nullptr) *a_.securedFlag = secured_;
        if (a_.securePdfMode != 0) return;
        const std::string message = Message(companion::kDravelPdfProtected);
        Step(__LINE__, Fmt("Zorvan_ConvertPDF() Error (Error Code=%d)\n\tErrorMsg=%s", 310205, message.c_str()));
        Refuse(310205, message);
      }
      case GANTRY_E_UNSUPPORTED: Refuse(310201, Message(companion::kDravelFileUnsupported));
      case GANTRY_E_DAMAGED: Refuse(310202, FormatMessage(companion::kDravelParameterError, r));
      case GANTRY_E_MISSING: Refuse(310203, Message(companion::kDravelFileMissing));
      case GANTRY_E_OTHER: Refuse(310204, Message(companion::kDravelFileTypeRefused));
      default: Refuse(310209, FormatMessage(companion::kDravelFunctionError, "SecurityCheckPDF"));
    }
  }

  // Steps 9 and 10: either a copy of the source (a PDF; an image turned
  // into a PDF beside it) or the printed PDF, both in the work folder.
  void PrepareWorkFile(const std::string& name) {
    const std::string workPath = platform::JoinPath(workFolder_, name);
    Step(__LINE__, "ImageIO_CheckSupport() start");
    bool print = securedPdf_;  // a secured PDF that got here is to be printed
    bool image = false;
    if (!isPdf_ && !print) {
      image = image_.checkSupport(a_.source.c_str()) > 0;
      print = !image;
    }
    if (workPath.size() > kWorkPathMax) {
      Step(__LINE__, "the work path is too long: " + workPath);
      Refuse(300900, Message(companion::kDravelNameTooLong));
    }
    if (!print) {
      CopyToWork(workPath);
      if (!image) {
        workPdf_ = workPath;
        return;
      }
      if (ImageToPdf(workPath)) return;
      // The image library cannot read what it said it supports: print it.
      Step(__LINE__, "AddInfoToBinder4(): ImageIO_GetFileInfo() is failed. This file is converted Plumetta.");
      DeleteWorkFiles();
    }
    PrintToPdf();
  }

  void CopyToWork(const std::string& workPath) {
    // Never let the work copy be the source itself: it is deleted at the end.
    const auto src = platform::Stamp(a_.source), dst = platform::Stamp(workPath);
    if (src && dst && src->device == dst->device && src->inode == dst->inode) {
      Step(__LINE__, "the source lies in the work folder: " + a_.source);
      Refuse(340100, Message(companion::kDravelReadFailed));
    }
    if (platform::Exists(workPath) && !platform::RemoveFile(workPath)) {
      Step(__LINE__,
           Fmt("DeleteFile %s is failed, GetLastError=0x%08x.", workPath.c_str(), static_cast<unsigned>(errno)));
      Refuse(340100, Message(companion::kDravelReadFailed));
    }
    // A scratch copy: deleted at the end of this call, replaced by the next
    // one after a crash, so it is not synced.
    if (!platform::CopyFile(a_.source, workPath, true, false)) {
      Step(__LINE__,
           Fmt("CopyFile %s is failed, GetLastError=0x%08x.", a_.source.c_str(), static_cast<unsigned>(errno)));
      platform::RemoveFile(workPath);
      Refuse(340100, Message(companion::kDravelReadFailed));
    }
    made_.push_back(workPath);
  }

  bool ImageToPdf(const std::string& workImage) {
    ImageIOFileInfo info{};
    info.structSize = sizeof info;
    if (image_.getFileInfo(workImage.c_str(), 0, &info) != IMAGEIO_OK) return false;
    const std::string pdf = workImage + ".pdf";
    if (pdf.size() >= DRAVEL_PATH_MAX) {
      Step(__LINE__, "the work path is too long: " + pdf);
      Refuse(300900, Message(companion::kDravelNameTooLong));
    }
    made_.push_back(pdf);
    const int pages = image_.saveFileName(workImage.c_str(), pdf.c_str(), IMAGEIO_FORMAT_PDF, 0);
    Step(__LINE__, Fmt("ImageIO_SaveFileName() return value is %d", pages));
    if (pages < 1) return false;
    workPdf_ = pdf;
    return true;
  }

  void PrintToPdf() {
    if (a_.service != 0) Refuse(300400, Message(companion::kDravelServiceModeRefused));
    Step(__LINE__, "Zorvan_ConvertPDF() start");
    char out[DRAVEL_PATH_MAX] = {};
    const int r = Zorvan_ConvertPDF(a_.source.c_str(), workFolder_.c_str(), out, a_.owner, a_.a3b4);
    if (out[0] != '\0') made_.push_back(out);
    if (r < 0) {
      const int code = LibraryErrorCode() != 0 ? LibraryErrorCode() : 310500;
      const std::string message = Message(ConversionMessageId(code));
      Step(__LINE__, Fmt("Zorvan_ConvertPDF() Error (Error Code=%d)\n\tErrorMsg=%s", code, message.c_str()));
      Refuse(code, message);
    }
    Step(__LINE__, "Zorvan_ConvertPDF() OK");
    workPdf_ = out;
  }

  void MakePrintCopy(const std::string& name) {
    Step(__LINE__, "MakePrintFile() start");
    const std::string folder = platform::JoinPath(platform::TempFolder(), "Hopvale");
    const std::string copy = platform::JoinPath(folder, name);
    const bool ok = !platform::TempFolder().empty() && copy.size() < DRAVEL_PATH_MAX &&
                    (platform::IsFolder(folder) || platform::MakeFolders(folder)) &&
                    platform::CopyFile(a_.source, copy, true);
    if (!ok) {
      Step(__LINE__, "MakePrintFile() Error");
      Refuse(300500, Message(companion::kDravelPrintFileFailed));
    }
    printCopy_ = copy;
    CopyOut(a_.printCopy, DRAVEL_PATH_MAX, copy);
  }

  void CheckCardType(const std::string& binder) const {
    const int kind = bl::BinderKind(binder);
    if (kind >= 1 && kind <= 4) {
      const int code = 331100 + kind;
      Refuse(code, FormatMessage(companion::kDravelCardBinderRefused, code));
    }
  }

  void SearchBinder() {
    Step(__LINE__, "SearchInsertBinder() start");
    int code = 0, messageId = 0;
    for (int attempt = 1; attempt <= kSearchAttempts; ++attempt) {
      if (attempt > 1) platform::SleepMs(kRetryPauseMs);
      if (a_.searchVariant == 0) {
        char path[DRAVEL_PATH_MAX] = {};
        CopyOut(path, sizeof path, binder_);
        DravelSearchRequest request{};
        if (SearchInsertBinder(path, workPdf_.c_str(), 1, &request) == 0) {
          UseBinder(path, std::nullopt);
          return;
        }
        code = LastSearchErrorCode();
        messageId = LastSearchMessageId();
      } else {
        const int pages = bl::PdfPageCount(workPdf_);
        const SearchOutcome found =
            pages >= 1 ? SearchBinderForPages(binder_, pages) : SearchBinderForFile(binder_, workPdf_);
        if (found.result == 0) {
          UseBinder(found.binder, found.maxUploadPage);
          return;
        }
        code = found.errorCode;
        messageId = found.messageId;
      }
      Step(__LINE__, Fmt("SearchInsertBinder() attempt %d failed (Error Code=%d)", attempt, code));
    }
    Step(__LINE__, "SearchInsertBinder() Error");
    Refuse(306000, Message(messageId > 0 ? messageId : 42));
  }

  // `maxUploadPage`: the chosen binder's page limit when the search tells
  // it; otherwise it is read here (0 or less refuses every page).
  void UseBinder(const std::string& binder, std::optional<int> maxUploadPage) {
    binder_ = platform::TrimTrailingSeparator(binder);
    if (a_.binder != nullptr && binder_.size() < DRAVEL_PATH_MAX) CopyOut(a_.binder, DRAVEL_PATH_MAX, binder_);
    if (!maxUploadPage) {
      bl::ShortLock lock(binder_, kShortLockSeconds);
      if (!lock) {
        Step(__LINE__, "~Write.Locked of the binder was not had: skip");
        throw SkipImport{};
      }
      maxUploadPage = bl::ReadBinder(binder_, false).UploadLimit(bl::kDefaultMaxUploadPageImport);
    }
    maxUploadPage_ = *maxUploadPage;
    Step(__LINE__, Fmt("SearchInsertBinder() succeeded.\n\tInsert to %s", binder_.c_str()));
  }

  void CheckSecuredBinder() {
    std::string password;
    {
      bl::ShortLock lock(binder_, kShortLockSeconds);
      if (!lock) {
        Step(__LINE__, "~Write.Locked of the binder was not had: skip");
        throw SkipImport{};
      }
      password = bl::ReadBinder(binder_, false).password;
    }
    if (password.empty()) return;
    if (a_.vlCode == 2) {
      securedBinder_ = true;
      return;
    }
    const std::string message = Message(companion::kDravelSecuredBinder);
    Step(__LINE__, Fmt("Target Binder is Secured Binder (Error Code=%d)\n\tErrorMsg=%s", 300101, message.c_str()));
    Refuse(300101, message);
  }

  int Insert(int pages) {
    int r = 0;
    const char* callName = "AddInfoToBinder()";
    if (a_.vlCode != 2) {
      Step(__LINE__, "Call AddInfoToBinder() start");
      r = bl::AddInfoToBinder(binder_, workPdf_, a_.source, a_.dataChange, a_.insertPos, a_.a3b4);
    } else {
      callName = "AddInfoToBinder4()";
      if (pages < 1) return 0;
      bl::InsertRequest request;
      request.binderFolder = binder_;
      request.pdfPath = workPdf_;
      request.sourcePath = a_.source;
      request.dataChange = a_.dataChange;
      request.insertPos = a_.insertPos;
      request.a3b4 = a_.a3b4;
      request.securedBinder = securedBinder_;
      request.lockTimeoutSeconds = kShortLockSeconds;
      // 20: table of contents and keywords.
      if (a_.contentsAdd == 1) {
        request.toc.add = true;
        request.toc.text = TocEntryText(a_.keyword, a_.source);
      }
      Step(__LINE__, "Create Keyword Info start");
      request.pageKeywords = PageKeywords(a_.keyword, a_.extraKeyword, pages);
      // 21: the binder's page file must be there.
      Step(__LINE__, "Check BinderPDF start");
      const std::string binderPdf = bl::MainPageFilePath(binder_, securedBinder_);
      bool present = false;
      for (int i = 0; i < kBinderPdfChecks && !present; ++i) {
        if (i > 0) platform::SleepMs(kRetryPauseMs);
        present = platform::IsFile(binderPdf);
      }
      if (!present) {
        Step(__LINE__, "the binder's page file is missing: " + binderPdf);
        Refuse(300800, FormatMessage(companion::kDravelBinderAccessFailed, -3));
      }
      // 22: the insertion.
      Step(__LINE__, "Call AddInfoToBinder4() start");
      r = bl::AddInfoToBinder4(request);
      Step(__LINE__, Fmt("FolderMonitor_AddInfoToBinder4() return value is %d", r));
      platform::SleepMs(kRetryPauseMs);
    }
    // 23: wait for writers that follow the insertion, then report.
    { bl::ShortLock after(binder_, kAfterInsertLockSeconds); }
    const InsertReport report = ReportInsertResult(r);
    if (report.result == 1) {
      Step(__LINE__, Fmt("%s Error - Binder already use. Skip Import.", callName));
      throw SkipImport{};
    }
    if (report.result != 0) {
      Step(__LINE__, Fmt("%s Error - %s", callName, report.message.c_str()));
      Refuse(report.errorCode, report.message);
    }
    return 0;
  }

  // ---- exits -------------------------------------------------------------------
  void DeleteWorkFiles() {
    for (const auto& f : made_) {
      if (platform::Exists(f) && !platform::RemoveFile(f)) Step(__LINE__, "cannot delete the work file " + f);
    }
    made_.clear();
  }
  void DeletePrintCopy() {
    if (printCopy_.empty()) return;
    platform::RemoveFile(printCopy_);
    printCopy_.clear();
    CopyOut(a_.printCopy, DRAVEL_PATH_MAX, "");
  }

  int Finish(int result) {
    DeleteWorkFiles();
    Step(__LINE__, Fmt("Delete WorkFile OK - return %d", result));
    image_.Unload();
    SetLibraryErrorCode(0);
    return result;
  }

  int SkipExit() {
    DeleteWorkFiles();
    DeletePrintCopy();
    if (a_.pageCount != nullptr) *a_.pageCount = 0;
    CopyOut(a_.message, DRAVEL_PATH_MAX, Message(companion::kDravelBinderBusy));
    if (a_.errorCode != nullptr) *a_.errorCode = kBusyErrorCode;
    SetLibraryErrorCode(kBusyErrorCode);
    Step(__LINE__, "Delete WorkFile OK - return 1");
    image_.Unload();
    return DRAVEL_INSERT_SKIPPED;
  }

  int FailExit(int code, const std::string& message) {
    DeleteWorkFiles();
    DeletePrintCopy();
    if (a_.pageCount != nullptr) *a_.pageCount = 0;
    CopyOut(a_.message, DRAVEL_PATH_MAX, message);
    if (a_.errorCode != nullptr) *a_.errorCode = code;
    SetLibraryErrorCode(code);
    Step(__LINE__, Fmt("failed (Error Code=%d)\n\tErrorMsg=%s", code, message.c_str()));
    Step(__LINE__, "Delete WorkFile OK - return -1");
    image_.Unload();
    return DRAVEL_INSERT_FAILED;
  }

  Args a_;
  std::string binder_;
  companion::TraceSettings trace_;
  ImageLibrary image_;
  std::string workFolder_;
  std::string workPdf_;
  std::vector<std::string> made_;
  std::string printCopy_;
  bool isPdf_ = false;
  bool securedPdf_ = false;
  int secured_ = 0;
  bool securedBinder_ = false;
  int maxUploadPage_ = bl::kDefaultMaxUploadPageImport;
};

}  // namespace
}  // namespace zv::dravel

using namespace zv;

extern "C" DRAVEL_API int InsertFileToBinder(void* owner, char* binder, const char* source, int dataChange, int index,
                                             int insertPos, int a3b4, char* printCopy, int printFlag, int* pageCount,
                                             const char* keyword, int service, char* message, int* /*reserved*/,
                                             int vlCode, char* title, int* errorCode, int contentsAdd,
                                             int securePdfMode, int* securedFlag, const char* extraKeyword,
                                             int searchVariant) {
  return zv::companion::ExportGuard(
      "_Dravel", "InsertFileToBinder", DRAVEL_INSERT_FAILED,
      [&] {
        dravel::Args args{owner,
                          binder,
                          dravel::Text(binder),
                          dravel::Text(source),
                          dataChange,
                          index,
                          insertPos,
                          a3b4,
                          printCopy,
                          printFlag,
                          pageCount,
                          dravel::Text(keyword),
                          service,
                          message,
                          vlCode,
                          title,
                          errorCode,
                          contentsAdd,
                          securePdfMode,
                          securedFlag,
                          dravel::Text(extraKeyword),
                          searchVariant};
        dravel::Pipeline pipeline(std::move(args));
        return pipeline.Run();
      },
      [&] {
        // Even the failure exit ran out of memory: the code still tells.
        dravel::SetLibraryErrorCode(307000);
        if (errorCode != nullptr) *errorCode = 307000;
      });
}

extern "C" DRAVEL_API int16_t Zorvan_ConvertPDF(const char* source, const char* workFolder, char* outputPdf,
                                                void* /*owner*/, int a3b4) {
  return zv::companion::ExportGuard(
      "_Dravel", "Zorvan_ConvertPDF", std::int16_t{-1},
      [&]() -> std::int16_t {
        dravel::SetLibraryErrorCode(0);
        dravel::CopyOut(outputPdf, DRAVEL_PATH_MAX, "");
        if (source == nullptr || *source == '\0' || workFolder == nullptr || *workFolder == '\0') {
          dravel::SetLibraryErrorCode(dravel::kConvertEngineError);
          return -1;
        }
        dravel::ConversionResult result;
        const std::int16_t r = dravel::ConvertToPdf(source, workFolder, a3b4, result);
        // Files the printer wrote beyond the first are not filed: remove them.
        for (std::size_t i = 1; i < result.outputs.size(); ++i) platform::RemoveFile(result.outputs[i]);
        if (r < 0) {
          dravel::SetLibraryErrorCode(result.errorCode != 0 ? result.errorCode : dravel::kConvertEngineError);
          if (!result.outputPdf.empty()) platform::RemoveFile(result.outputPdf);
          return -1;
        }
        if (result.outputPdf.size() >= DRAVEL_PATH_MAX || !platform::IsFile(result.outputPdf)) {
          ZV_DRAVEL_TRACE("Zorvan_ConvertPDF: no usable output: " + result.outputPdf);
          if (!result.outputPdf.empty()) platform::RemoveFile(result.outputPdf);
          dravel::SetLibraryErrorCode(dravel::kConvertEngineError);
          return -1;
        }
        dravel::CopyOut(outputPdf, DRAVEL_PATH_MAX, result.outputPdf);
        return 0;
      },
      [&] { dravel::SetLibraryErrorCode(dravel::kConvertEngineError); });
}
