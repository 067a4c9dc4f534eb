// Writes the viewer's blank page file A4Hollow.pdf: one empty A4 portrait
// page. Run by the build; the installation puts the file beside the viewer.
// Usage: zv-make-hollow OUT.pdf
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: zv-make-hollow OUT.pdf\n";
    return 2;
  }
  try {
    QPDF pdf;
    pdf.emptyPDF();
    auto page =
        pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] "
                                                       "/Resources << >> >>"));
    page.replaceKey("/Contents", pdf.newStream(""));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
    QPDFWriter w(pdf, argv[1]);
    w.setDeterministicID(true);
    w.write();
  } catch (const std::exception& e) {
    std::cerr << "zv-make-hollow: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
