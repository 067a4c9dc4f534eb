// Trace-log settings of the program folder.
#include <cstring>

#include "companion/export_guard.h"
#include "dravel/core.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"

using namespace zv;

static int ReadTraceLogInfoBody(char* folder, int* keepDays) {
  const std::string env = dravel::EnvSetInfoPath();
  if (platform::ini::GetInt(env, "option", "TraceLogEnabled", 0) == 0) return 0;
  std::string path = platform::ini::GetString(env, "option", "TraceLogPath");
  if (path.empty()) path = platform::JoinPath(platform::ProgramFolder(), "AutoImpInfo");
  const int term = platform::ini::GetInt(env, "option", "TraceLogTerm", 7);
  if (keepDays != nullptr) *keepDays = term;
  // A path that does not fit the caller's buffer is refused, never cut.
  if (path.size() >= DRAVEL_PATH_MAX) return 0;
  if (folder != nullptr) std::memcpy(folder, path.c_str(), path.size() + 1);
  // An absolute path stands where a drive letter was required; anything
  // else ("\\server\share", a relative name) is refused.
  if (!platform::IsAbsolutePath(path)) return 0;
  if (platform::IsFolder(path)) return 1;
  if (platform::Exists(path)) return 0;
  return platform::MakeFolders(path) ? 1 : 0;
}

extern "C" DRAVEL_API int ReadTraceLogInfo(char* folder, int* keepDays) {
  return zv::companion::ExportGuard("_Dravel", "ReadTraceLogInfo", 0,
                                    [&] { return ReadTraceLogInfoBody(folder, keepDays); });
}
