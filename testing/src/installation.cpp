#include "testing/installation.h"

#include <filesystem>
#include <stdexcept>

#include "binderlib/binderini.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "store/store.h"
#include "testing/files.h"

namespace zv::testing {

namespace {
void Ini(const std::string& file, const std::string& section, const std::string& key, const std::string& value) {
  if (!platform::ini::WriteString(file, section, key, value)) throw std::runtime_error("ini write " + file);
}
}  // namespace

Installation::Installation() {
  for (const char* d : {"program", "tmp", "appdata/zorvan", "viewer"})
    if (!platform::MakeFolders(Path(d))) throw std::runtime_error("folder " + Path(d));
  vars_ = {{platform::kProgramDirVar, program()},
           {"TMPDIR", temp()},
           {"XDG_CONFIG_HOME", appData()},
           {"ZORVAN_VIEWER_DIR", viewer()},
           {platform::registry::kMachineFileVar, machineRegistry()},
           {platform::registry::kUserFileVar, userRegistry()}};
  for (const auto& [name, value] : vars_) env_.emplace_back(name, value);
  platform::ini::ClearCache();
}

Installation::~Installation() { platform::ini::ClearCache(); }

void Installation::WriteSettings(const std::map<std::string, std::string>& option) const {
  std::string text = "[option]\n";
  for (const auto& [key, value] : option) text += key + "=" + value + "\n";
  // A new file, not a rewrite in place: the ini cache sees the change even
  // when the size and the time stamps stay the same.
  if (!platform::WriteFileAtomic(settings(), text)) throw std::runtime_error("settings " + settings());
}

void Installation::AddViewer() const {
  const std::string viewerExe = Path("viewer/zorvan-viewer");
  if (!WriteText(viewerExe, "#!/bin/sh\necho 'Zorvan Reader 4.0'\n") ||
      !WriteText(Path("viewer/zorvan-suite"), "suite\n"))
    throw std::runtime_error("viewer stand-ins");
  std::filesystem::permissions(viewerExe, std::filesystem::perms(0755));
  const std::string appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  Ini(machineRegistry(), appPaths + "ZorvanPersonalBrennic.exe", "@", Path("viewer/zorvan-suite"));
  Ini(machineRegistry(), appPaths + "Zorvan.exe", "@", viewerExe);
}

void Installation::LinkIntoViewer(const std::string& name, const std::string& target) const {
  std::filesystem::create_symlink(target, Path("viewer/" + name));
}

std::string Installation::AddLinkFolder(const std::string& name) {
  const std::string link = Path("links/" + name);
  if (!platform::MakeFolders(link)) throw std::runtime_error("link folder " + link);
  const std::string n = std::to_string(++links_);
  Ini(folderList(), "Folder", "FolderNum", n);
  Ini(folderList(), "Folder", "LinkFolder" + n, link);
  Ini(folderList(), "Folder", "LinkName" + n, name);
  Ini(folderList(), "Folder", "CurrentFolder", link);
  Ini(folderList(), "Folder", "CurrentNum", n);
  Ini(folderList(), "Folder", "CurrentName", name);
  return link;
}

std::string Installation::AddCabinet(const std::string& linkFolder, const std::string& library,
                                     const std::string& cabinet) const {
  const std::string libFolder = platform::JoinPath(linkFolder, library);
  if (!platform::IsFolder(libFolder) && !store::CreateLibrary(linkFolder, library).ok())
    throw std::runtime_error("library " + libFolder);
  const std::string cabFolder = platform::JoinPath(libFolder, cabinet);
  if (!platform::IsFolder(cabFolder) && !store::CreateCabinet(libFolder, cabinet).ok())
    throw std::runtime_error("cabinet " + cabFolder);
  return cabFolder;
}

std::string Installation::AddBinder(const std::string& cabinetFolder, const std::string& title) const {
  companion::binder::BinderDescription d;
  d.title = title;
  const auto binder = store::CreateBinder(cabinetFolder, d);
  if (!binder.ok()) throw std::runtime_error("binder " + title + " in " + cabinetFolder);
  return binder.path;
}

std::vector<std::string> Installation::Environment() const {
  std::vector<std::string> env;
  for (const auto& [name, value] : vars_) env.push_back(name + "=" + value);
  return env;
}

}  // namespace zv::testing
