// Messages, tracing and the program folder's settings file.
#include "companion/strings.h"
#include "companion/trace.h"
#include "dravel/core.h"
#include "platform/paths.h"

namespace zv::dravel {

std::string Message(int id) { return companion::LoadString(companion::StringTable::Dravel, id); }

void TraceLine(std::string_view file, int line, std::string_view message) {
  const companion::TraceSettings s = companion::ProcessTraceSettings();
  companion::TraceLogWrite(s.path, s.enabled, "_Dravel", file, line, message);
}

std::string EnvSetInfoPath() { return platform::JoinPath(platform::ProgramFolder(), "EnvSetInfo.ini"); }

}  // namespace zv::dravel
