#include "binderlib/format.h"

#include <charconv>

#include "platform/text.h"

namespace zv::companion::binder {

std::string TitleWithoutBreaks(std::string_view title) {
  std::string out;
  out.reserve(title.size());
  for (char c : title) {
    if (c != kTitleBreak1 && c != kTitleBreak2) out.push_back(c);
  }
  return out;
}

std::string PageKey(int page, std::string_view suffix) {
  std::string key = "Page";
  key += std::to_string(page);
  key += suffix;
  return key;
}

std::optional<ParsedPageKey> ParsePageKey(std::string_view key) {
  if (key.size() < 5 || !platform::EqualsNoCase(key.substr(0, 4), "Page")) return std::nullopt;
  std::size_t i = 4;
  if (key[i] < '1' || key[i] > '9') return std::nullopt;  // no sign, no leading zero
  long long n = 0;
  while (i < key.size() && key[i] >= '0' && key[i] <= '9') {
    n = n * 10 + (key[i] - '0');
    if (n > 100'000'000) return std::nullopt;
    ++i;
  }
  ParsedPageKey parsed;
  parsed.page = static_cast<int>(n);
  parsed.suffix = std::string(key.substr(i));
  return parsed;
}

std::optional<int> ParseEditInfoSection(std::string_view section) {
  constexpr std::string_view kPrefix = "EditInfo";
  if (section.size() <= kPrefix.size() || !platform::EqualsNoCase(section.substr(0, kPrefix.size()), kPrefix))
    return std::nullopt;
  const std::string_view digits = section.substr(kPrefix.size());
  if (digits.size() > 9 || digits.front() < '1' || digits.front() > '9' ||
      digits.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  int n = 0;
  for (char c : digits) n = n * 10 + (c - '0');
  return n;
}

std::string EditInfoSection(int page) { return "EditInfo" + std::to_string(page); }

std::string Join(std::string_view folder, std::string_view name) {
  std::string out(folder);
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  if (out.empty() || out.back() != '/') out.push_back('/');
  out += name;
  return out;
}

std::string FolderName(std::string_view folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  const auto slash = folder.rfind('/');
  return std::string(slash == std::string_view::npos ? folder : folder.substr(slash + 1));
}

std::string BinderIniPath(std::string_view binderFolder) {
  return Join(binderFolder, FolderName(binderFolder) + ".ini");
}

std::string PageFilePath(std::string_view binderFolder, int id, bool secured) {
  const std::string name = FolderName(binderFolder);
  const char* ext = secured ? ".pwb" : ".pdf";
  if (id == 1) return Join(binderFolder, name + ext);
  return Join(binderFolder, name + std::to_string(id) + ext);
}

std::string MainPageFilePath(std::string_view binderFolder, bool secured) {
  return PageFilePath(binderFolder, 1, secured);
}

std::optional<int> PageFileIdFromName(std::string_view binderName, std::string_view fileName, bool secured) {
  const std::string_view ext = secured ? ".pwb" : ".pdf";
  if (fileName.size() <= ext.size() + binderName.size()) {
    if (fileName.size() == binderName.size() + ext.size() && fileName.substr(0, binderName.size()) == binderName &&
        platform::EqualsNoCase(fileName.substr(binderName.size()), ext)) {
      return 1;
    }
    return std::nullopt;
  }
  if (fileName.substr(0, binderName.size()) != binderName) return std::nullopt;
  if (!platform::EqualsNoCase(fileName.substr(fileName.size() - ext.size()), ext)) {
    return std::nullopt;
  }
  const std::string_view digits = fileName.substr(binderName.size(), fileName.size() - ext.size() - binderName.size());
  if (digits.empty() || digits[0] == '0') return std::nullopt;
  int id = 0;
  const auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (ec != std::errc() || p != digits.data() + digits.size() || id < 2) return std::nullopt;
  return id;
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> out;
  if (text.empty()) return out;
  std::size_t start = 0;
  while (true) {
    const auto comma = text.find(',', start);
    if (comma == std::string_view::npos) {
      if (start < text.size()) out.emplace_back(text.substr(start));
      break;
    }
    out.emplace_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return out;
}

std::string JoinList(const std::vector<std::string>& entries) {
  std::string out;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i) out.push_back(',');
    out += entries[i];
  }
  return out;
}

bool HasExPrefix(std::string_view entry) { return entry.size() > 2 && entry[0] == 'E' && entry[1] == 'x'; }

std::string StripExPrefix(std::string_view entry) { return std::string(HasExPrefix(entry) ? entry.substr(2) : entry); }

std::optional<int> ParseStrictInt(std::string_view text) {
  text = platform::Trim(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = text.substr(1, text.size() - 2);
  }
  if (text.empty()) return std::nullopt;
  const char* b = text.data();
  if (*b == '+') ++b;
  int v = 0;
  const auto [p, ec] = std::from_chars(b, text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
  return v;
}

}  // namespace zv::companion::binder
