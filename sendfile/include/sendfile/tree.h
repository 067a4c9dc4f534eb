// The link folders the choose dialog offers, and the libraries, cabinets
// and binders of one link folder.
#pragma once

#include <string>
#include <vector>

namespace zv::sendfile {

struct BinderNode {
  std::string title, folder;
  bool secured = false;
};
struct CabinetNode {
  std::string name, folder;
  std::vector<BinderNode> binders;
  bool ok = true;
};
struct LibraryNode {
  std::string name, folder;
  std::vector<CabinetNode> cabinets;
  bool ok = true;
};
struct LinkFolderNode {
  std::string path, name;  // name: LinkName<n>, else "リンクフォルダ<n>"
  bool current = false;
};

// LinkFolder1..3 of the viewer's folder list that are set.
std::vector<LinkFolderNode> ReadLinkFolderNodes();

// Libraries (up to 6), cabinets (up to 20 each) and binders (up to 21
// each) of a link folder. False when the link folder cannot be reached.
bool LoadLinkFolder(const std::string& path, std::vector<LibraryNode>& libraries);

}  // namespace zv::sendfile
