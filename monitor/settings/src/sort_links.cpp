#include "monitor/settings/sort_links.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "companion/trace.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/safe_write.h"
#include "monitor/settings/status.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

constexpr std::size_t kPathMax = 259;
constexpr std::size_t kSetDateMax = 15;
constexpr int kMaxTerm = 999;
constexpr int kDefaultTerm = 30;
constexpr int kReadRetries = 49;

// The section as read in one parse: keys without regard to ASCII case, the
// first of duplicates winning, as single reads would find them.
class Section {
 public:
  Section(const std::string& file, std::string_view section) {
    for (auto& [key, value] : platform::ini::SectionEntries(file, section))
      values_.emplace(platform::ToLowerAscii(key), std::move(value));
  }
  const std::string* Find(std::string_view key) const {
    auto it = values_.find(platform::ToLowerAscii(key));
    return it == values_.end() ? nullptr : &it->second;
  }
  std::string Text(std::string_view key, std::size_t maxBytes) const {
    const std::string* v = Find(key);
    if (v == nullptr) return {};
    return std::string(platform::Utf8CutBytes(platform::Trim(*v), maxBytes));
  }
  // The profile's integer rule: an absent or empty value is the default;
  // leading blanks, a sign and the digits up to the first other character;
  // 32-bit wrap-around.
  int Int(std::string_view key, int def) const {
    const std::string* v = Find(key);
    if (v == nullptr || v->empty()) return def;
    const std::string& s = *v;
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::uint32_t n = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) n = n * 10u + static_cast<std::uint32_t>(s[i] - '0');
    if (negative) n = 0u - n;
    return static_cast<int>(n);
  }

 private:
  std::unordered_map<std::string, std::string> values_;
};

int Term(const Section& s, std::string_view key) {
  const int v = s.Int(key, kDefaultTerm);
  return v < 0 || v > kMaxTerm ? kDefaultTerm : v;
}

// The settings file can be read now (it exists and its bytes can be had).
bool Readable(const std::string& file) { return platform::IsFile(file) && platform::ReadFile(file).has_value(); }

}  // namespace

bool ReadSortSettings(const std::string& settingsFile, SortSettings& out) {
  bool readable = Readable(settingsFile);
  for (int retry = 0; !readable && retry < kReadRetries; ++retry) {
    platform::SleepMs(100);
    readable = Readable(settingsFile);
  }
  if (!readable) {
    ZV_TRACE("_Hopvale", "Get envsetinfo.ini failed");
    return false;
  }

  const Section s(settingsFile, kSortSection);
  SortSettings r;
  r.enabled = s.Int("bEnabled", 0);
  r.setTotalMax = std::clamp(s.Int("SetTotalMax", kSortLinksMax), 1, kSortLinksMax);
  r.checkTimer = std::max(s.Int("CheckTimer", 0), 0);
  r.insertPos = s.Int("InsertPos", 1);
  if (r.insertPos != 1 && r.insertPos != 2) r.insertPos = 1;
  r.showSaveFolder = s.Int("ShowSaveFolder", 0) == 1 ? 1 : 0;
  // 1 deletes the source; every other value moves it, with the folder checks.
  r.moveSucceeded = s.Int("move_succeeded", 0) == 1 ? 1 : 0;
  r.moveFailed = s.Int("move_failed", 0) == 1 ? 1 : 0;
  r.succeededTerm = Term(s, "SucceededTerm");
  r.failedTerm = Term(s, "FailedTerm");
  r.sortFolder = s.Text("SortFolder", kPathMax);
  r.linkFolder = s.Text("LinkFoder", kPathMax);

  const int total = std::clamp(s.Int("SetTotal", 0), 0, r.setTotalMax);
  r.links.resize(static_cast<std::size_t>(total));
  for (int k = 1; k <= total; ++k) {
    const std::string K = std::to_string(k);
    SortLink& l = r.links[static_cast<std::size_t>(k - 1)];
    l.folder = s.Text("TarFolder" + K, kPathMax);
    l.binder = s.Text("TarBinder" + K, kPathMax);
    l.setNumber = s.Int("SetNumber" + K, 2);
    l.deleteDate = s.Text("DeleteFolderDate" + K, kPathMax);
    l.setDate = s.Text("SetDate" + K, kSetDateMax);
    l.searchBinder = s.Int("SearchBinderFlag" + K, 0) == 1 ? 1 : 0;
  }
  out = std::move(r);
  return true;
}

bool ReadSortLinks(const EnvFiles& env, SortSettings& out) {
  const bool raised = ReadChangeFlag(env.settings, ChangeFlag::SortModified) != 0;
  // Cleared before the read: a save made meanwhile raises it again and is
  // read next time, never lost.
  if (raised) ResetChangeFlag(env, ChangeFlag::SortModified);
  if (ReadSortSettings(env.settings, out)) return true;
  if (raised) {
    EnvLockGuard guard(env.folder, {env.settings});
    ProfileWrite("option", "SortModified", 1, env.settings);
    guard.Commit();
  }
  return false;
}

std::string CreationStampDigits(std::string_view stamp) {
  std::string digits;
  for (char c : stamp)
    if (c >= '0' && c <= '9' && digits.size() < kSetDateMax) digits += c;
  return digits;
}

std::string BinderCreationStamp(const std::string& settingsFile, const std::string& binder) {
  const std::string section(platform::Trim(ProfileRead("Option", "BinderINISetDateSec", "", settingsFile)));
  const std::string key(platform::Trim(ProfileRead("Option", "BinderINISetDateKey", "", settingsFile)));
  const std::string folder = platform::TrimTrailingSeparator(platform::Trim(binder));
  if (section.empty() || key.empty() || folder.empty()) return {};
  const std::string ini = platform::JoinPath(folder, platform::LastComponent(folder) + ".ini");
  if (!platform::IsFile(ini)) return {};
  return CreationStampDigits(ProfileRead(section, key, "", ini));
}

bool WriteSortSettings(const std::string& file, const SortSettings& settings) {
  bool ok = ProfileDeleteSection(kSortSection, file);
  auto I = [&](const std::string& key, int value) { ok = ProfileWrite(kSortSection, key, value, file) && ok; };
  auto S = [&](const std::string& key, std::string_view value) {
    ok = ProfileWrite(kSortSection, key, value, file) && ok;
  };
  const int max = std::clamp(settings.setTotalMax, 1, kSortLinksMax);
  const int total = std::min(settings.setTotal(), max);
  I("bEnabled", settings.enabled);
  I("SetTotalMax", max);
  I("SetTotal", total);
  I("CheckTimer", settings.checkTimer);
  I("InsertPos", settings.insertPos);
  S("SortFolder", settings.sortFolder);
  S("LinkFoder", settings.linkFolder);
  I("ShowSaveFolder", settings.showSaveFolder);
  for (int k = 1; k <= total; ++k) {
    const SortLink& l = settings.links[static_cast<std::size_t>(k - 1)];
    const std::string K = std::to_string(k);
    S("TarFolder" + K, l.folder);
    S("TarBinder" + K, l.binder);
    I("SetNumber" + K, l.setNumber);
    S("DeleteFolderDate" + K, l.deleteDate);
    S("SetDate" + K, l.setDate);
    I("SearchBinderFlag" + K, l.searchBinder);
  }
  I("move_succeeded", settings.moveSucceeded);
  I("SucceededTerm", settings.succeededTerm);
  I("move_failed", settings.moveFailed);
  I("FailedTerm", settings.failedTerm);
  ok = WriteChangeFlag(file, ChangeFlag::SortModified) && ok;
  return ok;
}

bool SaveSortSettings(const std::string& settingsFile, SortSettings& settings) {
  // The stamp of the binder itself, not the time of the save: the
  // recreated-binder test compares it with the binder's stamp, which may be
  // of another clock or another computer.
  for (SortLink& l : settings.links) l.setDate = BinderCreationStamp(settingsFile, l.binder);
  return SafeWriteSettings(settingsFile,
                           [&](const std::string& newFile) { return WriteSortSettings(newFile, settings); });
}

bool WriteSortDeleteDates(const EnvFiles& env, const SortSettings& settings, const std::vector<int>& indexes) {
  if (indexes.empty()) return true;
  EnvLockGuard guard(env.folder, {env.settings});
  // Links saved anew meanwhile may be numbered otherwise: their dates are
  // left as saved (a link cleaned again tomorrow loses nothing).
  if (ReadChangeFlag(env.settings, ChangeFlag::SortModified) != 0) return true;
  bool ok = true;
  for (int i : indexes) {
    if (i < 0 || i >= settings.setTotal()) continue;
    ok = ProfileWrite(kSortSection, "DeleteFolderDate" + std::to_string(i + 1),
                      settings.links[static_cast<std::size_t>(i)].deleteDate, env.settings) &&
         ok;
  }
  return guard.Commit() && ok;
}

bool FollowSearchedBinder(const std::string& settingsFile, SortSettings& settings, const std::string& before,
                          const std::string& after, const std::string& stamp) {
  bool wrote = false;
  const std::string from = platform::TrimTrailingSeparator(before);
  for (int k = 1; k <= settings.setTotal(); ++k) {
    SortLink& l = settings.links[static_cast<std::size_t>(k - 1)];
    if (l.binder.empty() || !platform::EqualsNoCase(platform::TrimTrailingSeparator(l.binder), from)) continue;
    const std::string K = std::to_string(k);
    // Only what changed is written: a link that already follows the binder
    // raises no flag, so the links are not read anew after every import.
    if (l.binder != after) {
      ProfileWrite(kSortSection, "TarBinder" + K, after, settingsFile);
      l.binder = after;
      wrote = true;
    }
    if (l.searchBinder == 0) {
      ProfileWrite(kSortSection, "SearchBinderFlag" + K, 1, settingsFile);
      l.searchBinder = 1;
      wrote = true;
    }
    const std::string date(platform::Utf8CutBytes(stamp, kSetDateMax));
    if (l.setDate != date) {
      ProfileWrite(kSortSection, "SetDate" + K, date, settingsFile);
      l.setDate = date;
      wrote = true;
    }
  }
  if (wrote) WriteChangeFlag(settingsFile, ChangeFlag::SortModified);
  return wrote;
}

}  // namespace zv::monitor
