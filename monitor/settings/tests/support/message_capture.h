// Message boxes of the settings layer caught while a test runs.
#pragma once

#include <string>
#include <vector>

namespace zv::monitor::test {

// Captures message boxes while alive (text, caption, style); each is
// answered with its default button.
struct ShownMessage {
  std::string text, caption;
  int style = 0;
};
class MessageCapture {
 public:
  MessageCapture();
  ~MessageCapture();
  const std::vector<ShownMessage>& shown() const;
  // Whether the monitor's message with this resource id was shown.
  bool Saw(int resourceId) const;
};

}  // namespace zv::monitor::test
