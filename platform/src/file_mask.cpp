#include "platform/file_mask.h"

namespace zv::platform {

namespace {

inline unsigned char Fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

// Bytes of the UTF-8 sequence starting at name[i] (1 for a stray byte).
inline std::size_t SequenceLength(std::string_view s, std::size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  std::size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  std::size_t k = 1;
  while (k < n && i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80) ++k;
  return k;
}

bool HasExtension(std::string_view name) { return name.size() > 1 && name.find('.', 1) != std::string_view::npos; }

bool SameFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Fold(static_cast<unsigned char>(a[i])) != Fold(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// "*" and "?" against the whole name, greedy with one back-track point:
// O(mask x name) at worst, no allocation. Most names fail on the literal
// text before the first wildcard or after the last "*", so that is
// compared first.
bool Wildcard(std::string_view mask, std::string_view name) {
  const std::size_t head = mask.find_first_of("*?");
  if (head == std::string_view::npos) return SameFolded(mask, name);
  if (name.size() < head || !SameFolded(mask.substr(0, head), name.substr(0, head))) return false;
  const std::size_t star = mask.rfind('*');
  if (star != std::string_view::npos && mask.find('?', star) == std::string_view::npos) {
    const std::string_view tail = mask.substr(star + 1);
    if (name.size() < head + tail.size() || !SameFolded(tail, name.substr(name.size() - tail.size()))) return false;
  }
  std::size_t m = 0, n = 0;
  std::size_t starM = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size()) {
      const char c = mask[m];
      if (c == '*') {
        starM = ++m;
        starN = n;
        continue;
      }
      if (c == '?') {
        ++m;
        n += SequenceLength(name, n);
        continue;
      }
      if (Fold(static_cast<unsigned char>(c)) == Fold(static_cast<unsigned char>(name[n]))) {
        ++m;
        ++n;
        continue;
      }
    }
    if (starM == std::string_view::npos) return false;
    // Let the last "*" take one more character and try again from there.
    starN += SequenceLength(name, starN);
    m = starM;
    n = starN;
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

bool MatchesFileMask(std::string_view mask, std::string_view name) {
  if (mask.empty() || name.empty()) return false;
  if (mask.find('/') != std::string_view::npos || name.find('/') != std::string_view::npos) return false;
  const std::size_t len = mask.size();
  if (len >= 2 && mask[len - 2] == '.' && mask[len - 1] == '*') {
    // The extension part may be left out altogether.
    if (Wildcard(mask, name)) return true;
    return !HasExtension(name) && Wildcard(mask.substr(0, len - 2), name);
  }
  if (mask[len - 1] == '.') return !HasExtension(name) && Wildcard(mask.substr(0, len - 1), name);
  return Wildcard(mask, name);
}

}  // namespace zv::platform
