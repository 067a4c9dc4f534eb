#include "monitor/log/skip_log.h"

#include "companion/trace.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/text_ids.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

constexpr std::size_t kTextMax = 259;       // text without a path
constexpr std::size_t kPathTextMax = 1023;  // text filled with a path
constexpr std::string_view kSkipSuffix = "_skip";

}  // namespace

std::string SkipCodeText(int code) { return MonitorText(code); }

std::string SkipLogLine(int code, int setting, const std::string* path) {
  std::string text = SkipCodeText(code);
  if (path != nullptr) {
    text = std::string(platform::Utf8CutBytes(platform::ReplaceFirst(text, "%s", *path), kPathTextMax));
  } else {
    text = std::string(platform::Utf8CutBytes(text, kTextMax));
  }
  std::string line = std::to_string(code) + ": ";
  if (setting == kSkipFaxOther) {
    line += "<other>";
  } else if (setting != kSkipNoSetting) {
    line += "<" + std::to_string(setting) + ">";
  }
  line += text;
  return line;
}

SkipLogOptions ReadSkipLogOptions(const std::string& settingsFile) {
  SkipLogOptions o;
  o.enabled = ProfileRead("Option", "SkipLogEnabled", 0, settingsFile);
  o.interval = ProfileRead("Option", "SkipLogInterval", 600, settingsFile);
  o.term = ProfileRead("Option", "SkipLogTerm", 10, settingsFile);
  return o;
}

void SkipLog::Begin(const std::string& infoFolder, const SkipLogOptions& options) {
  infoFolder_ = infoFolder;
  options_ = options;
  lastArmedMs_ = platform::SteadyMs();
  armed_.store(true);
}

void SkipLog::Begin(const LogContext& context) {
  Begin(context.InfoFolder(), ReadSkipLogOptions(context.SettingsFile()));
}

bool SkipLog::ArmIfDue() {
  if (armed_.load()) return false;
  // The monotonic clock: setting the wall clock back never silences the log.
  const std::int64_t now = platform::SteadyMs();
  if (now - lastArmedMs_ < static_cast<std::int64_t>(options_.interval) * 1000) return false;
  lastArmedMs_ = now;
  armed_.store(true);
  return true;
}

int WriteSkipLogLine(SkipLog& log, const std::string& line) {
  const SkipLogOptions& o = log.options();
  if (o.enabled == 0 || !log.armed()) return 0;
  companion::TraceLogPurge(companion::TraceLogAppendFolder(log.infoFolder(), kSkipSuffix), "*.*", o.term, o.enabled,
                           "");
  int result = companion::TraceLogAppend(log.infoFolder(), kSkipSuffix, line, o.enabled);
  log.Disarm();
  return result;
}

int WriteSkipLog(SkipLog& log, int code, int setting) {
  if (log.options().enabled == 0 || !log.armed()) return 0;
  return WriteSkipLogLine(log, SkipLogLine(code, setting, nullptr));
}

int WriteSkipLogPath(SkipLog& log, int code, int setting, const std::string& path) {
  if (log.options().enabled == 0 || !log.armed()) return 0;
  return WriteSkipLogLine(log, SkipLogLine(code, setting, &path));
}

}  // namespace zv::monitor
