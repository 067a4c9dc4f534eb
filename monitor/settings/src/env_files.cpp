#include "monitor/settings/env_files.h"

#include "platform/paths.h"

namespace zv::monitor {

EnvFiles EnvFiles::ForFolder(const std::string& programFolder) {
  EnvFiles e;
  e.folder = platform::TrimTrailingSeparator(programFolder);
  e.settings = platform::JoinPath(e.folder, kSettingsFileName);
  e.status = platform::JoinPath(e.folder, kStatusFileName);
  return e;
}

EnvFiles EnvFiles::Default() { return ForFolder(platform::ProgramFolder()); }

std::string ResultAreaCopyPath(const std::string& linkFolder) {
  return platform::JoinPath(platform::JoinPath(platform::TrimTrailingSeparator(linkFolder), kResultFolderName),
                            kSettingsFileName);
}

}  // namespace zv::monitor
