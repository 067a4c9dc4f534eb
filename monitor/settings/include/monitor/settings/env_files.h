// Where the monitor's settings and status files live.
#pragma once

#include <string>

namespace zv::monitor {

inline constexpr const char* kSettingsFileName = "EnvSetInfo.ini";
inline constexpr const char* kStatusFileName = "~HopvaleStatus.ini";
inline constexpr const char* kResultFolderName = "Rslt";
inline constexpr const char* kImportListSettingsName = "Quibbin.ini";

struct EnvFiles {
  std::string folder;    // program folder, no trailing "/"
  std::string settings;  // <folder>/EnvSetInfo.ini
  std::string status;    // <folder>/~HopvaleStatus.ini

  static EnvFiles ForFolder(const std::string& programFolder);
  // The running installation's program folder (platform::ProgramFolder()).
  static EnvFiles Default();
};

// <link folder>/Rslt/EnvSetInfo.ini
std::string ResultAreaCopyPath(const std::string& linkFolder);

}  // namespace zv::monitor
