// UTF-8 stepping and cutting, display width, ASCII folding, placeholders,
// user language.
#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>

namespace zv::platform {

namespace {

inline unsigned char Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

inline bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes the code point at s[i]; len receives its byte length (1 for an
// invalid byte, which decodes as itself).
char32_t Decode(std::string_view s, std::size_t i, std::size_t& len) {
  len = Utf8SequenceLength(s, i);
  unsigned char b0 = Byte(s, i);
  switch (len) {
    case 2: return (static_cast<char32_t>(b0 & 0x1F) << 6) | (Byte(s, i + 1) & 0x3F);
    case 3:
      return (static_cast<char32_t>(b0 & 0x0F) << 12) | (static_cast<char32_t>(Byte(s, i + 1) & 0x3F) << 6) |
             (Byte(s, i + 2) & 0x3F);
    case 4:
      return (static_cast<char32_t>(b0 & 0x07) << 18) | (static_cast<char32_t>(Byte(s, i + 1) & 0x3F) << 12) |
             (static_cast<char32_t>(Byte(s, i + 2) & 0x3F) << 6) | (Byte(s, i + 3) & 0x3F);
    default: return b0;
  }
}

struct Range {
  char32_t first, last;
};

// East Asian Width W and F (Unicode 15): CJK, kana, Hangul, full-width
// forms, wide symbols and emoji.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x2E99},   {0x2E9B, 0x2EF3},   {0x2F00, 0x2FD5},   {0x2FF0, 0x2FFB},   {0x3000, 0x303E},
    {0x3041, 0x3096},   {0x3099, 0x30FF},   {0x3105, 0x312F},   {0x3131, 0x318E},   {0x3190, 0x31E3},
    {0x31F0, 0x321E},   {0x3220, 0x3247},   {0x3250, 0x4DBF},   {0x4E00, 0xA48C},   {0xA490, 0xA4C6},
    {0xA960, 0xA97C},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE52},
    {0xFE54, 0xFE66},   {0xFE68, 0xFE6B},   {0xFF01, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x16FF0, 0x16FF1}, {0x17000, 0x187F7}, {0x18800, 0x18CD5}, {0x18D00, 0x18D08}, {0x1AFF0, 0x1AFF3},
    {0x1AFF5, 0x1AFFB}, {0x1AFFD, 0x1AFFE}, {0x1B000, 0x1B122}, {0x1B132, 0x1B132}, {0x1B150, 0x1B152},
    {0x1B155, 0x1B155}, {0x1B164, 0x1B167}, {0x1B170, 0x1B2FB}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F202}, {0x1F210, 0x1F23B}, {0x1F240, 0x1F248},
    {0x1F250, 0x1F251}, {0x1F260, 0x1F265}, {0x1F300, 0x1F320}, {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C},
    {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3}, {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4},
    {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E},
    {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F},
    {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6D7}, {0x1F6DC, 0x1F6DF},
    {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB}, {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A},
    {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FA7C}, {0x1FA80, 0x1FA88}, {0x1FA90, 0x1FABD},
    {0x1FABF, 0x1FAC5}, {0x1FACE, 0x1FADB}, {0x1FAE0, 0x1FAE8}, {0x1FAF0, 0x1FAF8}, {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD},
};

bool IsWide(char32_t cp) {
  if (cp < 0x1100) return false;
  auto it =
      std::upper_bound(std::begin(kWide), std::end(kWide), cp, [](char32_t v, const Range& r) { return v < r.first; });
  if (it == std::begin(kWide)) return false;
  --it;
  return cp <= it->last;
}

inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  if (i >= s.size()) return 1;
  unsigned char b0 = Byte(s, i);
  std::size_t len;
  char32_t min;
  if (b0 < 0x80) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    min = 0x10000;
  } else {
    return 1;
  }
  if (i + len > s.size()) return 1;
  for (std::size_t k = 1; k < len; ++k)
    if (!IsContinuation(Byte(s, i + k))) return 1;
  // Reject overlong forms, surrogates and values past U+10FFFF.
  char32_t cp = 0;
  if (len == 3) {
    cp = (static_cast<char32_t>(b0 & 0x0F) << 12) | (static_cast<char32_t>(Byte(s, i + 1) & 0x3F) << 6);
    if (cp < min || (cp >= 0xD800 && cp <= 0xDFFF)) return 1;
  } else if (len == 4) {
    cp = (static_cast<char32_t>(b0 & 0x07) << 18) | (static_cast<char32_t>(Byte(s, i + 1) & 0x3F) << 12);
    if (cp < min || cp > 0x10FFFF) return 1;
  }
  return len;
}

std::string_view Utf8CutBytes(std::string_view s, std::size_t maxBytes) {
  if (s.size() <= maxBytes) return s;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t len = Utf8SequenceLength(s, i);
    if (i + len > maxBytes) break;
    i += len;
  }
  return s.substr(0, i);
}

std::size_t DisplayWidth(std::string_view s) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t len;
    char32_t cp = Decode(s, i, len);
    width += (len > 1 && IsWide(cp)) ? 2 : 1;
    i += len;
  }
  return width;
}

std::string_view CutDisplayWidth(std::string_view s, std::size_t maxWidth) {
  std::size_t width = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t len;
    char32_t cp = Decode(s, i, len);
    std::size_t w = (len > 1 && IsWide(cp)) ? 2 : 1;
    if (width + w > maxWidth) break;
    width += w;
    i += len;
  }
  return s.substr(0, i);
}

int CompareNoCase(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(FoldAscii(a[i]));
    unsigned char cb = static_cast<unsigned char>(FoldAscii(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = FoldAscii(c);
  return out;
}

std::string ToUpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return TrimRight(s);
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::size_t FindLastOfCodePoint(std::string_view s, std::string_view chars) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t len = Utf8SequenceLength(s, i);
    if (len == 1 && chars.find(s[i]) != std::string_view::npos) found = i;
    i += len;
  }
  return found;
}

std::string ReplaceFirst(std::string text, std::string_view marker, std::string_view value) {
  if (marker.empty()) return text;
  if (const std::size_t at = text.find(marker); at != std::string::npos) text.replace(at, marker.size(), value);
  return text;
}

std::string ReplaceAll(std::string text, std::string_view marker, std::string_view value) {
  if (marker.empty()) return text;
  // The search goes on behind the inserted value, so a marker inside it stays.
  for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + value.size()))
    text.replace(at, marker.size(), value);
  return text;
}

std::string FillInOrder(std::string_view format, const std::vector<std::string>& values) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      out += format[i];
      continue;
    }
    if (format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < format.size() && format[end] >= '0' && format[end] <= '9') ++end;
    if (end < format.size() && (format[end] == 's' || format[end] == 'd')) {
      if (next < values.size()) out += values[next];
      ++next;
      i = end;
    } else {
      out += '%';
    }
  }
  return out;
}

namespace {

struct LangId {
  const char* locale;  // language, or language_REGION for regional ids
  int id;
};

// Regional entries first: they win over the bare language.
constexpr LangId kLanguages[] = {
    {"pt_BR", 1046}, {"pt_PT", 2070}, {"zh_TW", 1028}, {"zh_HK", 3076}, {"zh_MO", 5124}, {"zh_SG", 4100},
    {"zh_CN", 2052}, {"ja", 1041},    {"en", 1033},    {"de", 1031},    {"es", 1034},    {"fr", 1036},
    {"it", 1040},    {"pt", 2070},    {"ru", 1049},    {"zh", 2052},    {"ko", 1042},    {"nl", 1043},
    {"sv", 1053},    {"da", 1030},    {"fi", 1035},    {"nb", 1044},    {"no", 1044},    {"nn", 2068},
    {"pl", 1045},    {"cs", 1029},    {"sk", 1051},    {"hu", 1038},    {"el", 1032},    {"tr", 1055},
    {"ar", 1025},    {"he", 1037},    {"th", 1054},    {"uk", 1058},    {"ro", 1048},    {"bg", 1026},
    {"hr", 1050},    {"sl", 1060},    {"et", 1061},    {"lv", 1062},    {"lt", 1063},    {"vi", 1066},
    {"id", 1057},    {"ms", 1086},    {"hi", 1081},    {"ca", 1027},    {"is", 1039},    {"sr", 3098},
    {"fa", 1065},
};

std::string LocaleName() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "C";
}

}  // namespace

int UserLanguageId() {
  std::string loc = LocaleName();
  // "ja_JP.UTF-8@mod" -> "ja_JP"
  std::size_t cut = loc.find_first_of(".@");
  if (cut != std::string::npos) loc.resize(cut);
  std::string lang = loc.substr(0, loc.find('_'));
  for (const auto& e : kLanguages) {
    if (EqualsNoCase(loc, e.locale)) return e.id;
  }
  for (const auto& e : kLanguages) {
    if (EqualsNoCase(lang, e.locale)) return e.id;
  }
  return 1033;
}

bool UserLocaleIsJapanese() { return UserLanguageId() == 1041; }

}  // namespace zv::platform
