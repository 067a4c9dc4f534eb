// PDF documents through the writer: the page count, what the owner allows,
// and the printed copy (the document rewritten without its encryption).
#include <exception>
#include <string>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "pdf_print.h"
#include "pdfwriter/writer.h"

namespace zv::companion {

int PdfPageCount(const std::string& path) {
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str(), "");
    const auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
    return static_cast<int>(pages.size());
  } catch (const std::exception&) {
    return -1;
  }
}

PdfPrintClass ClassifyPdfForPrinting(const std::string& path) {
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str(), "");
    if (pdf.isEncrypted() && !pdf.allowPrintLowRes()) return PdfPrintClass::PrintingNotAllowed;
    return PdfPrintClass::Printable;
  } catch (const QPDFExc& e) {
    return e.getErrorCode() == qpdf_e_password ? PdfPrintClass::PasswordNeeded : PdfPrintClass::Unreadable;
  } catch (const std::exception&) {
    return PdfPrintClass::Unreadable;
  }
}

bool PrintPdfCopy(const std::string& source, const std::string& target, std::string& why) {
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(source.c_str(), "");
    if (pdf.isEncrypted() && !pdf.allowPrintLowRes()) {
      why = "printing is not allowed by the document's owner";
      return false;
    }
    if (QPDFPageDocumentHelper(pdf).getAllPages().empty()) {
      why = "the document has no pages";
      return false;
    }
    QPDFWriter writer(pdf, target.c_str());
    writer.setPreserveEncryption(false);
    writer.write();
    return true;
  } catch (const QPDFExc& e) {
    why = e.getErrorCode() == qpdf_e_password ? "a password is needed to open the document" : e.what();
    return false;
  } catch (const std::exception& e) {
    why = e.what();
    return false;
  }
}

}  // namespace zv::companion
