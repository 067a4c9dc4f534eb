#include "monitor/settings/fax_settings.h"

#include <algorithm>

#include "companion/common.h"
#include "companion/services.h"
#include "companion/trace.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

constexpr int kMaxTerm = 999;

std::string Text(const std::string& f, std::string_view key) {
  return std::string(platform::Trim(ProfileRead(kFaxSection, key, "", f)));
}
int Int(const std::string& f, std::string_view key, int def) { return ProfileRead(kFaxSection, key, def, f); }

// 0 moves, 1 deletes; anything else is read as a move, never as a delete.
int MoveMode(const std::string& f, std::string_view key, int def) { return Int(f, key, def) == 1 ? 1 : 0; }

int Term(const std::string& f, std::string_view key) {
  const int v = Int(f, key, -1);
  return v < -1 || v > kMaxTerm ? -1 : v;
}

std::string Cut(std::string_view s, std::size_t maxBytes) { return std::string(platform::Utf8CutBytes(s, maxBytes)); }

// The key names of one entry: "<base><n>" for setting n, the other
// setting's own names for n == 0.
struct Keys {
  int n;
  std::string N;
  std::string operator()(const char* numbered, const char* other) const {
    return n == 0 ? std::string(other) : numbered + N;
  }
  std::string UserCount() const { return n == 0 ? "OtherSendUsercount" : "SendUser" + N + "count"; }
  std::string User(int m) const {
    return (n == 0 ? std::string("OtherUseruser") : "SendUser" + N + "user") + std::to_string(m);
  }
};

// One entry; false when a recipient name is empty (`out` untouched).
bool ReadEntry(const std::string& f, int n, const MonitorOptions& options, const SettingContext& context,
               FaxEntry& out) {
  const Keys k{n, std::to_string(n)};
  FaxEntry e;
  e.check = Int(f, k("bCheck", "OtherEnabled"), 0);
  e.targetBinder = Text(f, k("TarBinder", "OtherTarBinder"));
  e.workDesk = Int(f, k("bWorkDesk", "OtherbWorkDesk"), 0);
  if (!context.workDeskFolder.empty()) {
    e.workDesk = platform::EqualsNoCase(platform::TrimTrailingSeparator(e.targetBinder),
                                        platform::TrimTrailingSeparator(context.workDeskFolder))
                     ? 1
                     : 0;
  }
  if (n != 0) {
    e.setNumber = Int(f, "SetNumber" + k.N, -1);
    if (e.setNumber == -1) e.setNumber = n;
    e.setName = ProfileRead(kFaxSection, "SetName" + k.N, "", f);
    e.targetName = Text(f, "TargetName" + k.N);
    e.importMode = Int(f, "ImpMode" + k.N, 0) == 1 ? 1 : 0;
  } else {
    e.setNumber = kFaxOtherSetting;
  }
  e.insertPos = Int(f, k("InsertPos", "OtherInsertPos"), 1);
  if (e.insertPos != 1 && e.insertPos != 2) e.insertPos = 1;
  e.print = Int(f, k("Print", "OtherPrint"), 0);
  e.setDate = Cut(Text(f, k("SetDate", "OtherSetDate")), 15);
  e.textInfoFlag = Int(f, k("TextInfoFlag", "OtherTextInfoFlag"), 0);
  if (e.textInfoFlag < 0 || e.textInfoFlag > 7) e.textInfoFlag = 0;
  e.textInfo = Cut(ProfileRead(kFaxSection, k("TextInfo", "OtherTextInfo"), "", f), 50);
  e.sendResult = Int(f, k("SendResult", "OtherSendResult"), 2);
  if (e.sendResult < 0 || e.sendResult > 3) e.sendResult = 2;
  int count = Int(f, k.UserCount(), 0);
  if (count < 0 || count > options.maxUser) count = 0;
  for (int m = 1; m <= count; ++m) {
    const std::string name = Text(f, k.User(m));
    if (name.empty()) return false;
    if (!e.users.empty()) e.users += ',';
    e.users += platform::CutDisplayWidth(name, 20);
  }
  e.userCount = count;
  e.searchBinder =
      options.disableSearchBinder == 1 ? (Int(f, k("SearchBinder", "OtherSearchBinder"), 0) == 1 ? 1 : 0) : 0;
  // A plain folder (mode 1) and the work desk lie on no link folder.
  if (e.workDesk == 1 || e.importMode == 1) {
    e.linkFolder.clear();
  } else if (e.targetBinder.empty()) {
    e.linkFolder = context.viewerCurrentFolder;
  } else {
    e.linkFolder = LinkFolderOfBinder(e.targetBinder);
  }
  out = std::move(e);
  return true;
}

}  // namespace

int FaxSettings::EffectiveSucceededTerm(const MonitorOptions& options) const {
  return succeededTerm == -1 ? options.succeededTerm : succeededTerm;
}
int FaxSettings::EffectiveFailedTerm(const MonitorOptions& options) const {
  return failedTerm == -1 ? options.failedTerm : failedTerm;
}

bool ReadFaxSettingsFrom(const std::string& f, const MonitorOptions& options, const SettingContext& context,
                         FaxSettings& out) {
  out.enabled = Int(f, "Enabled", 0);
  out.targetFolder = platform::TrimTrailingSeparator(Text(f, "TarFolder"));
  out.recursive = Int(f, "bRecursive", 0) == 1 ? 1 : 0;
  out.moveSucceeded = MoveMode(f, "move_succeeded", 1);
  out.moveFailed = MoveMode(f, "move_failed", 0);
  out.succeededFolder = Text(f, "SucceededFolder");
  out.failedFolder = Text(f, "FailedFolder");
  out.succeededTerm = Term(f, "SucceededTerm");
  out.failedTerm = Term(f, "FailedTerm");
  out.checkTimer = std::max(0, Int(f, "checkTimer", 0));
  out.deleteDate = Text(f, "DeleteFolderDate");
  out.setTotalMax = Int(f, "SetTotalMax", 1000);
  if (out.setTotalMax < 1) out.setTotalMax = 1000;
  const int total = std::clamp(Int(f, "SetTotal", 0), 0, out.setTotalMax);
  out.entries.resize(static_cast<std::size_t>(total));

  bool ok = true;
  for (int n = 1; n <= total && ok; ++n) {
    ok = ReadEntry(f, n, options, context, out.entries[static_cast<std::size_t>(n - 1)]);
    if (!ok) ZV_TRACE("_Hopvale", "ReadFaxSettings: setting " + std::to_string(n) + ": a recipient has no name");
  }
  if (ok) {
    ok = ReadEntry(f, 0, options, context, out.other);
    if (!ok) ZV_TRACE("_Hopvale", "ReadFaxSettings: other setting: a recipient has no name");
  }

  out.onNetwork = 0;
  if (context.detectNetwork) {
    const int limit = platform::NetworkProbeLimitMs();
    for (const std::string* p : {&out.targetFolder, &out.succeededFolder, &out.failedFolder})
      if (!p->empty() && platform::ProbePath(*p, limit) != platform::PathReach::Local) out.onNetwork = 1;
  }
  return ok;
}

bool ReadFaxSettings(const EnvFiles& env, const MonitorOptions& options, const SettingContext& context,
                     FaxSettings& out) {
  const bool ok = ReadFaxSettingsFrom(env.settings, options, context, out);
  if (!ok) {
    // Read as far as it goes; a raised flag would show the message in every
    // cycle. The next save raises it anew.
    companion::ComShowMessageBox(MonitorText(kIdsRecipientsUnreadable), options.productName, companion::kMbIconWarning);
  }
  ResetChangeFlag(env, ChangeFlag::FaxModified);
  return ok;
}

namespace {

bool WriteEntry(const std::string& f, int n, const FaxEntry& e, int previousCount) {
  const Keys k{n, std::to_string(n)};
  bool ok = true;
  auto S = [&](const std::string& key, std::string_view v) { ok = ProfileWrite(kFaxSection, key, v, f) && ok; };
  auto I = [&](const std::string& key, int v) { ok = ProfileWrite(kFaxSection, key, v, f) && ok; };
  I(k("bCheck", "OtherEnabled"), e.check);
  if (n != 0) {
    I("SetNumber" + k.N, e.setNumber);
    S("SetName" + k.N, "\"" + e.setName + "\"");
    S("TargetName" + k.N, e.targetName);
    I("ImpMode" + k.N, e.importMode);
  }
  I(k("bWorkDesk", "OtherbWorkDesk"), e.workDesk);
  S(k("TarBinder", "OtherTarBinder"), e.targetBinder);
  I(k("InsertPos", "OtherInsertPos"), e.insertPos);
  I(k("Print", "OtherPrint"), e.print);
  S(k("SetDate", "OtherSetDate"), e.setDate);
  I(k("TextInfoFlag", "OtherTextInfoFlag"), e.textInfoFlag);
  S(k("TextInfo", "OtherTextInfo"), e.textInfo);
  I(k("SendResult", "OtherSendResult"), e.sendResult);
  std::vector<std::string> names;
  for (std::size_t start = 0; start <= e.users.size() && !e.users.empty();) {
    const std::size_t comma = e.users.find(',', start);
    names.push_back(e.users.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  I(k.UserCount(), static_cast<int>(names.size()));
  for (std::size_t m = 0; m < names.size(); ++m) S(k.User(static_cast<int>(m) + 1), names[m]);
  for (int m = static_cast<int>(names.size()) + 1; m <= previousCount; ++m) ProfileDeleteKey(kFaxSection, k.User(m), f);
  I(k("SearchBinder", "OtherSearchBinder"), e.searchBinder);
  return ok;
}

}  // namespace

bool WriteFaxSettings(const std::string& f, const FaxSettings& s, bool writeOther) {
  if (!ProfileWrite(kFaxSection, "Enabled", s.enabled, f)) return false;
  bool ok = true;
  auto S = [&](const char* key, std::string_view v) { ok = ProfileWrite(kFaxSection, key, v, f) && ok; };
  auto I = [&](const char* key, int v) { ok = ProfileWrite(kFaxSection, key, v, f) && ok; };
  // A new fax folder gets its clean-up on the next cycle.
  if (platform::TrimTrailingSeparator(Text(f, "TarFolder")) != platform::TrimTrailingSeparator(s.targetFolder))
    S("DeleteFolderDate", "");
  S("TarFolder", s.targetFolder);
  I("bRecursive", s.recursive);
  I("move_succeeded", s.moveSucceeded);
  S("SucceededFolder", s.succeededFolder);
  I("SucceededTerm", s.succeededTerm);
  I("move_failed", s.moveFailed);
  S("FailedFolder", s.failedFolder);
  I("FailedTerm", s.failedTerm);
  I("checkTimer", s.checkTimer);
  I("SetTotalMax", s.setTotalMax);
  I("SetTotal", static_cast<int>(s.entries.size()));
  if (!s.currentFolder.empty()) ok = ProfileWrite("Option", "CurrentFolder", s.currentFolder, f) && ok;
  for (std::size_t i = 0; i < s.entries.size(); ++i) {
    const int n = static_cast<int>(i) + 1;
    const int previous = Int(f, "SendUser" + std::to_string(n) + "count", 0);
    ok = WriteEntry(f, n, s.entries[i], previous) && ok;
  }
  if (writeOther) ok = WriteEntry(f, 0, s.other, std::max(0, Int(f, "OtherSendUsercount", 0))) && ok;
  return ok;
}

AutoFileSetting FaxRecord(const FaxSettings& fax, int n, const MonitorOptions& options) {
  const FaxEntry& e = n == kFaxOtherSetting ? fax.other : fax.entries.at(static_cast<std::size_t>(n - 1));
  AutoFileSetting s;
  s.check = e.check;
  s.print = e.print;
  s.workDesk = e.workDesk;
  s.recursive = fax.recursive;
  s.targetFolder = fax.targetFolder;
  s.targetBinder = e.targetBinder;
  s.linkFolder = e.linkFolder;
  s.succeededFolderSet = fax.succeededFolder.empty() ? 0 : 1;
  s.failedFolderSet = fax.failedFolder.empty() ? 0 : 1;
  s.succeededFolder = fax.succeededFolder;
  s.failedFolder = fax.failedFolder;
  s.succeededTerm = fax.EffectiveSucceededTerm(options);
  s.failedTerm = fax.EffectiveFailedTerm(options);
  s.moveSucceeded = fax.moveSucceeded;
  s.moveFailed = fax.moveFailed;
  s.insertPos = e.insertPos;
  s.checkTimer = fax.checkTimer;
  s.setName = e.setName;
  s.deleteDate = fax.deleteDate;
  s.importMode = e.importMode;
  s.setNumber = e.setNumber;
  s.setDate = e.setDate;
  s.targetOnNetwork = fax.onNetwork;
  s.resultFoldersOnNetwork = fax.onNetwork;
  s.textInfoFlag = e.textInfoFlag;
  s.textInfo = e.textInfo;
  s.sendResult = e.sendResult;
  s.userCount = e.userCount;
  s.users = e.users;
  s.searchBinder = options.disableSearchBinder == 1 ? e.searchBinder : 0;
  // The other setting takes every name the numbered settings leave.
  s.fileMask = n == kFaxOtherSetting ? std::string("*.*") : e.targetName;
  return s;
}

}  // namespace zv::monitor
