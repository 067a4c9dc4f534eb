#include "support/log_support.h"

#include <ctime>

#include "platform/paths.h"

namespace zv::monitor::testing {

LogFixture::LogFixture(const std::string& optionLines) : tz_(std::in_place, "TZ", "UTC"), scoped_(clock) {
  ::tzset();
  clock.SetUnixSeconds(kStartTime);
  context.programFolder = dir_.path();
  context.languageId = 1033;
  SetOptions(optionLines);
}

LogFixture::~LogFixture() {
  tz_.reset();
  ::tzset();
}

std::string LogFixture::operator/(const std::string& name) const {
  return platform::JoinPath(context.programFolder, name);
}

void LogFixture::SetOptions(const std::string& optionLines) {
  WriteText(context.SettingsFile(), "[Option]\n" + optionLines);
}

}  // namespace zv::monitor::testing
