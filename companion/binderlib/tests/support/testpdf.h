// Test PDFs made with qpdf, and a small store tree.
#pragma once

#include <string>
#include <vector>

namespace zv::testing {

// A PDF of `pages` pages; page i shows the text "<label> <i>" (1-based).
void MakePdf(const std::string& path, int pages, const std::string& label = "page");
// A PDF of `pages` blank pages: no content stream, no resources, and no
// MediaBox (viewers show such a page at their default size).
void MakeBlankPdf(const std::string& path, int pages);
// The texts shown on the pages of a PDF (the label lines), in order.
std::vector<std::string> PdfPageTexts(const std::string& path, const std::string& password = {});

// A fresh empty folder under the build tree for one test.
std::string FreshFolder(const std::string& name);

// link/lib/cab with Folder.ini files; returns the cabinet folder.
std::string MakeCabinet(const std::string& root);

}  // namespace zv::testing
