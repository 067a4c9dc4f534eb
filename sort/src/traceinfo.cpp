// Trace-log settings of the sort-folder library.
#include "internal.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace zv::sort {

int ReadTraceLogInfoForSort(std::string& folder, int& keepDays) {
  const std::string env = platform::JoinPath(platform::ProgramFolder(), "EnvSetInfo.ini");
  if (!platform::IsFile(env)) return 0;
  keepDays = platform::ini::GetInt(env, "option", "TraceLogTerm", 7);
  std::string path = platform::ini::GetString(env, "option", "TraceLogPath");
  if (path.empty()) path = platform::JoinPath(platform::ProgramFolder(), "AutoImpInfo");
  folder = path;
  if (platform::ini::GetInt(env, "option", "TraceLogEnabled", 0) == 0) return 0;
  // Only an absolute path names one folder: a relative one would follow the
  // working folder, and "//server/share" or "\\server\share" is a network name.
  if (!platform::IsAbsolutePath(path) || path.starts_with("//") || path.find('\\') != std::string::npos) return 0;
  if (platform::IsFolder(path)) return 1;
  if (platform::Exists(path)) return 0;
  return platform::MakeFolders(path) ? 1 : 0;
}

}  // namespace zv::sort
