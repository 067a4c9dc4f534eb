#include "monitor/settings/catalogue.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "companion/common.h"
#include "companion/services.h"
#include "companion/trace.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

constexpr const char* kAuto = "AutoFileRead";

std::string Text(const std::string& file, std::string_view section, std::string_view key, std::string_view def = {}) {
  return std::string(platform::Trim(ProfileRead(section, key, def, file)));
}

int Int(const std::string& file, std::string_view section, std::string_view key, int def) {
  return ProfileRead(section, key, def, file);
}

// An integer that may exceed 32 bits in the file ("2147483647 and above"):
// leading blanks, optional sign, digits, saturating at +-2^62. A missing key
// gives `def`, a present non-number 0.
std::int64_t WideInt(const std::string& file, std::string_view section, std::string_view key, std::int64_t def) {
  const std::string marker = "\x01";
  const std::string text = ProfileRead(section, key, marker, file);
  if (text == marker) return def;
  std::string_view t = platform::Trim(text);
  bool negative = false;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  std::int64_t v = 0;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    if (v < (std::int64_t{1} << 62) / 10) v = v * 10 + (t[i] - '0');
  }
  return negative ? -v : v;
}

int WaitValue(const std::string& file, std::string_view key, int def) {
  const std::int64_t v = WideInt(file, "Option", key, def);
  if (v < 0 || v >= INT_MAX) return def;
  return static_cast<int>(v);
}

// Retention of dated save folders in days. A negative term would make the
// daily clean-up remove today's folder with the sources just moved there:
// an [Option] term outside 0..999 reads as 30, a setting's term outside
// -1..999 as -1, which takes the [Option] value.
constexpr int kMaxTerm = 999;
constexpr int kDefaultTerm = 30;

int OptionTerm(const std::string& file, std::string_view key) {
  const int v = Int(file, "Option", key, kDefaultTerm);
  return v < 0 || v > kMaxTerm ? kDefaultTerm : v;
}

int SettingTerm(const std::string& file, const std::string& key, int optionTerm) {
  const int v = Int(file, kAuto, key, -1);
  return v < 0 || v > kMaxTerm ? optionTerm : v;
}

std::string Cut(std::string_view s, std::size_t maxBytes) { return std::string(platform::Utf8CutBytes(s, maxBytes)); }

}  // namespace

MonitorOptions ReadMonitorOptions(const std::string& f, std::string_view userName) {
  MonitorOptions o;
  o.productName = Text(f, "Product", "ProductName", MonitorText(kIdsProductName));
  o.version = Text(f, "Product", "Version", MonitorText(kIdsVersionDefault));
  o.user = std::string(platform::CutDisplayWidth(Text(f, "Product", "User"), 20));
  o.company = Text(f, "Product", "Company");
  o.hostName = Text(f, "Product", "HostName");
  o.lastModified = WideInt(f, "Product", "LastModified", 0);

  o.monitorStatus = Int(f, "Option", "MonitorStatus", 0);
  o.monitorLog = Int(f, "Option", "MonitorLog", 0);
  o.faxMonitorSet = Int(f, "Option", "FaxMonitorSet", 0);
  o.impListEnabled = Int(f, "Option", "ImpListEnabled", 1);
  o.impListPopup = Int(f, "Option", "ImpListPopup", 0);
  o.addContents = Int(f, "Option", "bAddContents", 0);
  o.maxUser = Int(f, "Option", "MaxUser", 50);
  if (o.maxUser < 1) o.maxUser = 50;
  o.disableSearchBinder = Int(f, "Option", "DisableSearchBinder", 0) == 1 ? 1 : 0;
  o.maxRecursive = Int(f, "Option", "MaxRecursive", 3);
  o.maxSetNumber = Int(f, "Option", "MaxSetNumber", 1050);
  o.serviceMode = userName == "root" ? Int(f, "Option", "ServiceMode", 0) : 0;
  o.installMode = Text(f, "Option", "InstallMode", "client");
  o.serverInstall = o.installMode == "server";
  o.recreateBinder = Int(f, "Option", "RecreateBinder", 1);
  o.recreatedBinderCheck = o.recreateBinder == 0;
  o.checkCommonUser = Int(f, "Option", "CheckCommonUser", 0);
  o.moveSucceeded = Int(f, "Option", "move_succeeded", 0);
  o.moveFailed = Int(f, "Option", "move_failed", 0);
  o.succeededTerm = OptionTerm(f, "SucceededTerm");
  o.failedTerm = OptionTerm(f, "FailedTerm");
  o.writeWaitCounter = Int(f, "Option", "WriteWaitCounter", 100);
  o.wait = Int(f, "Option", "Wait", 1000);
  o.waitLocal = WaitValue(f, "WaitLocal", 1000);
  o.waitNetwork = WaitValue(f, "WaitNetwork", 5000);
  o.retryNum = Int(f, "Option", "RetryNum", 5);
  if (o.retryNum < 5 || o.retryNum > 1000) o.retryNum = 5;
  o.skipLogEnabled = Int(f, "Option", "SkipLogEnabled", 0);
  o.skipLogInterval = Int(f, "Option", "SkipLogInterval", 600);
  o.skipLogTerm = Int(f, "Option", "SkipLogTerm", 10);
  o.impResultLogEnabled = Int(f, "Option", "ImpResultLogEnabled", 0);
  o.impResultMaxRecord = Int(f, "Option", "ImpResultMaxRecord", 200);
  o.impLogFlg = Int(f, "Option", "ImpLogFlg", 1);
  o.impLogDir = Text(f, "Option", "ImpLogDir");
  o.impLogTerm = Int(f, "Option", "ImpLogTerm", 30);
  o.showBalloon = Int(f, "Option", "ShowBalloon", -1);
  o.timeBalloon = Int(f, "Option", "TimeBalloon", 5);
  if (o.timeBalloon < 1 || o.timeBalloon > 99) o.timeBalloon = 5;
  o.currentFolder = Text(f, "Option", "CurrentFolder");
  for (int i = 0; i < 3; ++i) {
    o.linkFolder[i] = Text(f, "Option", "LinkFolder" + std::to_string(i + 1));
  }
  o.binderIniSetDateSec = Text(f, "Option", "BinderINISetDateSec");
  o.binderIniSetDateKey = Text(f, "Option", "BinderINISetDateKey");
  o.backup = Int(f, "Option", "Backup", 0);
  o.backupFolder = Text(f, "Option", "BackupFolder");
  o.noUse = Int(f, "Option", "NoUse", 0);

  o.setTotal = Int(f, kAuto, "SetTotal", -1);
  o.setTotalMax = Int(f, kAuto, "SetTotalMax", 30);
  o.dropFolder = Int(f, kAuto, "DropFolder", 0);
  if (o.dropFolder < 0 || o.dropFolder >= o.setTotal) o.dropFolder = 0;
  o.faxSetTotalMax = Int(f, "FaxMonitor", "SetTotalMax", 1000);
  return o;
}

int ValidateSettingCounts(const MonitorOptions& o) {
  if (o.setTotal < 0) return kIdsSettingsUnreadable;
  if (o.setTotalMax <= 0) return kIdsSetTotalMaxInvalid;
  if (o.faxSetTotalMax <= 0) return kIdsFaxSetTotalMaxInvalid;
  return 0;
}

SettingContext DefaultSettingContext(std::string workDeskFolder) {
  SettingContext c;
  c.workDeskFolder = std::move(workDeskFolder);
  c.viewerCurrentFolder = companion::ReadViewerFolders().currentFolder;
  c.userSettingsFile = companion::UserSettingsPath();
  const std::string success = MonitorText(kIdsSuccessFolderName);
  const std::string fail = MonitorText(kIdsFailFolderName);
  if (!success.empty()) c.successName = success;
  if (!fail.empty()) c.failName = fail;
  return c;
}

std::string LinkFolderOfBinder(std::string_view targetBinder) {
  std::string p = platform::TrimTrailingSeparator(platform::Trim(targetBinder));
  const bool absolute = !p.empty() && p.front() == '/';
  for (int i = 0; i < 3; ++i) {
    const std::size_t pos = p.rfind('/');
    if (pos == std::string::npos) return {};
    p.resize(pos);
  }
  if (p.empty() && absolute) return "/";
  return p;
}

bool ReadAutoFileSetting(const std::string& f, int n, const MonitorOptions& options, const SettingContext& context,
                         AutoFileSetting& out) {
  const std::string N = std::to_string(n);
  AutoFileSetting s;
  s.check = Int(f, kAuto, "bCheck" + N, 0);
  s.setName = ProfileRead(kAuto, "SetName" + N, "", f);
  s.targetFolder = Text(f, kAuto, "TarFolder" + N);
  s.targetBinder = Text(f, kAuto, "TarBinder" + N);
  s.workDesk = Int(f, kAuto, "bWorkDesk" + N, 0);
  // Each user has a work desk of his own: the refresh at start and close
  // writes its folder into the user's file, not into the shared one.
  if (s.workDesk == 1 && !context.userSettingsFile.empty()) {
    std::string own = Text(context.userSettingsFile, kAuto, "TarBinder" + N);
    if (!own.empty()) s.targetBinder = std::move(own);
  }
  if (!context.workDeskFolder.empty()) {
    s.workDesk = platform::EqualsNoCase(platform::TrimTrailingSeparator(s.targetBinder),
                                        platform::TrimTrailingSeparator(context.workDeskFolder))
                     ? 1
                     : 0;
  }
  s.insertPos = Int(f, kAuto, "InsertPos" + N, 1);
  if (s.insertPos != 1 && s.insertPos != 2) s.insertPos = 1;
  s.setNumber = Int(f, kAuto, "SetNumber" + N, -1);
  if (s.setNumber == -1) s.setNumber = n + 1000;
  s.checkTimer = Int(f, kAuto, "checkTimer" + N, 0);
  s.deleteDate = Text(f, kAuto, "DeleteFolderDate" + N);
  s.setDate = Cut(Text(f, kAuto, "SetDate" + N), 15);
  s.moveSucceeded = Int(f, kAuto, "move_succeeded" + N, -1);
  if (s.moveSucceeded == -1) s.moveSucceeded = options.moveSucceeded;
  s.moveFailed = Int(f, kAuto, "move_failed" + N, -1);
  if (s.moveFailed == -1) s.moveFailed = options.moveFailed;

  const std::string target = platform::TrimTrailingSeparator(s.targetFolder);
  s.succeededFolder = Text(f, kAuto, "SucceededFolder" + N);
  s.succeededFolderSet = s.succeededFolder.empty() ? 0 : 1;
  if (s.succeededFolder.empty() && !target.empty()) {
    s.succeededFolder = platform::JoinPath(target, context.successName);
  }
  s.failedFolder = Text(f, kAuto, "FailedFolder" + N);
  s.failedFolderSet = s.failedFolder.empty() ? 0 : 1;
  if (s.failedFolder.empty() && !target.empty()) {
    s.failedFolder = platform::JoinPath(target, context.failName);
  }
  s.succeededTerm = SettingTerm(f, "SucceededTerm" + N, options.succeededTerm);
  s.failedTerm = SettingTerm(f, "FailedTerm" + N, options.failedTerm);
  s.recursive = Int(f, kAuto, "bRecursive" + N, 0);

  s.textInfoFlag = Int(f, kAuto, "TextInfoFlag" + N, 0);
  if (s.textInfoFlag < 0 || s.textInfoFlag > 7) s.textInfoFlag = 0;
  s.textInfo = Cut(ProfileRead(kAuto, "TextInfo" + N, "", f), 50);
  s.sendResult = Int(f, kAuto, "SendResult" + N, 2);
  if (s.sendResult < 0 || s.sendResult > 3) s.sendResult = 2;

  int count = Int(f, kAuto, "SendUser" + N + "count", 0);
  if (count < 0 || count > options.maxUser) count = 0;
  std::string users;
  for (int m = 1; m <= count; ++m) {
    const std::string name = Text(f, kAuto, "SendUser" + N + "user" + std::to_string(m));
    if (name.empty()) return false;
    if (!users.empty()) users += ',';
    users += platform::CutDisplayWidth(name, 20);
  }
  s.userCount = count;
  s.users = std::move(users);

  s.searchBinder = options.disableSearchBinder == 1 ? Int(f, kAuto, "SearchBinder" + N, 0) : 0;

  if (s.workDesk == 1) {
    s.linkFolder.clear();
  } else if (s.targetBinder.empty()) {
    s.linkFolder = context.viewerCurrentFolder;
  } else {
    s.linkFolder = LinkFolderOfBinder(s.targetBinder);
  }

  if (context.detectNetwork) {
    // A look with a time limit: a dead hard mount must not hang the reader.
    // A path that does not answer counts as a network path, so the watch
    // loop looks at it again before touching it.
    const int limit = platform::NetworkProbeLimitMs();
    auto onNetwork = [limit](const std::string& p) {
      return !p.empty() && platform::ProbePath(p, limit) != platform::PathReach::Local;
    };
    s.targetOnNetwork = onNetwork(s.targetFolder) ? 1 : 0;
    s.linkOnNetwork = onNetwork(s.linkFolder) ? 1 : 0;
    s.resultFoldersOnNetwork = (onNetwork(s.succeededFolder) || onNetwork(s.failedFolder)) ? 1 : 0;
  }
  out = std::move(s);
  return true;
}

bool ReadAutoFileSettings(const EnvFiles& env, const MonitorOptions& options, const SettingContext& context,
                          std::vector<AutoFileSetting>& settings) {
  const int capacity = std::max(options.setTotalMax, 0);
  if (static_cast<int>(settings.size()) < capacity) settings.resize(capacity);
  const int count = std::clamp(options.setTotal, 0, capacity);
  for (int n = 1; n <= count; ++n) {
    if (!ReadAutoFileSetting(env.settings, n, options, context, settings[n - 1])) {
      const std::string text = MonitorText(kIdsRecipientsUnreadable);
      ZV_TRACE("_Hopvale", "ReadAutoFileSettings: setting " + std::to_string(n) + ": " + text);
      companion::ComShowMessageBox(text, options.productName, companion::kMbIconWarning);
      // The file has been read as far as it can be. A raised flag would have
      // every cycle read it again, show the message again and hold every
      // import back; the next save raises it anew.
      ResetChangeFlag(env, ChangeFlag::Modified);
      return false;
    }
  }
  return ResetChangeFlag(env, ChangeFlag::Modified);
}

bool ExceptLists::IsExceptedFile(std::string_view fileName) const {
  return std::any_of(files.begin(), files.end(),
                     [&](const std::string& e) { return platform::EqualsNoCase(e, fileName); });
}

bool ExceptLists::IsExceptedExtension(std::string_view extension) const {
  if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
  if (extension.empty()) return false;
  return std::any_of(extensions.begin(), extensions.end(),
                     [&](const std::string& e) { return platform::EqualsNoCase(e, extension); });
}

bool ExceptLists::Excludes(std::string_view path) const {
  const std::string name = platform::LastComponent(path);
  return IsExceptedFile(name) || IsExceptedExtension(platform::Extension(name));
}

ExceptLists ReadExceptLists(const std::string& f) {
  ExceptLists lists;
  auto readList = [&](const char* section, bool isExtension) {
    std::vector<std::string> out;
    const int count = Int(f, section, "FileCount", 0);
    for (int i = 1; i <= count; ++i) {
      std::string v = Text(f, section, "File" + std::to_string(i));
      if (isExtension && !v.empty() && v.front() == '.') v.erase(0, 1);
      if (!v.empty()) out.push_back(std::move(v));
    }
    return out;
  };
  lists.files = readList("exceptFiles", false);
  lists.extensions = readList("exceptExt", true);
  return lists;
}

bool WriteDefaultSettings(const std::string& file) {
  EnvLockGuard guard(platform::ParentFolder(file), {file});
  bool ok = true;
  auto S = [&](std::string_view section, std::string_view key, std::string_view value) {
    ok = ProfileWrite(section, key, value, file) && ok;
  };
  auto I = [&](std::string_view section, std::string_view key, int value) {
    ok = ProfileWrite(section, key, value, file) && ok;
  };

  S("Product", "ProductName", MonitorText(kIdsProductName));
  S("Product", "Version", MonitorText(kIdsVersionDefault));
  S("Product", "User", "");
  S("Product", "Company", "");
  // The computer that owns the file: result files and the link folders'
  // result-area copies name it.
  S("Product", "HostName", std::string(platform::Trim(platform::ComputerName())));
  S("Product", "LastModified", std::to_string(static_cast<long long>(platform::UnixSeconds())));

  const std::pair<const char*, int> optionInts[] = {{"MonitorStatus", 0},
                                                    {"MonitorLog", 0},
                                                    {"Modified", 0},
                                                    {"FaxModified", 0},
                                                    {"FaxMonitorSet", 0},
                                                    {"ImpListEnabled", 1},
                                                    {"ImpListPopup", 0},
                                                    {"bAddContents", 0},
                                                    {"MaxUser", 50},
                                                    {"DisableSearchBinder", 0},
                                                    {"MaxRecursive", 3},
                                                    {"MaxSetNumber", 1050},
                                                    {"ServiceMode", 0},
                                                    {"RecreateBinder", 1},
                                                    {"CheckCommonUser", 0},
                                                    {"move_succeeded", 0},
                                                    {"move_failed", 0},
                                                    {"SucceededTerm", 30},
                                                    {"FailedTerm", 30},
                                                    {"WriteWaitCounter", 100},
                                                    {"Wait", 1000},
                                                    {"WaitLocal", 1000},
                                                    {"WaitNetwork", 5000},
                                                    {"RetryNum", 5},
                                                    {"SkipLogEnabled", 0},
                                                    {"SkipLogInterval", 600},
                                                    {"SkipLogTerm", 10},
                                                    {"ImpResultLogEnabled", 0},
                                                    {"ImpResultMaxRecord", 200},
                                                    {"ImpLogFlg", 1},
                                                    {"ImpLogTerm", 30},
                                                    {"ShowBalloon", -1},
                                                    {"TimeBalloon", 5},
                                                    {"Backup", 0},
                                                    {"NoUse", 0}};
  for (const auto& [key, value] : optionInts) I("Option", key, value);
  S("Option", "InstallMode", "client");
  for (const char* key : {"ImpLogDir", "CurrentFolder", "LinkFolder1", "LinkFolder2", "LinkFolder3",
                          "BinderINISetDateSec", "BinderINISetDateKey", "BackupFolder"}) {
    S("Option", key, "");
  }
  // Written as the sort-folder writers spell it; sections match without
  // regard to case, so it joins [Option].
  I("option", "SortModified", 0);

  constexpr int kSettings = 5;
  I(kAuto, "SetTotal", kSettings);
  I(kAuto, "SetTotalMax", 30);
  I(kAuto, "DropFolder", 0);
  for (int n = 1; n <= kSettings; ++n) {
    const std::string N = std::to_string(n);
    I(kAuto, "bCheck" + N, 0);
    S(kAuto, "SetName" + N, "\"\"");
    for (const char* key :
         {"TarFolder", "TarBinder", "DeleteFolderDate", "SetDate", "SucceededFolder", "FailedFolder", "TextInfo"}) {
      S(kAuto, key + N, "");
    }
    I(kAuto, "bWorkDesk" + N, 0);
    I(kAuto, "InsertPos" + N, 1);
    I(kAuto, "SetNumber" + N, -1);
    I(kAuto, "checkTimer" + N, 0);
    I(kAuto, "move_succeeded" + N, -1);
    I(kAuto, "move_failed" + N, -1);
    I(kAuto, "SucceededTerm" + N, -1);
    I(kAuto, "FailedTerm" + N, -1);
    I(kAuto, "bRecursive" + N, 0);
    I(kAuto, "TextInfoFlag" + N, 0);
    I(kAuto, "SendResult" + N, 2);
    I(kAuto, "SendUser" + N + "count", 0);
    I(kAuto, "SearchBinder" + N, 0);
  }

  const std::pair<const char*, int> faxInts[] = {
      {"Enabled", 0},          {"bRecursive", 0},        {"move_succeeded", 1},  {"move_failed", 0},
      {"SucceededTerm", -1},   {"FailedTerm", -1},       {"checkTimer", 0},      {"SetTotal", 0},
      {"SetTotalMax", 1000},   {"OtherEnabled", 0},      {"OtherbWorkDesk", 0},  {"OtherInsertPos", 1},
      {"OtherPrint", 0},       {"OtherTextInfoFlag", 0}, {"OtherSendResult", 2}, {"OtherSendUsercount", 0},
      {"OtherSearchBinder", 0}};
  for (const auto& [key, value] : faxInts) I("FaxMonitor", key, value);
  for (const char* key : {"TarFolder", "SucceededFolder", "FailedFolder", "DeleteFolderDate", "OtherTarBinder",
                          "OtherSetDate", "OtherTextInfo"}) {
    S("FaxMonitor", key, "");
  }

  const std::pair<const char*, int> sortInts[] = {{"bEnabled", 0},       {"SetTotal", 0},        {"SetTotalMax", 2520},
                                                  {"CheckTimer", 0},     {"InsertPos", 1},       {"ShowSaveFolder", 0},
                                                  {"move_succeeded", 0}, {"move_failed", 0},     {"SucceededTerm", 30},
                                                  {"FailedTerm", 30},    {"SearchBinderFlag", 0}};
  for (const auto& [key, value] : sortInts) I("FolderMonitorSet", key, value);
  S("FolderMonitorSet", "SortFolder", "");
  S("FolderMonitorSet", "LinkFoder", "");

  I("exceptFiles", "FileCount", 0);
  I("exceptExt", "FileCount", 0);
  I("FileLockList", "SetTotal", 0);

  return guard.Commit() && ok;
}

}  // namespace zv::monitor
