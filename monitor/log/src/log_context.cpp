#include "monitor/log/log_context.h"

#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

std::string LogContext::SettingsFile() const { return platform::JoinPath(programFolder, "EnvSetInfo.ini"); }

std::string LogContext::InfoFolder() const { return platform::JoinPath(programFolder, "AutoImpInfo"); }

int LogContext::EffectiveLanguageId() const { return languageId != 0 ? languageId : platform::UserLanguageId(); }

LogContext DefaultLogContext() {
  LogContext context;
  context.programFolder = platform::ProgramFolder();
  return context;
}

}  // namespace zv::monitor
