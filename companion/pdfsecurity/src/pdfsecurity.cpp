#include "pdfsecurity/pdfsecurity.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFSystemError.hh>

#include <exception>
#include <new>

#include "platform/fs.h"

namespace zv::companion {
namespace {

bool Unrestricted(QPDF& pdf) {
  return pdf.allowAccessibility() && pdf.allowExtractAll() && pdf.allowPrintHighRes() && pdf.allowModifyAll();
}

}  // namespace

PdfSecurity CheckPdfSecurity(const std::string& path) {
  if (path.empty()) return PdfSecurity::kOther;
  if (platform::IsFolder(path)) return PdfSecurity::kOther;
  if (!platform::Exists(path)) return PdfSecurity::kMissing;

  QPDF pdf;
  pdf.setSuppressWarnings(true);
  bool opened = false;
  try {
    pdf.processFile(path.c_str(), "");
    opened = true;
    // Damage often surfaces only while the page tree is walked; never trust
    // the root's /Count.
    (void)pdf.getAllPages();
    if (!pdf.isEncrypted()) return PdfSecurity::kNone;
    int r = 0, p = 0, v = 0;
    QPDF::encryption_method_e streamMethod{}, stringMethod{}, fileMethod{};
    if (!pdf.isEncrypted(r, p, v, streamMethod, stringMethod, fileMethod)) return PdfSecurity::kNone;
    if (streamMethod == QPDF::e_unknown || stringMethod == QPDF::e_unknown) return PdfSecurity::kUnsupported;
    if (Unrestricted(pdf)) return PdfSecurity::kNone;
    return pdf.allowPrintLowRes() ? PdfSecurity::kPrintAllowed : PdfSecurity::kPrintDenied;
  } catch (QPDFExc& e) {
    if (!opened && e.getErrorCode() == qpdf_e_password) {
      // A file damaged enough to garble its encryption dictionary also ends
      // as a wrong password; the repair warnings tell the two apart.
      return pdf.anyWarnings() ? PdfSecurity::kDamaged : PdfSecurity::kPasswordNeeded;
    }
    if (e.getErrorCode() == qpdf_e_unsupported) return PdfSecurity::kUnsupported;
    // The file could not be read at all: not a statement about the PDF.
    if (!opened && e.getErrorCode() == qpdf_e_system) return PdfSecurity::kOther;
    return PdfSecurity::kDamaged;
  } catch (QPDFSystemError&) {
    return opened ? PdfSecurity::kDamaged : PdfSecurity::kOther;
  } catch (std::bad_alloc&) {
    return PdfSecurity::kOther;
  } catch (std::exception&) {
    return PdfSecurity::kDamaged;
  } catch (...) {
    return PdfSecurity::kOther;
  }
}

}  // namespace zv::companion
