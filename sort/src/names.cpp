// Titles, folder names and the small services every direction shares.
#include <cstring>

#include "binderlib/format.h"
#include "companion/common.h"
#include "dravel/dravel.h"
#include "dravel/search.h"
#include "internal.h"
#include "platform/fs.h"
#include "platform/paths.h"

namespace zv::sort {

namespace bl = companion::binder;

namespace {
constexpr std::string_view kFolderSeparator = "$$";
constexpr std::string_view kDisplaySeparator = "..";

// Line 1 and line 2 of a title; `two` is false for a one-line title. A lone
// 0x18 also ends line 1; a stray 0x19 is not part of either line.
struct Lines {
  std::string first, second;
  bool two = false;
};
Lines SplitTitle(std::string_view title) {
  Lines l;
  const std::size_t at = title.find(bl::kTitleBreak1);
  std::string_view a = title.substr(0, at), b;
  if (at != std::string_view::npos) {
    l.two = true;
    b = title.substr(at + 1);
    if (!b.empty() && b.front() == bl::kTitleBreak2) b.remove_prefix(1);
  }
  for (char c : a) {
    if (c != bl::kTitleBreak2) l.first += c;
  }
  for (char c : b) {
    if (c != bl::kTitleBreak2) l.second += c;
  }
  return l;
}
}  // namespace

std::string FolderNameOfTitle(std::string_view title) {
  const Lines l = SplitTitle(title);
  return l.two ? l.first + std::string(kFolderSeparator) + l.second : l.first;
}

std::string DisplayOfTitle(std::string_view title) {
  const Lines l = SplitTitle(title);
  return l.two ? l.first + std::string(kDisplaySeparator) + l.second : l.first;
}

std::string TitleOfParts(std::string_view line1, std::string_view line2) {
  std::string t(line1);
  if (!line2.empty()) {
    t += bl::kTitleBreak1;
    t += bl::kTitleBreak2;
    t += line2;
  }
  return t;
}

bool SafeFolderName(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f || c == '/' || c == ',') return false;
  }
  return true;
}

bool IsOverflowName(std::string_view name) {
  char buffer[DRAVEL_PATH_MAX] = {};
  if (name.size() >= sizeof buffer) return false;
  std::memcpy(buffer, name.data(), name.size());
  // The split rewrites its argument: it runs on a copy, the name is kept.
  GetSharpNum2(buffer);
  return name != std::string_view(buffer);
}

// ---- the default Ui ------------------------------------------------------------
int Ui::Message(const std::string& text, const std::string& caption, int style) {
  return companion::ComShowMessageBox(text, caption, style);
}
void Ui::ProgressOpen(const std::string&, int) {}
void Ui::ProgressStep(const std::string&, int, int) {}
void Ui::ProgressClose() {}
void Ui::ShowFolderErrors(const std::string& text, const std::string& listPath) {
  Message(text + "\r\n\r\n" + listPath, "", companion::kMbOk | companion::kMbIconWarning);
}

void TraceLine(const Run& run, std::string_view file, int line, std::string_view message) {
  companion::TraceLogWrite(run.trace.path, run.trace.enabled, detail::kTag, file, line, message);
}

std::string FolderErrorListPath() {
  return platform::JoinPath(platform::JoinPath(platform::TempFolder(), "Zorvan"), "AutoImp_FolderError.txt");
}
std::string UnmatchedListPath() {
  return platform::JoinPath(platform::JoinPath(platform::TempFolder(), "Zorvan"), "AutoImp_FolderList.txt");
}

int OpenFolderErrorList(const Run& run) {
  const std::string list = FolderErrorListPath();
  if (!platform::IsFile(list)) return 1;
  ZV_SORT_TRACE(run, "OpneFolderErrorTxt: Folder name is ERROR!See %temp%\\Zorvan\\AutoImp_FolderError.txt!");
  detail::UiOf(run).ShowFolderErrors(detail::Text(detail::kFolderNameErrors), list);
  return 0;
}

bool FoldersApart(const Run& run) {
  auto norm = [](const std::string& p) { return platform::TrimTrailingSeparator(p) + "/"; };
  const std::string a = norm(run.linkFolder), b = norm(run.sortFolder);
  return !a.starts_with(b) && !b.starts_with(a);
}

namespace detail {

std::string Text(int id) { return companion::LoadString(companion::StringTable::SortFolder, id); }

namespace {
std::string Replace(std::string s, std::string_view what, std::string_view with) {
  const std::size_t at = s.find(what);
  if (at != std::string::npos) s.replace(at, what.size(), with);
  return s;
}
}  // namespace

std::string Format(int id, long long number, std::string_view text) {
  // The "%s" first: a text holding "%d" must stay as it is.
  const std::string t = Text(id);
  const std::size_t d = t.find("%d"), s = t.find("%s");
  if (d != std::string::npos && s != std::string::npos && s < d) {
    std::string out = t.substr(0, d);
    out = Replace(out, "%s", text);
    return out + std::to_string(number) + t.substr(d + 2);
  }
  std::string out = Replace(t, "%d", std::to_string(number));
  const std::size_t s2 = out.find("%s");
  if (s2 != std::string::npos) out.replace(s2, 2, text);
  return out;
}
std::string Format(int id, std::string_view text) {
  std::string t = Text(id);
  const std::size_t s = t.find("%s");
  if (s != std::string::npos) t.replace(s, 2, text);
  return t;
}
std::string Format(int id, long long a, long long b) {
  std::string t = Replace(Text(id), "%d", std::to_string(a));
  return Replace(t, "%d", std::to_string(b));
}

Ui& UiOf(const Run& run) {
  static Ui fallback;
  return run.ui != nullptr ? *run.ui : fallback;
}

std::string Join(std::string_view folder, std::string_view name) { return bl::Join(folder, name); }

int CheckName(const std::string& name, int level, std::string& line1, std::string& line2, const std::string& location) {
  char t1[DRAVEL_PATH_MAX] = {}, t2[DRAVEL_PATH_MAX] = {};
  const int r = CheckFolderName(name.c_str(), level, t1, t2, location.c_str());
  line1 = t1;
  line2 = t2;
  return r;
}

}  // namespace detail
}  // namespace zv::sort
