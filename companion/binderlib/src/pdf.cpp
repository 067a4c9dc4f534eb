#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <deque>
#include <map>
#include <mutex>

#include "binderlib/binderlib.h"
#include "companion/trace.h"
#include "pdfwork.h"
#include "platform/fs.h"

namespace zv::companion::binder {

namespace detail {

namespace {

void TakeWarnings(QPDF& pdf, std::vector<std::string>& out) {
  if (!pdf.anyWarnings()) return;
  for (auto& w : pdf.getWarnings()) out.push_back(w.what());
}

}  // namespace

OpenedPdf OpenPdf(const std::string& path, const std::string& password) {
  OpenedPdf o;
  o.pdf = std::make_unique<QPDF>();
  o.pdf->setSuppressWarnings(true);
  o.pdf->setAttemptRecovery(true);
  try {
    o.pdf->processFile(path.c_str(), password.empty() ? nullptr : password.c_str());
  } catch (const QPDFExc& e) {
    TakeWarnings(*o.pdf, o.warnings);
    // A damaged file can surface as a password error; the warnings recorded
    // before it was thrown tell the two apart.
    if (e.getErrorCode() == qpdf_e_password && o.warnings.empty()) {
      o.needsPassword = true;
      o.error = "the document needs a password";
    } else {
      o.error = std::string("damaged PDF: ") + e.what();
    }
    return o;
  } catch (const std::exception& e) {
    TakeWarnings(*o.pdf, o.warnings);
    o.error = std::string("unreadable PDF: ") + e.what();
    return o;
  }
  TakeWarnings(*o.pdf, o.warnings);
  try {
    // Walks the page tree; /Count is never consulted. Inherited resources
    // are pushed to the pages so every copied page stands on its own.
    o.pdf->pushInheritedAttributesToPage();
    o.pages = o.pdf->getAllPages();
  } catch (const std::exception& e) {
    TakeWarnings(*o.pdf, o.warnings);
    o.pages.clear();
    o.error = std::string("damaged page tree: ") + e.what();
    return o;
  }
  TakeWarnings(*o.pdf, o.warnings);
  if (o.pages.empty()) o.error = "the document has no pages";
  return o;
}

std::string WritePageList(const std::vector<PageRef>& pages, const std::string& password,
                          std::vector<std::string>& warnings) {
  QPDF out;
  out.setSuppressWarnings(true);
  out.emptyPDF();
  std::map<QPDF*, std::shared_ptr<QPDFAcroFormDocumentHelper>> sourceForms;
  std::shared_ptr<QPDFAcroFormDocumentHelper> outForm;
  for (const auto& ref : pages) {
    QPDF* src = ref.doc->pdf.get();
    auto it = sourceForms.find(src);
    if (it == sourceForms.end()) {
      auto afdh = std::make_shared<QPDFAcroFormDocumentHelper>(*src);
      it = sourceForms.emplace(src, afdh->hasAcroForm() ? afdh : nullptr).first;
    }
    QPDFObjectHandle page = ref.doc->pages.at(ref.index);
    out.addPage(page, false);
    if (it->second) {
      // Widgets shared with other pages must not come along as orphans.
      if (!outForm) outForm = std::make_shared<QPDFAcroFormDocumentHelper>(out);
      QPDFPageObjectHelper newPage(out.getAllPages().back());
      outForm->fixCopiedAnnotations(newPage.getObjectHandle(), page, *it->second);
    }
  }
  TakeWarnings(out, warnings);
  QPDFWriter w(out);
  w.setOutputMemory();
  // The file ID is qpdf's usual one (time and content summary), not a hash
  // of the whole output: that hash cost a second pass over every page's bytes.
  if (!password.empty()) {
    // AES-256 (R6).
    w.setR6EncryptionParameters(password.c_str(), password.c_str(), true, true, true, true, true, true, qpdf_r3p_full,
                                true);
  }
  w.write();
  for (const auto& ref : pages) TakeWarnings(*ref.doc->pdf, warnings);
  TakeWarnings(out, warnings);
  std::unique_ptr<Buffer> buf(w.getBuffer());
  return std::string(reinterpret_cast<const char*>(buf->getBuffer()), buf->getSize());
}

std::string WritePages(OpenedPdf& source, const std::vector<std::size_t>& pageIndexes, const std::string& password,
                       std::vector<std::string>& warnings) {
  std::vector<PageRef> refs;
  for (auto i : pageIndexes) refs.push_back({&source, i});
  return WritePageList(refs, password, warnings);
}

}  // namespace detail

namespace {

// The last few checks, each with the stamp of the file it read. Filing one
// document asks for its page count at several steps (before the search, in
// the search, against the binder's limit, for the insertion); the file does
// not change in between, and reading it again cost a full parse each time.
// A file changed in any way (size, times, inode) is read again.
struct CachedCheck {
  std::string path;
  platform::FileStamp stamp;
  PdfCheck check;
};
std::mutex g_checkMutex;
std::deque<CachedCheck> g_checks;
constexpr std::size_t kCachedChecks = 8;

PdfCheck CheckPdfUncached(const std::string& path);

}  // namespace

PdfCheck CheckPdf(const std::string& path) {
  const auto before = platform::Stamp(path);
  if (before) {
    std::lock_guard<std::mutex> hold(g_checkMutex);
    for (const auto& c : g_checks) {
      if (c.path == path && c.stamp == *before) return c.check;
    }
  }
  PdfCheck c = CheckPdfUncached(path);
  const auto after = platform::Stamp(path);
  if (before && after && *before == *after) {
    std::lock_guard<std::mutex> hold(g_checkMutex);
    g_checks.push_front({path, *after, c});
    if (g_checks.size() > kCachedChecks) g_checks.pop_back();
  }
  return c;
}

namespace {

PdfCheck CheckPdfUncached(const std::string& path) {
  PdfCheck c;
  auto o = detail::OpenPdf(path);
  c.repaired = !o.warnings.empty();
  c.needsPassword = o.needsPassword;
  c.error = o.error;
  if (o.error.empty()) {
    c.pages = static_cast<int>(o.pages.size());
    try {
      c.encrypted = o.pdf->isEncrypted();
      c.printRestricted = c.encrypted && !o.pdf->allowPrintHighRes() && !o.pdf->allowPrintLowRes();
    } catch (const std::exception&) {
    }
  } else if (c.needsPassword) {
    c.encrypted = true;
  }
  return c;
}

}  // namespace

int PdfPageCount(const std::string& path) {
  try {
    auto c = CheckPdf(path);
    return c.error.empty() ? c.pages : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

int PdfPageCountA3B4(const std::string& path, int /*a3b4*/) {
  // Pages are filed whole, so the count is the page tree's. A page without
  // a usable MediaBox (a blank page made by a tool that left it out) is
  // still a page: viewers show it at their default size.
  return PdfPageCount(path);
}

}  // namespace zv::companion::binder
