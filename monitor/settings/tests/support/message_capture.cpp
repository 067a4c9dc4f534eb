#include "support/message_capture.h"

#include <mutex>

#include "companion/common.h"
#include "companion/strings.h"

namespace zv::monitor::test {

namespace {
std::mutex g_mu;
std::vector<ShownMessage> g_shown;
}  // namespace

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

}  // namespace zv::monitor::test
