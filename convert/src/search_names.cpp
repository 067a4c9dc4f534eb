// Overflow names: "<base>#<n>" and the split of such a name.
#include <cstring>

#include "companion/export_guard.h"
#include "dravel/search.h"
#include "platform/text.h"

namespace zv::dravel {

namespace {

std::string_view TrimTrailingSharps(std::string_view s) {
  while (!s.empty() && s.back() == '#') s.remove_suffix(1);
  return s;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Numbers above this are kept as a suffix but read as this value, so that
// "next number" arithmetic never overflows.
constexpr int kLargestNumber = 999'999'999;

int ParseNumber(std::string_view digits) {
  long long v = 0;
  for (char c : digits) {
    v = v * 10 + (c - '0');
    if (v > kLargestNumber) return kLargestNumber;
  }
  return static_cast<int>(v);
}

}  // namespace

SharpSplit SplitSharpNumber(std::string_view name) {
  const std::string_view s = TrimTrailingSharps(name);
  if (s.empty()) return {{}, -1};
  // "#" is a single byte that never occurs inside a multi-byte character, so
  // the last code point "#" is the last "#" of the name.
  const std::size_t at = platform::FindLastOfCodePoint(s, "#");
  if (at == std::string_view::npos || !AllDigits(s.substr(at + 1))) return {std::string(s), 0};
  const std::string_view base = TrimTrailingSharps(s.substr(0, at));
  if (base.empty()) return {{}, -1};
  return {std::string(base), ParseNumber(s.substr(at + 1))};
}

std::string OverflowName(std::string_view base, int n, int maxWidth) {
  const std::string suffix = "#" + std::to_string(n);
  const int room = maxWidth - static_cast<int>(suffix.size());
  const std::string_view kept = platform::CutDisplayWidth(base, room > 0 ? static_cast<std::size_t>(room) : 0);
  return std::string(kept) + suffix;
}

void FillSearchDefaults(DravelSearchRequest& request) {
  auto fill = [](char* field, std::size_t size, const char* value) {
    if (field[0] == '\0') {
      std::strncpy(field, value, size - 1);
      field[size - 1] = '\0';
    }
  };
  for (char* f : {request.linkFolder, request.library, request.cabinet, request.binder, request.name5, request.name6}) {
    fill(f, DRAVEL_PATH_MAX, "@NONE");
  }
  fill(request.position, sizeof request.position, "@FRONT");
  fill(request.colour1, sizeof request.colour1, "000000999");
  fill(request.colour2, sizeof request.colour2, "255255151");
  fill(request.colour3, sizeof request.colour3, "255255128");
}

}  // namespace zv::dravel

static int GetSharpNum2Body(char* name) {
  if (name == nullptr) return -1;
  std::string current(name, strnlen(name, DRAVEL_PATH_MAX - 1));
  // Each pass takes one "#<digits>" off; a name that still changed is looked
  // at again, so "A#2#3" ends as "A".
  for (;;) {
    std::string_view trimmed(current);
    while (!trimmed.empty() && trimmed.back() == '#') trimmed.remove_suffix(1);
    const std::string step1(trimmed);
    const zv::dravel::SharpSplit split = zv::dravel::SplitSharpNumber(step1);
    if (step1.empty() || split.number == -1) {
      name[0] = '\0';
      return -1;
    }
    std::memcpy(name, split.base.c_str(), split.base.size() + 1);
    if (split.base == step1) return split.number;
    current = split.base;
  }
}

extern "C" DRAVEL_API int GetSharpNum2(char* name) {
  return zv::companion::ExportGuard("_Dravel", "GetSharpNum2", -1, [&] { return GetSharpNum2Body(name); });
}
