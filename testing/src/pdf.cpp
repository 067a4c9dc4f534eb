#include "testing/pdf.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <regex>

namespace zv::testing {

std::vector<PdfPage> PdfPages(int count, const std::string& label) {
  std::vector<PdfPage> pages(static_cast<std::size_t>(count > 0 ? count : 0));
  for (int i = 0; i < count; ++i) pages[static_cast<std::size_t>(i)].text = label + " " + std::to_string(i + 1);
  return pages;
}

void MakePdf(const std::string& path, const std::vector<PdfPage>& pages, const std::optional<PdfLock>& lock) {
  QPDF pdf;
  pdf.emptyPDF();
  auto font = pdf.makeIndirectObject(
      QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
  QPDFPageDocumentHelper doc(pdf);
  for (const PdfPage& p : pages) {
    const std::string content =
        p.text.empty() ? "0 0 m 10 10 l S\n" : "BT /F1 24 Tf 72 720 Td (" + p.text + ") Tj ET\n";
    auto page = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 " +
                                                               QUtil::double_to_string(p.width, 3) + " " +
                                                               QUtil::double_to_string(p.height, 3) + "] >>"));
    auto fonts = QPDFObjectHandle::newDictionary();
    fonts.replaceKey("/F1", font);
    auto resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/Font", fonts);
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
    if (p.rotate != 0) page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(p.rotate));
    doc.addPage(QPDFPageObjectHelper(page), false);
  }
  QPDFWriter w(pdf, path.c_str());
  w.setCompressStreams(false);
  if (lock) {
    w.setR6EncryptionParameters(lock->user.c_str(), lock->owner.c_str(), true, false, false, false, false, false,
                                lock->print ? qpdf_r3p_full : qpdf_r3p_none, true);
  } else {
    w.setDeterministicID(true);  // not allowed together with encryption
  }
  w.write();
}

void MakePdf(const std::string& path, int pages, const std::string& label) { MakePdf(path, PdfPages(pages, label)); }

std::vector<std::string> PdfPageTexts(const std::string& path, const std::string& password) {
  std::vector<std::string> out;
  QPDF pdf;
  pdf.setSuppressWarnings(true);
  pdf.processFile(path.c_str(), password.empty() ? nullptr : password.c_str());
  static const std::regex re(R"(\(([^)]*)\) Tj)");
  for (auto& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
    std::string content;
    for (auto& s : page.getPageContents()) {
      auto buf = s.getStreamData(qpdf_dl_all);
      content.append(reinterpret_cast<const char*>(buf->getBuffer()), buf->getSize());
    }
    std::smatch m;
    out.push_back(std::regex_search(content, m, re) ? m[1].str() : std::string("?"));
  }
  return out;
}

int PdfPageCount(const std::string& path) {
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str());
    return static_cast<int>(pdf.getAllPages().size());
  } catch (const std::exception&) {
    return -1;
  }
}

}  // namespace zv::testing
