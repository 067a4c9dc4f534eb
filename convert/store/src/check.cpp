// The store consistency check.
#include "binderlib/format.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "store/store.h"

namespace zv::store {

namespace bl = companion::binder;
namespace ini = platform::ini;

int DetectLevel(const std::string& path) {
  if (!platform::IsFolder(path)) return -1;
  if (platform::IsFile(bl::BinderIniPath(path))) return 0;
  const std::string folderIni = bl::Join(path, bl::kFolderIni);
  if (!platform::IsFile(folderIni)) return -1;
  if (ini::SectionExists(folderIni, bl::kSecBinderInfo)) return 1;
  // Library or link folder: a library's children are cabinets.
  bl::FolderList list = bl::ReadFolderList(path, Level::Library, false);
  for (const auto& name : list.names) {
    const std::string childIni = bl::Join(bl::Join(path, name), bl::kFolderIni);
    if (!platform::IsFile(childIni)) continue;
    return ini::SectionExists(childIni, bl::kSecBinderInfo) ? 2 : 3;
  }
  // No child to tell by: a folder with a result folder is a link folder.
  return platform::IsFolder(bl::Join(path, bl::kResultFolder)) ? 3 : 2;
}

namespace {

void CheckLocks(const std::string& folder, std::vector<std::string>& out) {
  for (const auto& name : HeldLocks(folder)) out.push_back(folder + ": lock " + name + " is held");
}

void CheckBinder(const std::string& folder, std::vector<std::string>& out) {
  BinderSummary b = bl::ReadBinder(folder, true);
  for (auto& p : b.problems) out.push_back(p);
  CheckLocks(folder, out);
}

void CheckFolderLevel(const std::string& folder, Level level, std::vector<std::string>& out) {
  bl::FolderList list = bl::ReadFolderList(folder, level, true);
  for (auto& p : list.problems) out.push_back(p);
  if (list.names.size() > static_cast<std::size_t>(bl::ChildLimit(level))) {
    out.push_back(folder + ": " + std::to_string(list.names.size()) + " entries, more than " +
                  std::to_string(bl::ChildLimit(level)));
  }
  if (!platform::IsFile(bl::Join(folder, bl::kFolderDat))) {
    out.push_back(folder + ": Folder.dat missing");
  }
  CheckLocks(folder, out);
  for (const auto& name : list.names) {
    const std::string child = bl::Join(folder, name);
    if (!platform::IsFolder(child)) continue;  // reported above
    switch (level) {
      case Level::LinkFolder: CheckFolderLevel(child, Level::Library, out); break;
      case Level::Library: CheckFolderLevel(child, Level::Cabinet, out); break;
      case Level::Cabinet: CheckBinder(child, out); break;
    }
  }
}

}  // namespace

std::vector<std::string> CheckStore(const std::string& path) {
  std::vector<std::string> out;
  switch (DetectLevel(path)) {
    case 0: CheckBinder(path, out); break;
    case 1: CheckFolderLevel(path, Level::Cabinet, out); break;
    case 2: CheckFolderLevel(path, Level::Library, out); break;
    case 3: CheckFolderLevel(path, Level::LinkFolder, out); break;
    default: out.push_back(path + ": not a binder, cabinet, library or link folder"); break;
  }
  return out;
}

}  // namespace zv::store
