// Checks of sort-folder names that become library, cabinet and binder names.
#include <cstring>

#include "companion/export_guard.h"
#include "companion/strings.h"
#include "dravel/core.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::dravel {
namespace {

constexpr std::size_t kLibraryWidth = 40, kCabinetWidth = 32, kBinderWidth = 24;

// "Succeed" / "Fail" folders of a sort folder, a trailing "#", or an overflow
// number ("#" and digits at the end) are not names of new items.
bool PassedOver(std::string_view name) {
  if (platform::EqualsNoCase(name, Message(companion::kDravelSucceededFolder)) ||
      platform::EqualsNoCase(name, Message(companion::kDravelFailedFolder)))
    return true;
  if (name.ends_with('#')) return true;
  std::size_t i = name.size();
  while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') --i;
  return i < name.size() && i > 0 && name[i - 1] == '#';
}

// Start offsets of the title separators: runs of exactly two "$".
std::vector<std::size_t> Separators(std::string_view name) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < name.size();) {
    if (name[i] != '$') {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < name.size() && name[j] == '$') ++j;
    if (j - i == 2) at.push_back(i);
    i = j;
  }
  return at;
}

FolderNameCheck Refuse(int messageId) {
  FolderNameCheck c;
  c.result = 0;
  c.messageId = messageId;
  return c;
}

}  // namespace

FolderNameCheck CheckName(std::string_view name, int level) {
  FolderNameCheck c;
  if (name.empty() || level < 1 || level > 3 || PassedOver(name)) return c;
  if (level == 1 || level == 2) {
    if (platform::DisplayWidth(name) > (level == 1 ? kLibraryWidth : kCabinetWidth))
      return Refuse(level == 1 ? 89 : 90);
    c.result = 1;
    c.title1 = name;
    return c;
  }
  const std::vector<std::size_t> seps = Separators(name);
  if (seps.empty()) {
    if (platform::DisplayWidth(name) > kBinderWidth) return Refuse(91);
    c.result = 1;
    c.title1 = name;
    return c;
  }
  if (seps.front() == 0) return Refuse(92);
  if (seps.back() + 2 == name.size()) return Refuse(93);
  if (seps.size() > 1) return Refuse(94);
  const std::string_view before = name.substr(0, seps.front()), after = name.substr(seps.front() + 2);
  if (platform::DisplayWidth(before) > kBinderWidth) return Refuse(95);
  if (platform::DisplayWidth(after) > kBinderWidth) return Refuse(96);
  c.result = 1;
  c.title1 = before;
  c.title2 = after;
  return c;
}

std::string FolderErrorListPath() {
  return platform::JoinPath(platform::JoinPath(platform::TempFolder(), "Zorvan"), "AutoImp_FolderError.txt");
}

namespace {

void Report(std::string_view location, std::string_view name, int messageId) {
  const std::string folder = platform::JoinPath(platform::TempFolder(), "Zorvan");
  if (!platform::IsFolder(folder) && !platform::MakeFolders(folder)) {
    ZV_DRAVEL_TRACE("CheckFolderName: cannot create " + folder);
    return;
  }
  const std::string file = FolderErrorListPath();
  std::string text = platform::ReadFile(file).value_or(std::string());
  if (!text.empty() && text.back() != '\n') text += '\n';
  text += Message(companion::kDravelLabelLocation) + std::string(location) + "\n";
  text += Message(companion::kDravelLabelFolderName) + std::string(name) + "\n";
  text += Message(companion::kDravelLabelError) + Message(messageId) + "\n";
  if (!platform::WriteFileAtomic(file, text)) ZV_DRAVEL_TRACE("CheckFolderName: cannot write " + file);
}

void Put(char* out, const std::string& text) {
  if (out == nullptr) return;
  const std::string_view cut = platform::Utf8CutBytes(text, DRAVEL_PATH_MAX - 1);
  std::memcpy(out, cut.data(), cut.size());
  out[cut.size()] = '\0';
}

}  // namespace
}  // namespace zv::dravel

using namespace zv;

static int CheckFolderNameBody(const char* name, int level, char* title1, char* title2, const char* location) {
  if (title1 != nullptr) title1[0] = '\0';
  if (title2 != nullptr) title2[0] = '\0';
  if (name == nullptr) return -1;
  const dravel::FolderNameCheck c = dravel::CheckName(name, level);
  if (c.result == 0) {
    dravel::Report(location != nullptr ? location : "", name, c.messageId);
    return 0;
  }
  if (c.result == 1) {
    dravel::Put(title1, c.title1);
    dravel::Put(title2, c.title2);
  }
  return c.result;
}

extern "C" DRAVEL_API int CheckFolderName(const char* name, int level, char* title1, char* title2,
                                          const char* location) {
  return zv::companion::ExportGuard("_Dravel", "CheckFolderName", 0,
                                    [&] { return CheckFolderNameBody(name, level, title1, title2, location); });
}
