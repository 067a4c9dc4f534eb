#include "viewertools/binder_pages.h"

#include <map>

#include "binderlib/format.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace zv::companion::viewertools {

namespace bl = companion::binder;
namespace ini = platform::ini;

std::vector<bl::PageOfFile> BinderPages(const bl::BinderSummary& b, const std::string& password) {
  std::vector<bl::PageOfFile> out;
  if (b.filePageMode != 0) {
    for (const auto& p : b.pages)
      if (p.flag != bl::kPageFlagNoFile) out.push_back({p.filePath, 0, password});
    return out;
  }
  // One page file: a page's place is its FilePageNumber, else its place
  // among the pages with a file.
  std::map<int, int> explicitPlace;
  for (const auto& [k, v] : ini::SectionEntries(b.iniPath, bl::kSecPageInfo)) {
    auto p = bl::ParsePageKey(k);
    if (p && platform::EqualsNoCase(p->suffix, bl::kSufFilePageNumber))
      if (auto n = bl::ParseStrictInt(v); n && *n >= 1) explicitPlace.emplace(p->page, *n);
  }
  const std::string main = bl::MainPageFilePath(b.folder, b.secured());
  int place = 0;
  for (const auto& p : b.pages) {
    if (p.flag == bl::kPageFlagNoFile) continue;
    ++place;
    auto it = explicitPlace.find(p.number);
    out.push_back({main, (it != explicitPlace.end() ? it->second : place) - 1, password});
  }
  return out;
}

}  // namespace zv::companion::viewertools
