// The registry stand-in on two ini files.
#include "platform/registry.h"

#include <cstdlib>

#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::platform::registry {

namespace {

std::string EnvOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string MachineConfigFolder() {
  std::string dirs = EnvOrEmpty("XDG_CONFIG_DIRS");
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t colon = dirs.find(':', start);
    std::string first = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (IsAbsolutePath(first)) return TrimTrailingSeparator(first);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return "/etc/xdg";
}

}  // namespace

std::string HiveFile(Hive hive) {
  if (hive == Hive::LocalMachine) {
    std::string over = EnvOrEmpty(kMachineFileVar);
    if (!over.empty()) return over;
    return MachineConfigFolder() + "/zorvan/registry-machine.ini";
  }
  std::string over = EnvOrEmpty(kUserFileVar);
  if (!over.empty()) return over;
  std::string appData = AppDataFolder();
  if (appData.empty()) return {};
  return appData + "/zorvan/registry-user.ini";
}

std::optional<std::string> GetValue(Hive hive, std::string_view keyPath, std::string_view name) {
  std::string file = HiveFile(hive);
  if (file.empty() || keyPath.empty()) return std::nullopt;
  std::string_view valueName = name.empty() ? std::string_view("@") : name;
  for (auto& [key, value] : ini::SectionEntries(file, keyPath)) {
    if (EqualsNoCase(key, valueName)) return value;
  }
  return std::nullopt;
}

bool SetValue(Hive hive, std::string_view keyPath, std::string_view name, std::string_view value) {
  std::string file = HiveFile(hive);
  if (file.empty() || keyPath.empty()) return false;
  std::string folder = ParentFolder(file);
  if (!folder.empty() && !MakeFolders(folder)) return false;
  return ini::WriteString(file, keyPath, name.empty() ? std::string_view("@") : name, value);
}

bool DeleteValue(Hive hive, std::string_view keyPath, std::string_view name) {
  std::string file = HiveFile(hive);
  if (file.empty() || keyPath.empty()) return false;
  return ini::DeleteKey(file, keyPath, name.empty() ? std::string_view("@") : name);
}

bool KeyExists(Hive hive, std::string_view keyPath) {
  std::string file = HiveFile(hive);
  if (file.empty() || keyPath.empty()) return false;
  return ini::SectionExists(file, keyPath);
}

std::optional<std::string> AppPath(std::string_view exeName) {
  if (exeName.empty()) return std::nullopt;
  std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  key.append(exeName);
  return GetValue(Hive::LocalMachine, key, "@");
}

}  // namespace zv::platform::registry
