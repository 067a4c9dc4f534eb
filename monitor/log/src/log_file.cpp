#include "log_file.h"

#include "platform/fs.h"

namespace zv::monitor::detail {

bool AppendText(const std::string& file, std::string_view text) { return platform::AppendToFile(file, text); }

std::tm LocalTime(std::int64_t unixSeconds) {
  std::tm tm{};
  std::time_t t = static_cast<std::time_t>(unixSeconds);
  localtime_r(&t, &tm);
  return tm;
}

std::string FormatTime(const char* format, const std::tm& tm) {
  char buf[128];
  std::size_t n = std::strftime(buf, sizeof buf, format, &tm);
  return std::string(buf, n);
}

std::string OneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace zv::monitor::detail
