// A plain TIFF written byte by byte (little-endian, one strip).
#include "testing/tiff.h"

#include <cstdint>
#include <vector>

#include "testing/files.h"

namespace zv::testing {

namespace {

void Put16(std::string& s, std::uint16_t v) {
  s += static_cast<char>(v & 0xff);
  s += static_cast<char>(v >> 8);
}
void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xff);
}

}  // namespace

bool MakeGreyTiff(const std::string& path, int width, int height, int dpi) {
  if (width < 1 || height < 1) return false;
  struct Entry {
    std::uint16_t tag, type;
    std::uint32_t value;
  };
  constexpr std::uint16_t kShort = 3, kLong = 4, kRational = 5;
  constexpr std::uint32_t kIfd = 8, kEntries = 12;
  constexpr std::uint32_t kRationals = kIfd + 2 + kEntries * 12 + 4;
  constexpr std::uint32_t kPixels = kRationals + 16;
  const std::uint32_t w = static_cast<std::uint32_t>(width), h = static_cast<std::uint32_t>(height);
  const std::vector<Entry> entries = {
      {256, kLong, w},
      {257, kLong, h},
      {258, kShort, 8},
      {259, kShort, 1},
      {262, kShort, 1},
      {273, kLong, kPixels},
      {277, kShort, 1},
      {278, kLong, h},
      {279, kLong, w * h},
      {282, kRational, kRationals},
      {283, kRational, kRationals + 8},
      {296, kShort, 2},
  };
  std::string s = "II*";
  s += '\0';
  Put32(s, kIfd);
  Put16(s, static_cast<std::uint16_t>(entries.size()));
  for (const Entry& e : entries) {
    Put16(s, e.tag);
    Put16(s, e.type);
    Put32(s, 1);
    if (e.type == kShort) {
      Put16(s, static_cast<std::uint16_t>(e.value));
      Put16(s, 0);
    } else {
      Put32(s, e.value);
    }
  }
  Put32(s, 0);  // no next page
  for (int i = 0; i < 2; ++i) {
    Put32(s, static_cast<std::uint32_t>(dpi));
    Put32(s, 1);
  }
  s.reserve(s.size() + w * h);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) s += static_cast<char>((x + y) & 0xff);
  }
  return WriteText(path, s);
}

}  // namespace zv::testing
