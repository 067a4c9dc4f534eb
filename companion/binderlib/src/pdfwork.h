// PDF work on qpdf shared by the page count and the insertion.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace zv::companion::binder::detail {

// An opened source document with its pages listed. The QPDF object stays
// alive as long as this does, so copies can be taken from it.
struct OpenedPdf {
  std::unique_ptr<QPDF> pdf;
  std::vector<QPDFObjectHandle> pages;
  std::vector<std::string> warnings;  // collected at each stage
  std::string error;                  // non-empty: unusable
  bool needsPassword = false;
};

// Opens with recovery (warnings suppressed from stderr, collected instead),
// then lists the pages by walking the tree. `password` for secured files.
OpenedPdf OpenPdf(const std::string& path, const std::string& password = {});

// Writes the given pages of `source` into one new PDF held in memory. With
// a password the result is AES-256 encrypted under it; without one the
// output is deterministic (same input, same bytes). Throws on failure;
// writer warnings are appended to `warnings`.
std::string WritePages(OpenedPdf& source, const std::vector<std::size_t>& pageIndexes, const std::string& password,
                       std::vector<std::string>& warnings);

// Writes pages taken from several opened documents, in order.
struct PageRef {
  OpenedPdf* doc;
  std::size_t index;
};
std::string WritePageList(const std::vector<PageRef>& pages, const std::string& password,
                          std::vector<std::string>& warnings);

}  // namespace zv::companion::binder::detail
