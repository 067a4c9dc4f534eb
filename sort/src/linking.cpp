// The links from binder-level folders of a sort folder to binders, and their
// readable summary.
#include "binderlib/format.h"
#include "companion/strings.h"
#include "internal.h"
#include "platform/attributes.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "store/store.h"

namespace zv::sort {

namespace bl = companion::binder;
using namespace detail;

namespace {

std::vector<std::string> Children(const std::string& folder) {
  std::vector<std::string> out;
  if (auto entries = platform::ListFolder(folder)) {
    for (auto& e : *entries) {
      if (e.isFolder && !e.isSymlink && !platform::IsHidden(Join(folder, e.name))) out.push_back(e.name);
    }
  }
  return out;
}

// The listed item whose name equals `name`, exactly or else without ASCII case.
const store::ChildInfo* Match(const store::Listing& l, const std::string& name) {
  for (auto& c : l.children)
    if (c.name == name) return &c;
  for (auto& c : l.children)
    if (platform::EqualsNoCase(c.name, name)) return &c;
  return nullptr;
}

void SetSaveFoldersHidden(const std::string& folder, bool hidden) {
  for (int id : {57705, 57706}) {
    const std::string sub = Join(folder, companion::LoadString(companion::StringTable::Monitor, id));
    if (platform::IsFolder(sub)) platform::SetHidden(sub, hidden);
  }
}

}  // namespace

LinkResult LinkSortFolder(const std::string& sortFolder, const std::string& linkFolder, const LinkOptions& options) {
  LinkResult r;
  platform::RemoveFile(UnmatchedListPath());
  platform::RemoveFile(FolderErrorListPath());
  const store::Listing libs = store::ListLibraries(linkFolder);
  std::string l1, l2;
  for (const auto& libName : Children(sortFolder)) {
    const std::string sortLib = Join(sortFolder, libName);
    if (CheckName(libName, 1, l1, l2, sortFolder) == -1) continue;
    const store::ChildInfo* lib = Match(libs, libName);
    if (lib == nullptr) continue;
    const store::Listing cabs = store::ListCabinets(lib->path);
    for (const auto& cabName : Children(sortLib)) {
      const std::string sortCab = Join(sortLib, cabName);
      if (CheckName(cabName, 2, l1, l2, sortLib) == -1) continue;
      const store::ChildInfo* cab = Match(cabs, cabName);
      if (cab == nullptr) continue;
      const auto binders = store::ListBindersWithInfo(cab->path);
      for (const auto& binderName : Children(sortCab)) {
        const std::string folder = Join(sortCab, binderName);
        if (CheckName(binderName, 3, l1, l2, sortCab) != 1) continue;
        const std::string title = TitleOfParts(l1, l2);
        // The first binder of the list with that title; one that differs in
        // ASCII case only when none is equal.
        const store::BinderListEntry* hit = nullptr;
        for (auto& b : binders)
          if (!hit && b.title == title) hit = &b;
        for (auto& b : binders)
          if (!hit && platform::EqualsNoCase(b.title, title)) hit = &b;
        if (hit == nullptr) {
          r.unmatched.push_back(folder);
          platform::AppendToFile(UnmatchedListPath(), folder + "\n", true);
          continue;
        }
        if (static_cast<int>(r.links.size()) >= options.maxLinks) {
          r.tooMany = true;
          continue;
        }
        Link link;
        link.folder = folder;
        link.binder = hit->child.path;
        r.links.push_back(std::move(link));
        if (options.hideSaveFolders >= 0) SetSaveFoldersHidden(folder, options.hideSaveFolders == 1);
      }
    }
  }
  r.folderErrors = platform::IsFile(FolderErrorListPath());
  return r;
}

std::string LinksSummary(bool enabled, const std::string& sortFolder, const std::string& linkName,
                         const std::vector<Link>& links) {
  std::string s;
  s += Text(63287) + Text(enabled ? 63288 : 63289) + "\n";
  s += Text(63290) + " " + sortFolder + "\n";
  s += Text(63291) + " " + linkName + "\n";
  s += Text(63292) + " " + std::to_string(links.size()) + "\n";
  s += Text(63293) + "\n";
  for (const auto& l : links) {
    // The last three parts of the folder: library, cabinet and binder folder.
    std::string rest = platform::TrimTrailingSeparator(l.folder), tail;
    for (int i = 0; i < 3 && !rest.empty(); ++i) {
      const std::string part = platform::LastComponent(rest);
      tail = i == 0 ? part : part + "\\" + tail;
      rest = platform::ParentFolder(rest);
    }
    s += "\t" + tail + "\n";
  }
  return s;
}

}  // namespace zv::sort
