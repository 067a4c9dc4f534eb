// The work desk's undo data for pages dragged out of a binder, as the send
// tests (and a drag-source stand-in) need it: "UndoData.ini" in an undo
// folder, in the binder ini's format, with the pages' files beside it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zv::testing {

struct UndoPage {
  std::string text;     // shown on the page; its file is "Page<i>.pdf"
  int flag = 0;         // Page<i>Flag; 2: no page file
  std::string keyword;  // Page<i>Content, when not empty
  std::string ocr;      // text of its OCR file "Ocr<i>.txt", when not empty
};

// Writes <folder>/UndoData.ini (made with the folder when missing): [Version]
// Version, [BinderInfo] PageTotal (`listedCount`, else the number of pages),
// per page Page<i>Flag, Page<i>FilePageName, Page<i>FilePageNumber (1),
// Page<i>Content and the OCRText keys; the page and OCR files beside it.
// Returns the ini's path.
std::string WriteUndoData(const std::string& folder, const std::vector<UndoPage>& pages, int version = 1,
                          std::optional<int> listedCount = std::nullopt);

}  // namespace zv::testing
