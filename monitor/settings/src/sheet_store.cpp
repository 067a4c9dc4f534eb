#include "monitor/settings/sheet_store.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "companion/services.h"
#include "companion/trace.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/safe_write.h"
#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

constexpr const char* kAuto = "AutoFileRead";
constexpr const char* kOption = "Option";
// Read as "absent" (no ini value can hold a line break).
constexpr const char* kAbsent = "\n";

void Trace(const std::string& text) { ZV_TRACE("_Hopvale", text); }

bool AllDigits(std::string_view s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool StartsNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && platform::EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

// A per-setting key of [AutoFileRead]: its number and what it is.
struct KeyName {
  int n = 0;
  std::string base;  // a TargetSettingKeys() name, "#count" or "#user"
  int user = 0;      // for "#user"
};

std::optional<KeyName> ParseKey(const std::string& key) {
  if (StartsNoCase(key, "SendUser")) {
    std::string_view rest = std::string_view(key).substr(8);
    std::size_t d = 0;
    while (d < rest.size() && std::isdigit(static_cast<unsigned char>(rest[d]))) ++d;
    if (d == 0) return std::nullopt;
    KeyName k;
    k.n = std::atoi(std::string(rest.substr(0, d)).c_str());
    const std::string_view tail = rest.substr(d);
    if (platform::EqualsNoCase(tail, "count")) {
      k.base = "#count";
      return k;
    }
    if (StartsNoCase(tail, "user") && AllDigits(tail.substr(4))) {
      k.base = "#user";
      k.user = std::atoi(std::string(tail.substr(4)).c_str());
      return k;
    }
    return std::nullopt;
  }
  for (const std::string& base : TargetSettingKeys()) {
    if (StartsNoCase(key, base) && AllDigits(std::string_view(key).substr(base.size()))) {
      KeyName k;
      k.n = std::atoi(key.c_str() + base.size());
      k.base = base;
      return k;
    }
  }
  return std::nullopt;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

std::string RawSetting::Text(const std::string& base, const std::string& fallback) const {
  auto it = keys.find(base);
  return it == keys.end() ? fallback : it->second;
}

int RawSetting::Int(const std::string& base, int fallback) const {
  auto it = keys.find(base);
  if (it == keys.end() || platform::Trim(it->second).empty()) return fallback;
  return std::atoi(it->second.c_str());
}

void RawSetting::SetUsers(std::vector<std::string> list) {
  users = std::move(list);
  hasUserCount = true;
}

const std::vector<std::string>& TargetSettingKeys() {
  static const std::vector<std::string> keys = {
      "bCheck",        "SetName",     "TarFolder",    "bRecursive",       "TarBinder",      "LinkFolder",
      "InsertPos",     "checkTimer",  "bWorkDesk",    "TextInfoFlag",     "TextInfo",       "SendResult",
      "SearchBinder",  "SetNumber",   "SetDate",      "DeleteFolderDate", "move_succeeded", "SucceededFolder",
      "SucceededTerm", "move_failed", "FailedFolder", "FailedTerm"};
  return keys;
}

std::optional<TargetPageData> LoadTargetPage(const std::string& file, int* failId) {
  TargetPageData page;
  const int total = ProfileRead(kAuto, "SetTotal", -1, file);
  page.setTotalMax = ProfileRead(kAuto, "SetTotalMax", 30, file);
  if (total < 0 || page.setTotalMax <= 0) {
    if (failId != nullptr) *failId = total < 0 ? kIdsSettingsUnreadable : kIdsSetTotalMaxInvalid;
    return std::nullopt;
  }
  page.readTotal = total;
  for (const char* key : {"DropFolder", "SetTotalMax"}) {
    const std::string v = ProfileRead(kAuto, key, kAbsent, file);
    if (v != kAbsent) page.general[key] = v;
  }
  for (const char* key : {"CurrentFolder", "MaxSetNumber", "move_succeeded", "move_failed"}) {
    const std::string v = ProfileRead(kOption, key, kAbsent, file);
    if (v != kAbsent) page.option[key] = v;
  }
  page.backup = ProfileRead(kOption, "Backup", 0, file);
  page.backupFolder = ProfileRead(kOption, "BackupFolder", "", file);
  page.impResultLogEnabled = ProfileRead(kOption, "ImpResultLogEnabled", 0, file);
  page.binderSetDateSection = ProfileRead(kOption, "BinderINISetDateSec", "", file);
  page.binderSetDateKey = ProfileRead(kOption, "BinderINISetDateKey", "", file);

  const int count = std::min(total, page.setTotalMax);
  page.entries.resize(static_cast<std::size_t>(count));
  std::vector<int> userCounts(static_cast<std::size_t>(count), 0);
  std::vector<std::map<int, std::string>> users(static_cast<std::size_t>(count));
  for (const std::string& key : ProfileKeys(kAuto, file)) {
    const auto k = ParseKey(key);
    if (!k || k->n < 1 || k->n > count) continue;
    const std::size_t i = static_cast<std::size_t>(k->n - 1);
    const std::string value = ProfileRead(kAuto, key, "", file);
    if (k->base == "#count") {
      page.entries[i].raw.hasUserCount = true;
      userCounts[i] = std::atoi(value.c_str());
    } else if (k->base == "#user") {
      users[i][k->user] = value;
    } else {
      page.entries[i].raw.keys[k->base] = value;
    }
  }
  for (std::size_t i = 0; i < page.entries.size(); ++i) {
    TargetEntry& e = page.entries[i];
    for (int m = 1; m <= userCounts[i]; ++m) e.raw.users.push_back(users[i].count(m) ? users[i][m] : "");
    e.readFolder = e.raw.Text("TarFolder");
  }
  return page;
}

TargetEntry NewTargetEntry(const TargetPageData& page, int maxSetNumber) {
  TargetEntry e;
  e.edited = true;
  RawSetting& r = e.raw;
  std::set<int> used;
  for (const TargetEntry& o : page.entries) used.insert(o.raw.Int("SetNumber", -1));
  int number = 1;
  while (used.count(number) != 0 && number < std::max(maxSetNumber, 1)) ++number;
  r.Set("bCheck", 1);
  r.Set("SetName", "");
  r.Set("TarFolder", "");
  r.Set("bRecursive", 0);
  r.Set("TarBinder", "");
  r.Set("InsertPos", 1);
  r.Set("checkTimer", 0);
  r.Set("bWorkDesk", 0);
  r.Set("TextInfoFlag", 0);
  r.Set("TextInfo", "");
  r.Set("SendResult", 2);
  r.Set("SearchBinder", 0);
  r.Set("SetNumber", number);
  r.Set("SetDate", "");
  r.Set("DeleteFolderDate", "");
  r.Set("move_succeeded", -1);
  r.Set("SucceededFolder", "");
  r.Set("SucceededTerm", -1);
  r.Set("move_failed", -1);
  r.Set("FailedFolder", "");
  r.Set("FailedTerm", -1);
  r.SetUsers({});
  return e;
}

bool SaveTargetPage(const EnvFiles& env, const TargetPageData& page) {
  if (!SafeWriteSettings(env.settings, [&](const std::string& f) { return WriteTargetPage(f, page); })) return false;
  CopyAfterTargetSave(env, page);
  return true;
}

bool WriteTargetPage(const std::string& f, const TargetPageData& page) {
  {
    std::set<std::string> written;  // lower-case per-setting keys written
    bool good = true;
    auto put = [&](const std::string& section, const std::string& key, const std::string& value) {
      good = ProfileWrite(section, key, value, f) && good;
    };
    // DropFolder first: when it cannot be written nothing else is.
    const auto drop = page.general.find("DropFolder");
    if (!ProfileWrite(kAuto, "DropFolder", drop != page.general.end() ? drop->second : "0", f)) return false;
    put(kAuto, "SetTotalMax", std::to_string(page.setTotalMax));
    put(kAuto, "SetTotal", std::to_string(page.entries.size()));
    if (auto it = page.option.find("CurrentFolder"); it != page.option.end()) put(kOption, "CurrentFolder", it->second);
    for (std::size_t i = 0; i < page.entries.size(); ++i) {
      const TargetEntry& e = page.entries[i];
      const std::string N = std::to_string(i + 1);
      for (const auto& [base, value] : e.raw.keys) {
        std::string v = value;
        if (base == "SetName") v = Quoted(value);
        if (base == "DeleteFolderDate" && !platform::EqualsNoCase(e.readFolder, e.raw.Text("TarFolder"))) v.clear();
        if (base == "SetNumber" && std::atoi(value.c_str()) <= 0) v = std::to_string(static_cast<int>(i) + 1001);
        put(kAuto, base + N, v);
        written.insert(platform::ToLowerAscii(base + N));
      }
      if (e.raw.hasUserCount) {
        put(kAuto, "SendUser" + N + "count", std::to_string(e.raw.users.size()));
        written.insert(platform::ToLowerAscii("SendUser" + N + "count"));
        for (std::size_t m = 0; m < e.raw.users.size(); ++m) {
          const std::string key = "SendUser" + N + "user" + std::to_string(m + 1);
          put(kAuto, key, e.raw.users[m]);
          written.insert(platform::ToLowerAscii(key));
        }
      }
    }
    // Keys of removed settings, of renumbered slots and of recipients beyond
    // the count go.
    for (const std::string& key : ProfileKeys(kAuto, f)) {
      if (!ParseKey(key) || written.count(platform::ToLowerAscii(key)) != 0) continue;
      good = ProfileDeleteKey(kAuto, key, f) && good;
    }
    for (const char* key : {"move_succeeded", "move_failed"})
      if (auto it = page.option.find(key); it != page.option.end()) put(kOption, key, it->second);
    good = WriteChangeFlag(f, ChangeFlag::Modified) && good;
    return good;
  }
}

void CopyAfterTargetSave(const EnvFiles& env, const TargetPageData& page) {
  if (page.backup == 1 && !page.backupFolder.empty() && platform::IsFolder(page.backupFolder)) {
    if (!platform::CopyFile(env.settings, platform::JoinPath(page.backupFolder, kSettingsFileName), true))
      Trace("CReadFileProPage::OnApply: backup copy failed - " + page.backupFolder);
  }
  if (page.impResultLogEnabled == 1) {
    const std::string info = platform::JoinPath(env.folder, "AutoImpInfo");
    if (!platform::MakeFolders(info) ||
        !platform::CopyFile(env.settings, platform::JoinPath(info, kSettingsFileName), true))
      Trace("CReadFileProPage::OnApply: copy into AutoImpInfo failed");
  }
}

std::string ReadBinderStamp(const std::string& binder, const std::string& section, const std::string& key) {
  if (binder.empty() || section.empty() || key.empty()) return "";
  const std::string b = platform::TrimTrailingSeparator(binder);
  const std::string ini = platform::JoinPath(b, platform::LastComponent(b) + ".ini");
  if (!platform::IsFile(ini)) return "";
  std::string stamp = ProfileRead(section, key, "", ini);
  if (stamp.size() > 15) stamp.resize(15);
  return stamp;
}

bool BinderNewerThan(const std::string& setDate, const std::string& binderStamp) {
  const long long mine = std::atoll(setDate.substr(0, 15).c_str());
  const long long theirs = std::atoll(binderStamp.c_str());
  return mine != 0 && theirs != 0 && mine < theirs;
}

// ---- other page -------------------------------------------------------------------

namespace {

const std::map<std::string, std::string>& OtherDefaults() {
  static const std::map<std::string, std::string> d = {
      {"ImpListPopup", "0"}, {"bAddContents", "0"}, {"ShowBalloon", "-1"}, {"ImpLogTerm", "30"}, {"ImpLogDir", ""}};
  return d;
}

}  // namespace

std::string OtherPageData::Value(const std::string& key) const {
  if (auto it = changed.find(key); it != changed.end()) return it->second;
  if (auto it = read.find(key); it != read.end()) return it->second;
  auto d = OtherDefaults().find(key);
  return d == OtherDefaults().end() ? "" : d->second;
}

int OtherPageData::IntValue(const std::string& key) const {
  const std::string v = Value(key);
  if (platform::Trim(v).empty()) {
    auto d = OtherDefaults().find(key);
    return d == OtherDefaults().end() ? 0 : std::atoi(d->second.c_str());
  }
  return std::atoi(v.c_str());
}

std::optional<OtherPageData> LoadOtherPage(const std::string& file) {
  if (!platform::IsFile(file)) return std::nullopt;
  OtherPageData page;
  for (const auto& [key, def] : OtherDefaults()) {
    const std::string v = ProfileRead(kOption, key, kAbsent, file);
    if (v != kAbsent) page.read[key] = v;
  }
  page.impListEnabled = ProfileRead(kOption, "ImpListEnabled", 1, file);
  page.impLogFlg = ProfileRead(kOption, "ImpLogFlg", 1, file);
  return page;
}

bool SaveOtherPage(const EnvFiles& env, const OtherPageData& page) {
  const bool ok = SafeWriteSettings(env.settings, [&](const std::string& f) { return WriteOtherPage(f, page); });
  if (ok) RefreshResultAreaCopies(env, platform::ComputerName(), companion::ReadViewerFolders());
  return ok;
}

bool WriteOtherPage(const std::string& f, const OtherPageData& page) {
  {
    bool good = true;
    auto keep = [&](const std::string& key) {
      std::string v;
      if (auto it = page.changed.find(key); it != page.changed.end()) {
        v = it->second;
      } else if (auto r = page.read.find(key); r != page.read.end()) {
        v = r->second;
      } else {
        return;  // absent and untouched: stays absent
      }
      good = ProfileWrite(kOption, key, v, f) && good;
    };
    keep("ShowBalloon");
    if (page.impLogFlg != 0) {
      keep("ImpLogTerm");
      keep("ImpLogDir");
    }
    keep("bAddContents");
    if (page.impListEnabled != 0) keep("ImpListPopup");
    good = WriteChangeFlag(f, ChangeFlag::Modified) && good;
    return good;
  }
}

}  // namespace zv::monitor
