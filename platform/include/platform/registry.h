// The registry stand-in: two ini files, one machine-wide and one per user.
// A section is a key path as the system names it (for example
// "Software\Microsoft\Windows\CurrentVersion\App Paths\Zorvan.exe"), its keys
// are the value names, "@" the default value; binary values are hex text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zv::platform::registry {

// Override variables; otherwise $XDG_CONFIG_DIRS' first entry (/etc/xdg) +
// "/zorvan/registry-machine.ini" and $XDG_CONFIG_HOME (~/.config) +
// "/zorvan/registry-user.ini".
inline constexpr const char* kMachineFileVar = "ZORVAN_REGISTRY_MACHINE";
inline constexpr const char* kUserFileVar = "ZORVAN_REGISTRY_USER";

enum class Hive { LocalMachine, CurrentUser };

std::string HiveFile(Hive hive);
std::optional<std::string> GetValue(Hive hive, std::string_view keyPath, std::string_view name = "@");
bool SetValue(Hive hive, std::string_view keyPath, std::string_view name, std::string_view value);
bool DeleteValue(Hive hive, std::string_view keyPath, std::string_view name);
bool KeyExists(Hive hive, std::string_view keyPath);

// The default value of "Software\Microsoft\Windows\CurrentVersion\App
// Paths\<exe>" under the local machine: the registered program's path.
std::optional<std::string> AppPath(std::string_view exeName);

}  // namespace zv::platform::registry
