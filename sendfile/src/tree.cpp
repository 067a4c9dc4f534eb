#include "sendfile/tree.h"

#include "binderlib/binderini.h"
#include "binderlib/folderlist.h"
#include "binderlib/format.h"
#include "companion/services.h"
#include "dravel/dravel.h"
#include "platform/fs.h"
#include "platform/paths.h"

namespace zv::sendfile {

namespace bl = companion::binder;

std::vector<LinkFolderNode> ReadLinkFolderNodes() {
  const companion::ViewerFolders v = companion::ReadViewerFolders();
  std::vector<LinkFolderNode> out;
  for (int i = 0; i < 3; ++i) {
    if (v.link[i].empty()) continue;
    LinkFolderNode n;
    n.path = platform::TrimTrailingSeparator(v.link[i]);
    n.name = v.name[i].empty() ? "リンクフォルダ" + std::to_string(i + 1) : v.name[i];
    n.current = n.path == platform::TrimTrailingSeparator(v.currentFolder);
    out.push_back(std::move(n));
  }
  return out;
}

bool LoadLinkFolder(const std::string& path, std::vector<LibraryNode>& libraries) {
  libraries.clear();
  if (!platform::IsFolder(path)) return false;
  const bl::FolderList libs = bl::ReadFolderList(path, bl::Level::LinkFolder, false);
  for (std::size_t i = 0; i < libs.names.size() && i < static_cast<std::size_t>(bl::kMaxLibraries); ++i) {
    LibraryNode lib{libs.names[i], bl::Join(path, libs.names[i]), {}, true};
    const bl::FolderList cabs = bl::ReadFolderList(lib.folder, bl::Level::Library, false);
    lib.ok = platform::IsFolder(lib.folder);
    for (std::size_t c = 0; c < cabs.names.size() && c < static_cast<std::size_t>(bl::kMaxCabinets); ++c) {
      CabinetNode cab{cabs.names[c], bl::Join(lib.folder, cabs.names[c]), {}, true};
      std::vector<DravelBinderInfo> records(bl::kMaxBinders);
      const int n = GetAllBinderInfo(cab.folder.c_str(), records.data(), static_cast<int>(records.size()));
      cab.ok = n >= 0;
      for (int b = 0; b < n; ++b) {
        BinderNode node{records[static_cast<std::size_t>(b)].title, records[static_cast<std::size_t>(b)].path, false};
        node.title = bl::TitleWithoutBreaks(node.title);
        node.secured = bl::ReadBinder(node.folder, false).secured();
        cab.binders.push_back(std::move(node));
      }
      lib.cabinets.push_back(std::move(cab));
    }
    libraries.push_back(std::move(lib));
  }
  return true;
}

}  // namespace zv::sendfile
