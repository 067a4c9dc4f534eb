#include "support/testpdf.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <filesystem>
#include <fstream>
#include <regex>

namespace zv::testing {

void MakePdf(const std::string& path, int pages, const std::string& label) {
  QPDF pdf;
  pdf.emptyPDF();
  auto font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
  for (int i = 1; i <= pages; ++i) {
    const std::string text = "BT /F1 24 Tf 72 720 Td (" + label + " " + std::to_string(i) + ") Tj ET\n";
    auto contents = QPDFObjectHandle::newStream(&pdf, text);
    auto page = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] >>"));
    auto fonts = QPDFObjectHandle::newDictionary();
    fonts.replaceKey("/F1", font);
    auto resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/Font", fonts);
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", contents);
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
  }
  QPDFWriter w(pdf, path.c_str());
  w.setDeterministicID(true);
  w.setCompressStreams(false);
  w.write();
}

void MakeBlankPdf(const std::string& path, int pages) {
  QPDF pdf;
  pdf.emptyPDF();
  for (int i = 0; i < pages; ++i) {
    auto page = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page >>"));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
  }
  QPDFWriter w(pdf, path.c_str());
  w.setDeterministicID(true);
  w.write();
}

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

std::string FreshFolder(const std::string& name) {
  const std::string dir = std::string(ZV_TEST_BINARY_DIR) + "/h5tests/" + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

std::string MakeCabinet(const std::string& root) {
  namespace fs = std::filesystem;
  fs::create_directories(root + "/Lib/Cab");
  std::ofstream(root + "/Folder.ini") << "[FolderInfo]\nNameList=Lib\nTypeList=0\n";
  std::ofstream(root + "/Folder.dat") << "[FolderInfo]\nNameList=Lib\nTypeList=0\n";
  std::ofstream(root + "/Lib/Folder.ini") << "[FolderInfo]\nNameList=Cab\nTypeList=0\n";
  std::ofstream(root + "/Lib/Folder.dat") << "[FolderInfo]\nNameList=Cab\nTypeList=0\n";
  std::ofstream(root + "/Lib/Cab/Folder.ini") << "[BinderInfo]\nNameList=\nTypeList=1\n";
  std::ofstream(root + "/Lib/Cab/Folder.dat") << "[BinderInfo]\nNameList=\nTypeList=1\n";
  return root + "/Lib/Cab";
}

}  // namespace zv::testing
