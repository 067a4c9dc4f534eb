#include "support/log_support.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>

#include "platform/fs.h"
#include "platform/paths.h"

namespace zv::monitor::testing {

LogFixture::LogFixture(const std::string& optionLines) : scoped_(clock) {
  static std::atomic<int> counter{0};
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  clock.SetUnixSeconds(kStartTime);
  context.programFolder = platform::JoinPath(
      ZV_TEST_BINARY_DIR, "tmp-log-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  context.languageId = 1033;
  platform::RemoveTree(context.programFolder);
  platform::MakeFolders(context.programFolder);
  SetOptions(optionLines);
}

LogFixture::~LogFixture() { platform::RemoveTree(context.programFolder); }

std::string LogFixture::operator/(const std::string& name) const {
  return platform::JoinPath(context.programFolder, name);
}

void LogFixture::SetOptions(const std::string& optionLines) {
  WriteAll(context.SettingsFile(), "[Option]\n" + optionLines);
}

std::string ReadAll(const std::string& path) { return platform::ReadFile(path).value_or(""); }

void WriteAll(const std::string& path, const std::string& content) {
  platform::MakeFolders(platform::ParentFolder(path));
  platform::WriteFileAtomic(path, content);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    out.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return out;
}

}  // namespace zv::monitor::testing
