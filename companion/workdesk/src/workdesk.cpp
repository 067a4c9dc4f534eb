// The work desk's own side: its folder and the page-by-page import.
#include "workdesk/workdesk.h"

#include <unistd.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "companion/services.h"
#include "companion/trace.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "workdesk/Pinfold.h"

namespace zv::companion::workdesk {

std::string LocateWorkDeskFolder() {
  const std::string configured = platform::ini::GetString(ViewerEnvironmentPath(), "WorkDesk", "Folder", "");
  if (!configured.empty()) return platform::TrimTrailingSeparator(configured);
  const std::string viewer = platform::TrimTrailingSeparator(ViewerProgramFolder());
  return viewer.empty() ? std::string() : platform::JoinPath(viewer, kDefaultFolderName);
}

bool LooksLikePdf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string head(1024, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return head.find("%PDF-") != std::string::npos;
}

namespace {

ImportOutcome Fail(int code, std::string message) {
  ZV_TRACE("_Pinfold", "WorkDesk_ImportFile: " + message + " (" + std::to_string(code) + ")");
  return ImportOutcome{code, false, std::move(message)};
}

// The pages of one PDF, each written as a document of its own.
struct SplitPdf {
  int code = 0;  // 0, or PINFOLD_E_DAMAGED
  std::string error;
  std::vector<std::string> pages;
};

SplitPdf SplitPages(const std::string& path) {
  SplitPdf r;
  try {
    QPDF in;
    in.setSuppressWarnings(true);
    in.setAttemptRecovery(true);
    in.processFile(path.c_str());
    // The page tree is walked; /Count is never trusted. Inherited resources
    // go down to the pages so each page stands on its own once copied.
    in.pushInheritedAttributesToPage();
    std::vector<QPDFObjectHandle> pages = in.getAllPages();
    if (pages.empty()) {
      r.code = PINFOLD_E_DAMAGED;
      r.error = "the document has no pages";
      return r;
    }
    QPDFAcroFormDocumentHelper inForm(in);
    const bool hasForm = inForm.hasAcroForm();
    for (const QPDFObjectHandle& page : pages) {
      QPDF out;
      out.setSuppressWarnings(true);
      out.emptyPDF();
      out.addPage(page, false);
      if (hasForm) {
        // Widgets shared with other pages must not come along as orphans.
        QPDFAcroFormDocumentHelper outForm(out);
        outForm.fixCopiedAnnotations(out.getAllPages().back(), page, inForm);
      }
      QPDFWriter w(out);
      w.setOutputMemory();
      w.setDeterministicID(true);
      w.write();
      std::unique_ptr<Buffer> buf(w.getBuffer());
      r.pages.emplace_back(reinterpret_cast<const char*>(buf->getBuffer()), buf->getSize());
    }
  } catch (const QPDFExc& e) {
    r.pages.clear();
    r.code = PINFOLD_E_DAMAGED;
    r.error = e.getErrorCode() == qpdf_e_password ? std::string("the document needs a password")
                                                  : std::string("damaged PDF: ") + e.what();
  } catch (const std::exception& e) {
    r.pages.clear();
    r.code = PINFOLD_E_DAMAGED;
    r.error = std::string("damaged PDF: ") + e.what();
  }
  return r;
}

std::string PageName(const std::string& base, std::size_t page) {
  char number[16];
  std::snprintf(number, sizeof number, "%03zu", page);
  return base + "_" + number + ".pdf";
}

// The first of "<stem>", "<stem>-2", ... whose page names are all free.
std::string FreeBase(const std::string& folder, const std::string& stem, std::size_t pages) {
  for (int k = 1; k <= 999; ++k) {
    const std::string base = k == 1 ? stem : stem + "-" + std::to_string(k);
    bool free = true;
    for (std::size_t i = 1; i <= pages && free; ++i)
      free = !platform::Exists(platform::JoinPath(folder, PageName(base, i)));
    if (free) return base;
  }
  return {};
}

// A private file for the PDF made of an image source.
class TempPdf {
 public:
  TempPdf() {
    static std::atomic<unsigned> counter{0};
    const std::string temp = platform::TempFolder();
    if (!temp.empty())
      path_ = platform::JoinPath(
          temp, "workdesk-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".pdf");
  }
  ~TempPdf() {
    if (!path_.empty()) platform::RemoveFile(path_);
  }
  TempPdf(const TempPdf&) = delete;
  TempPdf& operator=(const TempPdf&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

ImportOutcome ImportFile(const std::string& folderIn, const std::string& source, const ImageToPdf& images) {
  if (folderIn.empty() || source.empty()) return Fail(PINFOLD_E_PARAM, "no work-desk folder or source given");
  const std::string folder = platform::TrimTrailingSeparator(folderIn);
  if (!platform::IsFile(source)) return Fail(PINFOLD_E_NOFILE, "the source does not exist: " + source);
  if (!platform::MakeFolders(folder) || !platform::IsFolder(folder))
    return Fail(PINFOLD_E_FOLDER, "the work-desk folder cannot be created: " + folder);

  // The work desk rearranges its folder under this lock; never write pages
  // beside it while it does.
  const std::string lockPath = platform::JoinPath(folder, kWorkingLockName);
  platform::HeldLock working = platform::HeldLock::TryAcquire(lockPath);
  if (!working) {
    // Busy only while someone holds the lock: a folder we cannot write in
    // would otherwise look busy for ever.
    if (platform::IsLockHeld(lockPath)) return ImportOutcome{PINFOLD_E_BUSY, false, "the work desk is busy"};
    return Fail(PINFOLD_E_FOLDER, "the work-desk folder cannot be written: " + folder);
  }

  ImportOutcome outcome;
  std::string pdf = source;
  TempPdf converted;
  if (!LooksLikePdf(source)) {
    if (!images) {
      working.Release();
      return Fail(PINFOLD_E_IMAGELIB, "not a PDF, and the image library cannot be loaded: " + source);
    }
    if (converted.path().empty()) {
      working.Release();
      return Fail(PINFOLD_E_WRITE, "no temporary folder for the converted image");
    }
    const int r = images(source, converted.path());
    if (r <= 0) {
      working.Release();
      const char* why = r == PINFOLD_E_UNSUPPORTED ? "neither a PDF nor a readable image: "
                        : r == PINFOLD_E_IMAGELIB  ? "not a PDF, and the image library cannot be loaded: "
                                                   : "the image cannot be converted: ";
      return Fail(r < 0 ? r : PINFOLD_E_INTERNAL, why + source);
    }
    pdf = converted.path();
    outcome.converted = true;
  }

  SplitPdf split = SplitPages(pdf);
  if (split.code != 0) {
    working.Release();
    return Fail(split.code, split.error + ": " + source);
  }
  const std::string stem = platform::StripExtension(platform::LastComponent(source));
  const std::string base = FreeBase(folder, stem, split.pages.size());
  if (base.empty()) {
    working.Release();
    return Fail(PINFOLD_E_WRITE, "no free page names for " + stem + " in " + folder);
  }
  std::vector<std::string> written;
  for (std::size_t i = 0; i < split.pages.size(); ++i) {
    const std::string target = platform::JoinPath(folder, PageName(base, i + 1));
    if (!platform::WriteFileAtomic(target, split.pages[i])) {
      // Leave no part of this import behind.
      for (const auto& w : written) platform::RemoveFile(w);
      working.Release();
      return Fail(PINFOLD_E_WRITE, "a page file cannot be written: " + target);
    }
    written.push_back(target);
  }
  working.Release();
  outcome.result = static_cast<int>(written.size());
  return outcome;
}

}  // namespace zv::companion::workdesk
