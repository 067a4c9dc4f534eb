// New documents made of pages of other PDF files: the single-file binder's
// page file after a deletion or a send, one page taken out of a file of
// several. The pages are written by the same writer as the insertion's.
#include <map>
#include <memory>

#include "binderlib/binderlib.h"
#include "pdfwork.h"
#include "platform/fs.h"

namespace zv::companion::binder {

std::optional<std::string> MakeDocumentFromPages(const std::vector<PageOfFile>& pages, const std::string& password,
                                                 std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<std::string> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (pages.empty()) return std::string();
  try {
    // Keyed by file and password: the same file is opened once.
    std::map<std::pair<std::string, std::string>, std::unique_ptr<detail::OpenedPdf>> open;
    std::vector<detail::PageRef> refs;
    refs.reserve(pages.size());
    for (const auto& p : pages) {
      auto& doc = open[{p.file, p.password}];
      if (!doc) {
        doc = std::make_unique<detail::OpenedPdf>(detail::OpenPdf(p.file, p.password));
        if (!doc->error.empty()) return fail(p.file + ": " + doc->error);
      }
      if (p.page < 0 || static_cast<std::size_t>(p.page) >= doc->pages.size()) {
        return fail(p.file + ": no page " + std::to_string(p.page + 1));
      }
      refs.push_back({doc.get(), static_cast<std::size_t>(p.page)});
    }
    std::vector<std::string> warnings;
    return detail::WritePageList(refs, password, warnings);
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  } catch (const std::exception& e) {
    return fail(std::string("PDF could not be written: ") + e.what());
  }
}

int PdfPageCountOpened(const std::string& path, const std::string& password) {
  try {
    auto doc = detail::OpenPdf(path, password);
    return doc.error.empty() ? static_cast<int>(doc.pages.size()) : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

bool WriteDocumentFromPages(const std::vector<PageOfFile>& pages, const std::string& password,
                            const std::string& target, std::string* error) {
  auto bytes = MakeDocumentFromPages(pages, password, error);
  if (!bytes) return false;
  if (!platform::WriteFileAtomic(target, *bytes)) {
    if (error) *error = target + ": cannot be written";
    return false;
  }
  return true;
}

}  // namespace zv::companion::binder
