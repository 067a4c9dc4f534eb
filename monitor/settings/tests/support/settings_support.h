#pragma once

#include <string>
#include <vector>

namespace zv::monitor::testing {

// A fresh folder under the test binary dir, removed at destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const;

 private:
  std::string path_;
};

// Captures message boxes while alive (text, caption, style).
struct ShownMessage {
  std::string text, caption;
  int style = 0;
};
class MessageCapture {
 public:
  MessageCapture();
  ~MessageCapture();
  const std::vector<ShownMessage>& shown() const;
  bool Saw(int resourceId) const;
};

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& content);

}  // namespace zv::monitor::testing
