// Binders to folders: the tree of binders that can be mirrored, and the
// folders made for the ticked ones.
#include <map>

#include "binderlib/format.h"
#include "companion/common.h"
#include "internal.h"
#include "platform/fs.h"
#include "platform/fs_error.h"
#include "platform/text.h"
#include "store/store.h"

namespace zv::sort {

namespace bl = companion::binder;
using namespace detail;

int BinderTree::TickedCount() const {
  int n = 0;
  for (const auto& l : libraries)
    for (const auto& c : l.cabinets)
      for (const auto& b : c.binders) n += b.ticked ? 1 : 0;
  return n;
}

void BinderTree::TickAll(bool ticked) {
  for (auto& l : libraries)
    for (auto& c : l.cabinets)
      for (auto& b : c.binders) b.ticked = ticked;
}

BinderTree LoadBinderTree(const std::string& linkFolder, const std::string& linkName) {
  BinderTree tree;
  tree.linkName = linkName;
  // Overflow levels and binders are reached through the binder search,
  // never through a folder of their own: their names are left out.
  for (const auto& lib : store::ListLibraries(linkFolder).children) {
    if (static_cast<int>(tree.libraries.size()) >= bl::kMaxLibraries) break;
    if (!lib.exists || IsOverflowName(lib.name)) continue;
    LibraryNode ln{lib.name, lib.path, {}};
    for (const auto& cab : store::ListCabinets(lib.path).children) {
      if (static_cast<int>(ln.cabinets.size()) >= bl::kMaxCabinets) break;
      if (!cab.exists || IsOverflowName(cab.name)) continue;
      CabinetNode cn{cab.name, cab.path, {}};
      for (const auto& b : store::ListBindersWithInfo(cab.path)) {
        if (static_cast<int>(cn.binders.size()) >= bl::kMaxBinders) break;
        // Secured and card binders take no imports; a binder that could not
        // be read is not offered either.
        if (b.kind != 0 || b.secured || IsOverflowName(b.title)) continue;
        cn.binders.push_back({b.title, DisplayOfTitle(b.title), FolderNameOfTitle(b.title), b.child.path, false});
      }
      ln.cabinets.push_back(std::move(cn));
    }
    tree.libraries.push_back(std::move(ln));
  }
  return tree;
}

namespace {

struct Planned {
  std::string library, cabinet, binder;  // folder names
  std::string label;                     // "library/cabinet/title" for messages
};

// A name the folder-name check takes as a new item of that level, so that
// the linking finds the folder again.
bool Linkable(const std::string& name, int level, const std::string& location, const std::string& title) {
  std::string l1, l2;
  if (CheckName(name, level, l1, l2, location) != 1) return false;
  return level != 3 || TitleOfParts(l1, l2) == title;
}

}  // namespace

Outcome BuildFoldersForBinders(const Run& run, const BinderTree& tree) {
  Outcome out;
  Ui& ui = UiOf(run);
  if (!FoldersApart(run)) {
    ZV_SORT_TRACE(run, "FromBinderToFolder: the sort folder and the link folder overlap! SortFolderPath = " +
                           run.sortFolder + " , LinkFolderPath = " + run.linkFolder);
    out.failure = Text(kNested);
    ui.Message(out.failure, "", companion::kMbOk | companion::kMbIconWarning);
    return out;
  }
  platform::RemoveFile(FolderErrorListPath());
  // Every ticked binder is checked before anything is made.
  std::vector<Planned> plan;
  std::vector<std::string> refused, shared;
  std::map<std::string, std::string> taken;  // lower-case relative folder -> first label
  for (const auto& l : tree.libraries) {
    const std::string sortLib = Join(run.sortFolder, l.name);
    for (const auto& c : l.cabinets) {
      const std::string sortCab = Join(sortLib, c.name);
      for (const auto& b : c.binders) {
        if (!b.ticked) continue;
        const std::string label = l.name + "/" + c.name + "/" + b.display;
        const std::string folder = FolderNameOfTitle(b.title);
        if (!SafeFolderName(folder) || !Linkable(l.name, 1, run.sortFolder, l.name) ||
            !Linkable(c.name, 2, sortLib, c.name) || !Linkable(folder, 3, sortCab, b.title)) {
          ZV_SORT_TRACE(run, "FromBinderToFolder: title not usable as a folder name: " + label);
          refused.push_back(label);
          continue;
        }
        const std::string key = platform::ToLowerAscii(l.name + "/" + c.name + "/" + folder);
        auto [it, fresh] = taken.emplace(key, label);
        if (!fresh) {
          ZV_SORT_TRACE(run, "FromBinderToFolder: two binders for one folder: " + it->second + " , " + label);
          shared.push_back(it->second + "  /  " + label);
          continue;
        }
        plan.push_back({l.name, c.name, folder, label});
      }
    }
  }
  if (!refused.empty() || !shared.empty()) {
    std::string text;
    auto lines = [](const std::vector<std::string>& v) {
      std::string s;
      for (const auto& x : v) s += x + "\r\n";
      return s;
    };
    if (!refused.empty()) text += Format(kUnusableTitles, lines(refused));
    if (!shared.empty()) text += (text.empty() ? "" : "\r\n") + Format(kSharedFolder, lines(shared));
    out.failure = text;
    ui.Message(text, "", companion::kMbOk | companion::kMbIconWarning);
    return out;
  }
  const int total = static_cast<int>(plan.size());
  ui.ProgressOpen(Text(kProgressTitle), total);
  int done = 0;
  // Below the sort folder nothing is followed through a symbolic link.
  platform::FolderHandle top;
  if (platform::IsFolder(run.sortFolder) || platform::MakeFolders(run.sortFolder)) {
    top = platform::FolderHandle::Open(run.sortFolder);
  }
  auto fail = [&](const std::string& path) {
    const int code = platform::LastFsError() ? platform::LastFsError().code : 0;
    ZV_SORT_TRACE(run, "MyCreateFolder->CreateDirectory(" + path + ") Fasle Error = " + std::to_string(code) +
                           " LinkFolder = " + run.linkFolder);
    ui.ProgressClose();
    out.failure = Format(kFolderFailed, code, path);
    ui.Message(out.failure, "", companion::kMbOk | companion::kMbIconWarning);
    return out;
  };
  if (!top.valid()) return fail(run.sortFolder);
  for (const Planned& p : plan) {
    ui.ProgressStep(p.label, done, total);
    platform::FolderHandle current;
    std::string path = run.sortFolder;
    const platform::FolderHandle* parent = &top;
    for (const std::string* part : {&p.library, &p.cabinet, &p.binder}) {
      path = Join(path, *part);
      const bool existed = parent->HasEntry(*part);
      platform::FolderHandle next = parent->Child(*part, true);
      if (!next.valid()) return fail(path);
      if (!existed) out.created.push_back(path);
      current = std::move(next);
      parent = &current;
    }
    ui.ProgressStep(p.label, ++done, total);
  }
  ui.ProgressClose();
  ZV_SORT_TRACE(run, "FromBinderToFolder: Create Folder From Binder is Success! SortFolderPath = " + run.sortFolder +
                         " , LinkFolderPath = " + run.linkFolder);
  ui.Message(Text(kFoldersDone), Text(kDoneCaption), companion::kMbOk | companion::kMbIconInfo);
  out.result = 1;
  return out;
}

}  // namespace zv::sort
