#include "support/settings_support.h"

#include <unistd.h>

#include <atomic>
#include <mutex>

#include "companion/common.h"
#include "companion/strings.h"
#include "platform/fs.h"
#include "platform/paths.h"

namespace zv::monitor::testing {

namespace {
std::mutex g_mu;
std::vector<ShownMessage> g_shown;
}  // namespace

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  path_ = platform::JoinPath(ZV_TEST_BINARY_DIR,
                             "tmp-settings-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  platform::RemoveTree(path_);
  platform::MakeFolders(path_);
}

TempFolder::~TempFolder() { platform::RemoveTree(path_); }

std::string TempFolder::operator/(const std::string& name) const { return platform::JoinPath(path_, name); }

MessageCapture::MessageCapture() {
  std::lock_guard<std::mutex> lock(g_mu);
  g_shown.clear();
  companion::SetMessageBoxHook([](const std::string& text, const std::string& caption, int style) {
    std::lock_guard<std::mutex> l(g_mu);
    g_shown.push_back({text, caption, style});
    return companion::DefaultButton(style);
  });
}

MessageCapture::~MessageCapture() { companion::SetMessageBoxHook(nullptr); }

const std::vector<ShownMessage>& MessageCapture::shown() const { return g_shown; }

bool MessageCapture::Saw(int resourceId) const {
  const std::string text = companion::LoadString(companion::StringTable::Monitor, resourceId);
  std::lock_guard<std::mutex> lock(g_mu);
  for (const ShownMessage& m : g_shown) {
    if (!text.empty() && m.text == text) return true;
  }
  return false;
}

std::string ReadAll(const std::string& path) { return platform::ReadFile(path).value_or(""); }

void WriteAll(const std::string& path, const std::string& content) { platform::WriteFileAtomic(path, content); }

}  // namespace zv::monitor::testing
