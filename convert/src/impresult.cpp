// The import result file: one ini file per import in the program folder's
// Rslt folder, gathered later by the import-list viewer.
#include <cstring>
#include <ctime>

#include "companion/export_guard.h"
#include "companion/strings.h"
#include "dravel/core.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace zv::dravel {
namespace {

constexpr int kNamesPerKey = 50;
// How far a result may move to later seconds when earlier names are taken
// (by this program, another monitor or the send-file tool).
constexpr int kMaxNameSeconds = 3600;

template <std::size_t N>
std::string Field(const char (&text)[N]) {
  return std::string(text, strnlen(text, N));
}

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

bool IsStamp(std::string_view s) {
  if (s.size() != 14) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

std::string FormatStamp(std::int64_t unixSeconds) { return platform::LocalTimeText(unixSeconds, "%Y%m%d%H%M%S"); }

std::vector<std::string> GroupReceivers(const char* userList) {
  std::vector<std::string> groups;
  std::string current;
  int inCurrent = 0;
  if (userList != nullptr) {
    std::string_view rest(userList);
    for (std::size_t comma = rest.find(','); comma != std::string_view::npos; comma = rest.find(',')) {
      current.append(rest.substr(0, comma + 1));
      rest.remove_prefix(comma + 1);
      if (++inCurrent == kNamesPerKey) {
        groups.push_back(std::move(current));
        current.clear();
        inCurrent = 0;
      }
    }
  }
  if (inCurrent > 0 || groups.empty()) groups.push_back(std::move(current));
  return groups;
}

std::vector<std::pair<std::string, std::string>> ResultKeys(const DravelImpRecord& r, std::string_view stamp) {
  std::vector<std::pair<std::string, std::string>> keys;
  auto add = [&keys](std::string key, std::string value) { keys.emplace_back(std::move(key), std::move(value)); };
  const std::string importTime = FormatStamp(r.impTime);

  add("Time", std::string(stamp));
  if (const std::string host = Field(r.hostName); !host.empty()) add("HostName", host);
  const std::string folder = Field(r.srcFolder);
  add("File", folder.empty() ? std::string() : platform::JoinPath(folder, Field(r.srcFile)));
  add("Name", Field(r.name));
  add("Result", r.result != 0 ? "1" : "0");
  if (r.result == 0) add("Msg", Text(r.message));
  const std::string binder = Field(r.binder);
  add("Binder", binder.empty() ? Message(companion::kDravelUnknownBinder) : binder);
  add("Index", Field(r.index));
  if (r.workDesk == 0) add("ActualBinder", Field(r.actualBinder));
  add("bWorkDesk", std::to_string(r.workDesk));
  add("BinderPath", Field(r.binderPath));
  add("LinkFolderPath", Field(r.linkFolderPath));
  add("LinkFolderName", Field(r.linkFolderName));
  add("SetNumber", std::to_string(r.setNumber));
  add("Keyword", r.impMode != 0 ? importTime : "0");
  add("Page", r.impMode != 0 ? std::to_string(r.pageCount) : "0");
  const std::vector<std::string> groups = GroupReceivers(r.userList);
  for (std::size_t i = 0; i < groups.size(); ++i) add("ImpUser" + std::to_string(i + 1), groups[i]);
  add("A3B4", static_cast<unsigned char>(r.a3b4) != 0 ? "1" : "0");
  add("ParentPCName", (r.workDesk == 0 && r.impMode != 0) ? Text(r.parentPCName) : platform::ComputerName());
  add("bUserSetNoSelf", std::to_string(r.userSetNoSelf));
  add("ImpMode", std::to_string(static_cast<int>(r.impMode)));
  add("UserName", Field(r.userName));
  return keys;
}

std::string WriteImpResult(const DravelImpRecord& record) {
  const std::string env = EnvSetInfoPath();
  if (!platform::IsFile(env)) return {};
  const std::string folder = platform::JoinPath(platform::ProgramFolder(), "Rslt");
  if (!platform::IsFolder(folder) && !platform::MakeFolders(folder)) {
    ZV_DRAVEL_TRACE("OutPutImpRsltFile: cannot create " + folder);
    return {};
  }

  // Claim a name of its own: two results in one second must not share a
  // file (the later would replace the earlier and a notice would be lost),
  // so a taken second moves the result on to the next free one.
  std::string stamp, path;
  for (int offset = 0; offset < kMaxNameSeconds; ++offset) {
    stamp = FormatStamp(record.impTime + offset);
    if (stamp.empty()) return {};
    path = platform::JoinPath(folder, "ImpRslt_" + stamp + ".ini");
    if (platform::CreateExclusive(path)) break;
    if (!platform::Exists(path)) {
      ZV_DRAVEL_TRACE("OutPutImpRsltFile: cannot create " + path);
      return {};
    }
    path.clear();
  }
  if (path.empty()) {
    ZV_DRAVEL_TRACE("OutPutImpRsltFile: no free result file name");
    return {};
  }

  {
    platform::ini::WriteGroup group(path);
    for (const auto& [key, value] : ResultKeys(record, stamp)) platform::ini::WriteString(path, "Rslt", key, value);
    if (!group.Commit()) ZV_DRAVEL_TRACE("OutPutImpRsltFile: writing " + path + " failed");
  }
  if (record.result == 0 && record.message != nullptr) record.message[0] = '\0';

  // The collector takes only files whose stamp is not later than
  // LastImpTime; never lower it below a stamp another writer has set.
  {
    platform::ini::WriteGroup group(env);
    const std::string last = platform::ini::GetString(env, "option", "LastImpTime");
    if (!IsStamp(last) || last < stamp) platform::ini::WriteString(env, "option", "LastImpTime", stamp);
    if (!group.Commit()) ZV_DRAVEL_TRACE("OutPutImpRsltFile: writing LastImpTime failed");
  }
  return path;
}

}  // namespace zv::dravel

extern "C" DRAVEL_API void OutPutImpRsltFile(DravelImpRecord record) {
  zv::companion::ExportGuardVoid("_Dravel", "OutPutImpRsltFile", [&] { zv::dravel::WriteImpResult(record); });
}
