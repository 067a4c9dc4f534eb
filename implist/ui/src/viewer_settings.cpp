#include "implist/ui/viewer_settings.h"

#include <cstdlib>
#include <ctime>
#include <mutex>

#include "platform/clock.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::implist::ui {

namespace ini = platform::ini;

namespace {

int Int(const std::string& f, const char* key, int def) { return ini::GetInt(f, kSettingsSection, key, def); }
std::string Str(const std::string& f, const char* key) { return ini::GetString(f, kSettingsSection, key, ""); }

std::string EntrySection(int n) { return "ImpList" + std::to_string(n); }

bool IsNumber(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

ViewerSettings ViewerSettings::Read(const std::string& f) {
  ViewerSettings s;
  s.logOutput = Int(f, "logoutput", 0);
  s.performFlag = Int(f, "PerformFlag", 0);
  s.viewerFailTime = Int(f, "ViewerFailTime", 30);
  s.dispListMax = Int(f, "DispListMax", 50);
  s.popup = Int(f, "Popup", 1);
  s.envSetInfoChanged = Int(f, "bEnvSetInfoChg", 0);
  s.keepList = Int(f, "bKeepList", 0);
  s.callUpdate = Int(f, "CallUpdate", 1);
  s.lastModified = Int(f, "LastModified", 0);
  s.dispWkFlag = Int(f, "DispWkFlag", 2);
  s.lockInterval = Int(f, "LockInterVal", 60);
  s.deleteFromBinder = Int(f, "bDeleteFromBinder", 0);
  s.lastGetImpData = Str(f, "LastGetImpData");
  s.setFlag = Int(f, "SetFlag", 0);
  s.interval = Int(f, "Interval", 10);
  s.fileHoldPeriod = Int(f, "FileHoldPeriod", 60);
  s.viewerMode = Int(f, "ViewerMode", 1);
  s.periodCheck = Int(f, "PeriodCheck", 1);
  s.listDataPeriod = Int(f, "ListDataPeriod", 30);
  s.dispFailedMessage = Int(f, "DispFailedMessage", 0);
  s.userRsltDel = Int(f, "bUserRsltDel", 0);
  s.lastDate = Str(f, "LastDate");
  s.showBalloon = Int(f, "ShowBaloon", -1);
  s.timeBalloon = Int(f, "TimeBalloon", 5);
  s.soundEnabled = Int(f, "SoundEnabled", 0);
  s.waveFile = Str(f, "WaveFile");
  s.wait = Int(f, "Wait", 5000);
  s.sortColumn = ini::GetInt(f, kSortSection, "sort_col", 0);
  if (s.sortColumn < 0 || s.sortColumn > 3) s.sortColumn = 0;
  s.sortDescending = ini::GetInt(f, kSortSection, "sort_Direct", 0) == 1 ? 1 : 0;
  for (int n = 1; n <= 3; ++n) {
    const std::string sec = EntrySection(n);
    LinkEntry& e = s.link[n - 1];
    e.path = ini::GetString(f, sec, "LinkFolderPath", "");
    e.name = ini::GetString(f, sec, "LinkFolderName", "");
    e.host = ini::GetString(f, sec, "HostName", "");
    e.enabled = ini::GetInt(f, sec, "Enabled", 1);
    e.maxSetNumber = ini::GetInt(f, sec, "MaxSetNumber", 0);
    e.usrNumber = ini::GetInt(f, sec, "UsrNumber", 0);
    e.lastModified = ini::GetInt(f, sec, "LastModified", 0);
    for (int k = 1; k <= kDisplayImpKeys; ++k) {
      std::string v = ini::GetString(f, sec, "DisplayImp" + std::to_string(k), "");
      if (v.size() > kDisplayImpKeyLength) v.resize(kDisplayImpKeyLength);
      if (!v.empty() && v.back() != ',') v += ',';
      e.displayImp += v;
    }
  }
  s.filterMaxSetNumber = ini::GetInt(f, "ImpList1", "MaxSetNumber", 1050);
  return s;
}

int ViewerSettings::BalloonSeconds() const { return timeBalloon >= 1 && timeBalloon <= 99 ? timeBalloon : 5; }

std::string SettingsFile() { return platform::JoinPath(platform::ProgramFolder(), "Quibbin.ini"); }
std::string MonitorSettingsFile() { return platform::JoinPath(platform::ProgramFolder(), "EnvSetInfo.ini"); }
std::string LogFile() { return platform::JoinPath(platform::ProgramFolder(), "Quibbin.log"); }

bool WriteStartKeys(const std::string& file, const std::string& computer) {
  if (!ini::BeginGroup(file)) return false;
  ini::WriteString(file, kSettingsSection, "HostName", computer);
  ini::WriteString(file, kSettingsSection, "DeleteLockFlag", "0");
  return ini::Flush(file);
}

bool WriteSort(const std::string& file, int column, int descending) {
  if (!ini::BeginGroup(file)) return false;
  ini::WriteString(file, kSortSection, "sort_col", std::to_string(column));
  ini::WriteString(file, kSortSection, "sort_Direct", std::to_string(descending));
  return ini::Flush(file);
}

std::vector<std::string> SplitDisplayImp(const std::string& joined) {
  std::vector<std::string> keys(kDisplayImpKeys);
  std::size_t k = 0, start = 0;
  while (start < joined.size() && k < keys.size()) {
    std::size_t end = joined.find(',', start);
    if (end == std::string::npos) end = joined.size();
    const std::string number = joined.substr(start, end - start) + ",";
    start = end + 1;
    if (number.size() == 1) continue;
    if (keys[k].size() + number.size() > kDisplayImpKeyLength) ++k;
    if (k < keys.size()) keys[k] += number;
  }
  return keys;
}

bool WriteDialogKeys(const std::string& f, const ViewerSettings& s) {
  if (!ini::BeginGroup(f)) return false;
  bool ok = true;
  auto put = [&](const std::string& sec, const char* key, const std::string& v) {
    ok = ini::WriteString(f, sec, key, v) && ok;
  };
  auto num = [&](const char* key, long long v) { put(kSettingsSection, key, std::to_string(v)); };
  num("SetFlag", s.setFlag);
  num("Interval", s.interval);
  num("PeriodCheck", s.periodCheck);
  num("bUserRsltDel", s.userRsltDel);
  num("ShowBaloon", s.showBalloon);
  num("ListDataPeriod", s.listDataPeriod);
  num("DispListMax", s.dispListMax);
  num("Popup", s.popup);
  num("SoundEnabled", s.soundEnabled);
  put(kSettingsSection, "WaveFile", s.waveFile);
  num("DispWkFlag", s.dispWkFlag);
  num("FileHoldPeriod", s.fileHoldPeriod);
  put(kSettingsSection, "bSetting", "1");
  num("LastModified", s.lastModified);
  for (int n = 1; n <= 3; ++n) {
    const std::string sec = EntrySection(n);
    const LinkEntry& e = s.link[n - 1];
    put(sec, "LinkFolderPath", e.path);
    put(sec, "LinkFolderName", e.name);
    put(sec, "MaxSetNumber", std::to_string(e.maxSetNumber));
    put(sec, "HostName", e.host);
    put(sec, "LastModified", std::to_string(e.lastModified));
    put(sec, "UsrNumber", std::to_string(e.usrNumber));
    const std::vector<std::string> keys = SplitDisplayImp(e.displayImp);
    for (int k = 0; k < kDisplayImpKeys; ++k) put(sec, ("DisplayImp" + std::to_string(k + 1)).c_str(), keys[k]);
  }
  return ini::Flush(f) && ok;
}

ListFilter ListFilter::Make(const ViewerSettings& s, std::string computer, std::string monitorSettings) {
  ListFilter f;
  f.computer = std::move(computer);
  f.ownComputerCheck = s.setFlag == 1;
  f.monitorSettings = std::move(monitorSettings);
  f.maxSetNumber = s.filterMaxSetNumber;
  f.dispWkFlag = s.dispWkFlag;
  for (int i = 0; i < 3; ++i) {
    f.link[i] = s.link[i];
    f.link[i].path = platform::TrimTrailingSeparator(platform::Trim(f.link[i].path));
    std::size_t start = 0;
    const std::string& list = f.link[i].displayImp;
    while (start < list.size()) {
      std::size_t end = list.find(',', start);
      if (end == std::string::npos) end = list.size();
      const std::string_view number = platform::Trim(std::string_view(list).substr(start, end - start));
      if (!number.empty()) f.displayImp_[i].emplace(number);
      start = end + 1;
    }
  }
  return f;
}

bool MonitorSettingsChanged(const std::string& settingsFile, const std::string& monitorSettings) {
  // Before the first save the first-use notice says what to do.
  if (Int(settingsFile, "SetFlag", 0) != 1) return false;
  auto stamp = [](const std::string& f, const char* section) {
    return std::strtoll(ini::GetString(f, section, "LastModified", "0").c_str(), nullptr, 10);
  };
  return stamp(monitorSettings, "Product") > stamp(settingsFile, kSettingsSection);
}

int MonitorSettingState(const std::string& monitorSettings, int n) {
  const std::string N = std::to_string(n);
  if (ini::GetString(monitorSettings, "AutoFileRead", "TarFolder" + N, "").empty()) return -9;
  if (ini::GetInt(monitorSettings, "AutoFileRead", "bCheck" + N, 0) != 1) return -2;
  return 0;
}

bool ListFilter::Shows(const Record& r) const {
  const std::string host(platform::Trim(r.Get("HostName")));
  if (host.empty()) return false;
  if (!platform::EqualsNoCase(host, computer)) return true;
  if (!ownComputerCheck) return true;
  // Pages a user sent to other users reach them whatever the monitor's lists say.
  const std::string mode(platform::Trim(r.Get("ImpMode")));
  if (!mode.empty() && mode != "0") return true;
  const std::string setText(platform::Trim(r.Get("SetNumber")));
  const int set = IsNumber(setText) && setText.size() < 9 ? std::stoi(setText) : 0;
  if (set > maxSetNumber) return true;
  if (set >= 1) {
    auto known = states_.find(set);
    if (known == states_.end()) known = states_.emplace(set, MonitorSettingState(monitorSettings, set)).first;
    const int state = known->second;
    if (state == -2 || state == -9) return false;
  }
  const std::string folder = platform::TrimTrailingSeparator(platform::Trim(r.Get("LinkFolderPath")));
  if (folder.empty()) {
    if (dispWkFlag == 0) return true;
    if (dispWkFlag == 1) return false;
  }
  for (int i = 0; i < 3; ++i) {
    if (link[i].path.empty() || !platform::EqualsNoCase(link[i].path, folder)) continue;
    // A monitor import: shown when its setting is among the entry's (sent pages were taken above).
    return link[i].enabled != 0 && displayImp_[i].count(setText) > 0;
  }
  return folder.empty() && dispWkFlag == 2;
}

void ViewerLog::Open(const std::string& path, bool enabled) {
  file_.Close();
  if (enabled) file_.Open(path, false);
}

void ViewerLog::Line(const char* level, const std::string& text) {
  if (!file_.IsOpen()) return;
  const std::time_t t = static_cast<std::time_t>(platform::UnixSeconds());
  std::tm tm{};
  localtime_r(&t, &tm);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%d/%d/%04d %d:%02d:%02d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  file_.Write(std::string(stamp) + " <" + level + "> " + text + "\n");
}

ViewerLog& Log() {
  static ViewerLog log;
  return log;
}

}  // namespace zv::implist::ui
