// Test PDFs made with qpdf, and what the tests read back from PDFs.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zv::testing {

struct PdfPage {
  double width = 595, height = 842;  // MediaBox in points (A4 portrait)
  int rotate = 0;                    // /Rotate, 0 for none
  std::string text;                  // shown on the page; empty: a short line is drawn
};
// Pages 1..count, each showing "<label> <i>".
std::vector<PdfPage> PdfPages(int count, const std::string& label = "page");

// Encryption (AES-256): the user password (empty: anyone may open it) and
// whether printing is allowed.
struct PdfLock {
  std::string user;
  std::string owner = "owner";
  bool print = true;
};

// Writes the PDF; an unencrypted one is the same bytes every time.
void MakePdf(const std::string& path, const std::vector<PdfPage>& pages,
             const std::optional<PdfLock>& lock = std::nullopt);
void MakePdf(const std::string& path, int pages, const std::string& label = "page");

// The text shown on each page (the "<label> <i>" line; "?" for a page
// without one).
std::vector<std::string> PdfPageTexts(const std::string& path, const std::string& password = {});
// Pages of a PDF; -1 when it cannot be read.
int PdfPageCount(const std::string& path);

}  // namespace zv::testing
