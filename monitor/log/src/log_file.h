// Internal helpers shared by the log writers.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace zv::monitor::detail {

// Appends `text` to `file`, creating the file when missing.
//
// platform/fs.h has no append call yet; this stays the one place of the
// monitor's logs that opens a file for appending. The stream is unbuffered
// and the whole text goes out in one fwrite, i.e. one write(2) on an
// O_APPEND descriptor, so a line never interleaves with another writer's.
bool AppendText(const std::string& file, std::string_view text);

// Local broken-down time of a Unix time.
std::tm LocalTime(std::int64_t unixSeconds);
// strftime into a std::string.
std::string FormatTime(const char* format, const std::tm& tm);

// A field that must stay on its line: CR LF, CR and LF inside it are shown
// as the two characters "\n".
std::string OneLine(std::string_view text);

// Text of a C array field: up to its terminator or its size.
template <std::size_t N>
std::string ArrayText(const char (&field)[N]) {
  std::size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string(field, n);
}

}  // namespace zv::monitor::detail
