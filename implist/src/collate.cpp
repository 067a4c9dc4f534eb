#include "implist/collate.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include "companion/services.h"
#include "companion/trace.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

#define ZV_IMPLIST_TRACE(msg) ZV_TRACE("_ImpList", (msg))

namespace zv::implist {
namespace {

namespace ini = platform::ini;

constexpr const char* kListLock = "~ImpList.Locked";
constexpr const char* kOwedKey = "PendingUsers";  // users a gathered record is still owed to
constexpr int kOtherUsersMinHoldDays = 60;

std::mutex g_hookMutex;
std::function<void(std::string_view)> g_stepHook;

void Step(std::string_view name) {
  std::function<void(std::string_view)> hook;
  {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    hook = g_stepHook;
  }
  if (hook) hook(name);
}

bool IsDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string StampNow() { return platform::LocalTimeText(platform::UnixSeconds(), "%Y%m%d%H%M%S"); }

// A lock file taken with polls 100 ms apart, given up after timeoutSeconds
// or as soon as `stop` is set.
platform::HeldLock TakeLock(const std::string& folder, const std::string& name, int timeoutSeconds,
                            const std::atomic<bool>& stop) {
  if (timeoutSeconds <= 0) timeoutSeconds = 60;
  const std::string path = platform::JoinPath(folder, name);
  const std::int64_t start = platform::SteadyMs();
  for (;;) {
    platform::HeldLock lock = platform::HeldLock::TryAcquire(path);
    if (lock) return lock;
    if (stop.load() || platform::SteadyMs() - start > std::int64_t{timeoutSeconds} * 1000) return {};
    platform::SleepMs(100);
  }
}

}  // namespace

std::string PerformanceLine(const PassResult& r, std::int64_t elapsedMs) {
  return "取り込み結果表示更新," + std::to_string(r.gathered) + "," + std::to_string(r.taken) + "," +
         std::to_string(std::max<std::int64_t>(elapsedMs, 0) / 10 * 10);
}

namespace {

// Age in whole days from a record's Time to now; -1 when it has none.
std::int64_t AgeDays(const Record& r) {
  const std::int64_t t = r.TimeSeconds();
  if (t < 0) return -1;
  return (platform::UnixSeconds() - t) / 86400;
}

bool Expired(const Record& r, int days) { return days > 0 && AgeDays(r) >= days; }

std::vector<std::string> SplitUsers(std::string_view list) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : list) {
    if (c == ',') {
      std::string name(platform::Trim(cur));
      if (!name.empty()) out.push_back(std::move(name));
      cur.clear();
    } else {
      cur += c;
    }
  }
  std::string name(platform::Trim(cur));
  if (!name.empty()) out.push_back(std::move(name));
  return out;
}

std::string JoinUsers(const std::vector<std::string>& users) {
  std::string s;
  for (const auto& u : users) s += u + ",";
  return s;
}

// Every record of a list file with its section name.
std::vector<std::pair<std::string, Record>> ReadAll(const std::string& file) {
  std::vector<std::pair<std::string, Record>> out;
  for (const auto& name : ini::SectionNames(file)) {
    Record r;
    if (ReadRecord(file, name, r)) out.emplace_back(name, std::move(r));
  }
  return out;
}

bool ContainsImport(const std::vector<Record>& present, const Record& r) {
  return std::any_of(present.begin(), present.end(), [&](const Record& p) { return p.SameImport(r); });
}

// The inbox file names in <link>/Rslt that belong to `user` without ASCII
// case ("ImpListData_<variant>.ini"); the variant spellings.
std::vector<std::string> InboxVariants(const std::string& rslt, const std::string& user) {
  std::vector<std::string> out;
  auto entries = platform::ListFolder(rslt);
  if (!entries) return out;
  constexpr std::string_view kPrefix = "ImpListData_", kSuffix = ".ini";
  for (const auto& e : *entries) {
    if (e.isFolder || e.isSymlink) continue;
    std::string_view n = e.name;
    if (n.size() <= kPrefix.size() + kSuffix.size() || !n.starts_with(kPrefix) || !n.ends_with(kSuffix)) continue;
    std::string_view v = n.substr(kPrefix.size(), n.size() - kPrefix.size() - kSuffix.size());
    if (platform::EqualsNoCase(v, user)) out.emplace_back(v);
  }
  return out;
}

std::string CleanFolder(std::string_view f) {
  std::string s(platform::Trim(f));
  return platform::TrimTrailingSeparator(s);
}

// The link folder of a record when it is one of this installation's and
// answered the probe of this pass; "" otherwise (`unreachable` tells the two
// apart).
std::string OwnLinkFolder(const SurveyConfig& c, const std::vector<std::string>& answering, const Record& r,
                          bool& unreachable) {
  unreachable = false;
  const std::string path = CleanFolder(r.Get("LinkFolderPath"));
  if (path.empty()) return {};
  for (const auto& l : c.linkFolders)
    if (!l.empty() && l == path) {
      unreachable = std::find(answering.begin(), answering.end(), l) == answering.end();
      return unreachable ? std::string() : l;
    }
  return {};
}

// The link folders that answer within the network time limit (a dead share
// must not hang the pass); the others go to `silent` when it is given.
std::vector<std::string> AnsweringLinkFolders(const SurveyConfig& c, std::vector<std::string>* silent = nullptr) {
  std::vector<std::string> out;
  for (const auto& l : c.linkFolders)
    if (!l.empty() && platform::ProbePath(l, platform::NetworkProbeLimitMs()) != platform::PathReach::Unreachable &&
        platform::IsFolder(l)) {
      out.push_back(l);
    } else if (!l.empty()) {
      ZV_IMPLIST_TRACE("Link folder does not answer - " + l);
      if (silent != nullptr) silent->push_back(l);
    }
  return out;
}

// Appends the records of `batch` missing from `file` inside one write group;
// the number appended, -1 when the file could not be saved.
int AppendMissing(const std::string& file, const std::vector<const Record*>& batch, int mode, int holdDays) {
  std::vector<Record> present;
  for (auto& [name, r] : ReadAll(file)) present.push_back(std::move(r));
  ini::WriteGroup group(file);
  if (!group.ok()) return -1;
  int added = 0;
  for (const Record* r : batch) {
    if (ContainsImport(present, *r) || Expired(*r, holdDays)) continue;
    if (AppendRecord(file, *r, mode).empty()) return -1;  // the group is dropped unsaved
    present.push_back(*r);
    ++added;
  }
  if (added == 0) {
    group.Commit();
    return 0;
  }
  return group.Commit() ? added : -1;
}

// --- gathering -----------------------------------------------------------

int Gather(const SurveyConfig& c) {
  const std::string rslt = c.rslt();
  const std::string env = platform::JoinPath(c.programFolder, "EnvSetInfo.ini");
  if (!platform::IsFile(env)) return 0;
  const std::string last = ini::GetString(env, "Option", "LastImpTime");
  auto entries = platform::ListFolder(rslt);
  if (!entries) return 0;
  const std::string listData = platform::JoinPath(rslt, "ListData.ini");

  std::vector<std::string> taken;
  std::vector<Record> records;
  for (const auto& e : *entries) {
    if (e.isFolder || e.isSymlink) continue;
    const std::string& n = e.name;
    if (n.size() < 12 || !n.starts_with("ImpRslt_") || !platform::EqualsNoCase(platform::Extension(n), "ini")) continue;
    const std::string base = platform::StripExtension(n);
    const std::string stamp = base.substr(base.rfind('_') + 1);
    if (stamp > last) continue;  // still being written
    const std::string path = platform::JoinPath(rslt, n);
    Record r;
    if (!ReadRecord(path, "Rslt", r) || r.TimeSeconds() < 0) {
      // Empty or half written: never deleted; put aside once it is older
      // than the hold period, so it stops being looked at.
      auto st = platform::Stamp(path);
      if (c.fileHoldPeriodDays > 0 && st &&
          platform::UnixSeconds() - st->mtimeNs / 1'000'000'000 >= std::int64_t{c.fileHoldPeriodDays} * 86400) {
        platform::RenamePath(path, path + ".bad", false);
        ZV_IMPLIST_TRACE("ReadAllDeliveryDataFiles2: unreadable result file put aside - " + path);
      } else {
        ZV_IMPLIST_TRACE("Get ImplistData.ini failed - " + path);
      }
      continue;
    }
    taken.push_back(path);
    records.push_back(std::move(r));
  }
  if (taken.empty()) return 0;

  std::vector<const Record*> batch;
  for (const auto& r : records) batch.push_back(&r);
  if (AppendMissing(listData, batch, 0, 0) < 0) {
    ZV_IMPLIST_TRACE("Get ImplistData.ini failed - " + listData);
    return 0;
  }
  Step("gathered");
  int count = 0;
  for (const auto& p : taken)
    if (platform::RemoveFile(p)) ++count;
  return count;
}

// --- delivery ------------------------------------------------------------

struct Pending {
  std::string section;
  Record record;
  std::vector<std::string> owed;
  bool drop = false;  // nothing more to deliver (or expired)
};

int Transport(const SurveyConfig& c, const std::vector<std::string>& answering, const std::atomic<bool>& stop,
              PassResult& result) {
  const std::string listData = platform::JoinPath(c.rslt(), "ListData.ini");
  if (!platform::IsFile(listData)) return 1;
  std::vector<Pending> pending;
  for (auto& [name, r] : ReadAll(listData)) {
    Pending p{name, std::move(r), {}, false};
    const std::string note = p.record.Get(kOwedKey);
    p.owed = note.empty() ? p.record.Addressees() : SplitUsers(note);
    p.record.Erase(kOwedKey);
    if (p.owed.empty()) {
      ZV_IMPLIST_TRACE("ListDataIniTransport: user list is null, goto next section");
      p.drop = true;
    }
    pending.push_back(std::move(p));
  }

  // Inbox key (link folder, lower-case user) -> the records owed to it.
  struct Inbox {
    std::string link, user;
    std::vector<std::size_t> items;
  };
  std::map<std::pair<std::string, std::string>, Inbox> inboxes;
  std::vector<const Record*> local;
  std::vector<std::size_t> localItems;
  for (std::size_t i = 0; i < pending.size(); ++i) {
    Pending& p = pending[i];
    if (p.drop) continue;
    if (Expired(p.record, c.fileHoldPeriodDays)) {
      ZV_IMPLIST_TRACE("ListDataIniTransport: record older than FileHoldPeriod dropped, still owed to " +
                       JoinUsers(p.owed));
      p.drop = true;
      continue;
    }
    bool unreachable = false;
    const std::string link = OwnLinkFolder(c, answering, p.record, unreachable);
    std::vector<std::string> keep;
    for (const auto& u : p.owed) {
      if (!companion::IsValidUserName(u)) {
        ZV_IMPLIST_TRACE("ListDataIniTransport: invalid user name skipped - " + u);
        continue;
      }
      if (unreachable) {
        keep.push_back(u);
        continue;
      }
      if (link.empty()) {
        // Not in a link folder of this installation (a work-desk record, or
        // one filed elsewhere): this user takes it straight into the local
        // list; nothing is written outside the link folders.
        if (!c.user.empty() && platform::EqualsNoCase(u, c.user)) {
          local.push_back(&p.record);
          localItems.push_back(i);
          keep.push_back(u);
        } else {
          ZV_IMPLIST_TRACE("ListDataIniTransport: no link folder of this computer for " + u + ", dropped - " +
                           p.record.Get("LinkFolderPath"));
        }
        continue;
      }
      auto& box = inboxes[{link, platform::ToLowerAscii(u)}];
      box.link = link;
      if (box.user.empty()) box.user = u;
      box.items.push_back(i);
      keep.push_back(u);
    }
    p.owed = std::move(keep);
    if (unreachable)
      ZV_IMPLIST_TRACE("ListDataIniTransport: link folder does not answer - " + p.record.Get("LinkFolderPath"));
  }

  auto delivered = [&](std::size_t i, const std::string& user) {
    auto& owed = pending[i].owed;
    owed.erase(
        std::remove_if(owed.begin(), owed.end(), [&](const std::string& u) { return platform::EqualsNoCase(u, user); }),
        owed.end());
  };

  if (!local.empty()) {
    const int n = AppendMissing(platform::JoinPath(c.rslt(), "ImpListData.ini"), local, 1, 0);
    if (n >= 0) {
      result.taken += n;
      for (std::size_t i : localItems) delivered(i, c.user);
    }
  }

  for (auto& [key, box] : inboxes) {
    if (stop.load()) break;
    const std::string rslt = platform::JoinPath(box.link, "Rslt");
    if (!platform::IsFolder(rslt) && !platform::MakeFolders(rslt)) {
      ZV_IMPLIST_TRACE("ListDataIniTransport: Create [linkfolder path\\RSLT\\] path failed, goto next user");
      continue;
    }
    // An inbox already there under another spelling of the name is used.
    std::string spelling = box.user;
    if (auto v = InboxVariants(rslt, box.user); !v.empty()) spelling = v.front();
    const std::string lockName = "~ImpListData_" + spelling + ".Locked";
    platform::HeldLock lock = TakeLock(rslt, lockName, c.lockTimeoutSeconds, stop);
    if (!lock) {
      ZV_IMPLIST_TRACE("ListDataIniTransport: create ~ImpListData_" + spelling + ".Locked failed,goto next user");
      continue;
    }
    std::vector<const Record*> batch;
    for (std::size_t i : box.items) batch.push_back(&pending[i].record);
    const int n = AppendMissing(platform::JoinPath(rslt, "ImpListData_" + spelling + ".ini"), batch, 1, 0);
    if (n < 0) {
      ZV_IMPLIST_TRACE("ListDataIniTransport: save ImpListData_" + spelling + ".ini failed,goto next user");
    } else {
      result.delivered += n;
      for (std::size_t i : box.items) delivered(i, box.user);
      Step("delivered");
    }
    if (!platform::ReleaseLockFile(lock, rslt, lockName))
      ZV_IMPLIST_TRACE("ListDataIniTransport: delete ~ImpListData_" + spelling + ".Locked failed.");
  }

  // Records every addressee has leave the list; the others keep a note of
  // the users still owed and are offered again by the next pass.
  std::set<std::string> failed;
  ini::WriteGroup group(listData);
  if (!group.ok()) return 0;
  for (const auto& p : pending) {
    if (p.drop || p.owed.empty()) {
      ini::DeleteSection(listData, p.section);
    } else {
      ini::WriteString(listData, p.section, kOwedKey, JoinUsers(p.owed));
      for (const auto& u : p.owed) failed.insert(u);
    }
  }
  if (!group.Commit()) return 0;
  if (ini::SectionNames(listData).empty()) platform::RemoveFile(listData);
  for (const auto& u : failed) {
    result.failedUsers.push_back(u);
    ZV_IMPLIST_TRACE("ListDataIniTransport: delivery to " + u + " is retried by the next pass");
  }
  return 1;
}

// --- draining ------------------------------------------------------------

int Drain(const SurveyConfig& c, const std::vector<std::string>& answering, const std::atomic<bool>& stop,
          PassResult& result) {
  if (c.user.empty()) {
    ZV_IMPLIST_TRACE("ServFileToImpListDataEx: no valid user name, inboxes are not drained.");
    return 1;
  }
  const std::string local = platform::JoinPath(c.rslt(), "ImpListData.ini");
  for (const auto& link : answering) {
    if (stop.load()) break;
    const std::string rslt = platform::JoinPath(link, "Rslt");
    if (!platform::IsFolder(rslt)) {
      ZV_IMPLIST_TRACE("ServFileToImpListDataEx:  folder err.");
      continue;
    }
    for (const auto& v : InboxVariants(rslt, c.user)) {
      const std::string lockName = "~ImpListData_" + v + ".Locked";
      platform::HeldLock lock = TakeLock(rslt, lockName, 10, stop);
      if (!lock) {
        ZV_IMPLIST_TRACE("ServFileToImpListDataEx:  ~ImpListData*.locked failed was creatfailed.");
        continue;
      }
      const std::string inbox = platform::JoinPath(rslt, "ImpListData_" + v + ".ini");
      if (platform::IsFile(inbox)) {
        std::vector<Record> records;
        for (auto& [name, r] : ReadAll(inbox)) records.push_back(std::move(r));
        std::vector<const Record*> batch;
        for (const auto& r : records) batch.push_back(&r);
        const int n = records.empty() ? 0 : AppendMissing(local, batch, 2, c.fileHoldPeriodDays);
        if (records.empty()) ZV_IMPLIST_TRACE("ServFileToImpListDataEx:  Can not get the section.");
        if (n < 0) {
          ZV_IMPLIST_TRACE("ServFileToImpListDataEx:  Add content to local ImpListData_user.ini failed.");
        } else {
          result.taken += n;
          Step("drained");
          platform::RemoveFile(inbox);
        }
      }
      platform::ReleaseLockFile(lock, rslt, lockName);
    }
  }
  return 1;
}

// Rewrites a list file without the records `gone` says to drop; the number
// removed, -1 on failure.
int DropRecords(const std::string& file, const std::function<bool(const Record&)>& gone) {
  if (!platform::IsFile(file)) return 0;
  ini::WriteGroup group(file);
  if (!group.ok()) return -1;
  int removed = 0;
  for (const auto& name : ini::SectionNames(file)) {
    Record r;
    if (!ReadRecord(file, name, r) || gone(r)) {
      ini::DeleteSection(file, name);
      ++removed;
    }
  }
  return group.Commit() ? removed : -1;
}

}  // namespace

// --- Record ----------------------------------------------------------------

std::string Record::Get(std::string_view key) const {
  for (const auto& [k, v] : keys)
    if (platform::EqualsNoCase(k, key)) return v;
  return {};
}

void Record::Set(std::string_view key, std::string value) {
  for (auto& [k, v] : keys)
    if (platform::EqualsNoCase(k, key)) {
      v = std::move(value);
      return;
    }
  keys.emplace_back(std::string(key), std::move(value));
}

void Record::Erase(std::string_view key) {
  std::erase_if(keys, [&](const auto& kv) { return platform::EqualsNoCase(kv.first, key); });
}

std::vector<std::string> Record::Addressees() const {
  std::string joined;
  for (int i = 1;; ++i) {
    const std::string v = Get("ImpUser" + std::to_string(i));
    if (v.empty()) break;
    joined += v;
    if (joined.back() != ',') joined += ',';
  }
  return SplitUsers(joined);
}

std::int64_t Record::TimeSeconds() const {
  const std::string t = Get("Time");
  if (t.size() < 14 || !IsDigits(std::string_view(t).substr(0, 14))) return -1;
  auto num = [&](std::size_t at, std::size_t len) { return std::stoi(t.substr(at, len)); };
  std::tm tm{};
  tm.tm_year = num(0, 4) - 1900;
  tm.tm_mon = num(4, 2) - 1;
  tm.tm_mday = num(6, 2);
  tm.tm_hour = num(8, 2);
  tm.tm_min = num(10, 2);
  tm.tm_sec = num(12, 2);
  tm.tm_isdst = -1;
  if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59 ||
      tm.tm_sec > 60)
    return -1;
  const std::time_t s = std::mktime(&tm);
  return s == static_cast<std::time_t>(-1) ? -1 : static_cast<std::int64_t>(s);
}

bool Record::SameImport(const Record& o) const {
  for (const char* k : {"Time", "HostName", "ParentPCName", "File", "Name", "SetNumber", "BinderPath", "UserName"})
    if (Get(k) != o.Get(k)) return false;
  return true;
}

bool ReadRecord(const std::string& file, std::string_view section, Record& out) {
  out.keys = ini::SectionEntries(file, section);
  for (const char* k : {"Time", "Name", "Result", "Binder", "ActualBinder", "index", "LinkFolderPath", "LinkFolderName",
                        "SetNumber", "Keyword", "Page", "Msg", "BinderPath", "A3B4"})
    if (!out.Get(k).empty()) return true;
  return false;
}

std::string AppendRecord(const std::string& file, const Record& record, int mode) {
  const std::int64_t secs = std::max<std::int64_t>(record.TimeSeconds(), 0);
  const std::string base = std::to_string(secs) + "_" + std::to_string(mode);
  std::string name = base;
  for (int n = 2; ini::SectionExists(file, name); ++n) name = base + "_" + std::to_string(n);
  for (const auto& [k, v] : record.keys)
    if (!ini::WriteString(file, name, k, v)) return {};
  return name;
}

int CleanupListDataIni(const std::string& path, int keep, int dispListMax) {
  if (path.empty() || dispListMax < 1 || dispListMax > 1500 || keep < 1 || keep > dispListMax ||
      !platform::IsFile(path))
    return 0;
  std::vector<std::string> names = ini::SectionNames(path);
  if (names.empty()) {
    ZV_IMPLIST_TRACE("CleanupListDataIni: No section in file. File - " + path);
    return 1;
  }
  std::vector<std::pair<std::string, Record>> records;
  for (const auto& n : names) {
    Record r;
    if (ReadRecord(path, n, r)) records.emplace_back(n, std::move(r));
  }
  if (records.size() <= static_cast<std::size_t>(keep) && records.size() == names.size()) return 1;
  std::stable_sort(records.begin(), records.end(),
                   [](const auto& a, const auto& b) { return platform::CompareNoCase(a.first, b.first) > 0; });
  if (records.size() > static_cast<std::size_t>(keep)) records.resize(keep);

  const std::string temp = platform::JoinPath(platform::ParentFolder(path), "~ImpListData_ini.temp");
  if (platform::IsFolder(temp)) {
    ZV_IMPLIST_TRACE("CleanupListDataIni: Attribute is not file. - " + temp);
    return 0;
  }
  if (!platform::RemoveFile(temp)) {
    ZV_IMPLIST_TRACE("CleanupListDataIni: Failed to delete file. " + temp);
    return 0;
  }
  {
    ini::WriteGroup group(temp);
    for (const auto& [name, r] : records)
      for (const auto& [k, v] : r.keys) ini::WriteString(temp, name, k, v);
    if (!group.Commit()) {
      platform::RemoveFile(temp);
      return 0;
    }
  }
  Step("trimmed");
  if (!platform::RenamePath(temp, path, true)) {
    ZV_IMPLIST_TRACE("CleanupListDataIni: Failed to move file. \n\tFrom " + temp + "\n\tTo " + path);
    platform::RemoveFile(temp);
    return 0;
  }
  return 1;
}

// --- configuration -----------------------------------------------------------

std::string SurveyConfig::rslt() const { return platform::JoinPath(programFolder, "Rslt"); }

SurveyConfig SurveyConfig::Load() {
  SurveyConfig c;
  c.programFolder = platform::ProgramFolder();
  c.user = companion::ThisUserName();
  const companion::ViewerFolders folders = companion::ReadViewerFolders();
  for (const auto& l : folders.link)
    if (!l.empty()) c.linkFolders.push_back(CleanFolder(l));
  const std::string q = platform::JoinPath(c.programFolder, "Quibbin.ini");
  c.lockTimeoutSeconds = ini::GetInt(q, "ImpListSettings", "LockInterVal", 60);
  c.fileHoldPeriodDays = ini::GetInt(q, "ImpListSettings", "FileHoldPeriod", 60);
  c.dispListMax = ini::GetInt(q, "ImpListSettings", "DispListMax", 50);
  c.periodCheck = ini::GetInt(q, "ImpListSettings", "PeriodCheck", 1);
  c.listDataPeriodDays = ini::GetInt(q, "ImpListSettings", "ListDataPeriod", 30);
  c.performFlag = ini::GetInt(q, "ImpListSettings", "PerformFlag", 0);
  return c;
}

// --- the pass ------------------------------------------------------------------

PassResult RunPass(const SurveyConfig& c, const std::atomic<bool>& stop) {
  PassResult result;
  const std::string rslt = c.rslt();
  if (!platform::IsFolder(rslt) && !platform::MakeFolders(rslt)) {
    ZV_IMPLIST_TRACE("CreateImpLockFile2: Folder creation was failed - " + rslt);
    return result;
  }
  // Taken whether or not the file is there: the monitor's released lock
  // leaves none, and a result it is writing must not be gathered half done.
  ZV_IMPLIST_TRACE(std::string("Thread_FileSurvey: CreateImpLockFile(") + kListLock + ")");
  platform::HeldLock listLock = TakeLock(rslt, kListLock, 1, stop);
  if (!listLock) return result;
  result.ran = true;

  ZV_IMPLIST_TRACE("Thread_FileSurvey: ReadAllDeliveryDataFiles2");
  result.gathered = Gather(c);
  // One look at the link folders per pass: a dead share costs the probe's
  // time limit once, and the window learns which folders are silent.
  const std::vector<std::string> answering = AnsweringLinkFolders(c, &result.unreachable);
  ZV_IMPLIST_TRACE("Thread_FileSurvey: ListDataIniTransport");
  if (!Transport(c, answering, stop, result))
    ZV_IMPLIST_TRACE("Thread_FileSurvey: ListDataIniTransport was Failed.\n " + rslt + " to link folders");
  ZV_IMPLIST_TRACE("Thread_FileSurvey:ServFileToImpListDataEx");
  Drain(c, answering, stop, result);
  const std::string local = platform::JoinPath(rslt, "ImpListData.ini");
  if (c.dispListMax >= 1 && c.dispListMax <= 1500) CleanupListDataIni(local, c.dispListMax, c.dispListMax);
  if (result.taken > 0) {
    ZV_IMPLIST_TRACE("Thread_FileSurvey:Update ImpList Display");
    ini::WriteString(platform::JoinPath(c.programFolder, "Quibbin.ini"), "ImpListSettings", "LastGetImpData",
                     StampNow());
  }
  platform::ReleaseLockFile(listLock, rslt, kListLock);
  return result;
}

int DeleteNonRefListData(const SurveyConfig& c, const std::atomic<bool>& stop) {
  if (c.fileHoldPeriodDays <= 0) return 0;
  int removed = 0;
  for (const auto& link : AnsweringLinkFolders(c)) {
    if (stop.load()) break;
    const std::string rslt = platform::JoinPath(link, "Rslt");
    auto entries = platform::ListFolder(rslt);
    if (!entries) continue;
    for (const auto& e : *entries) {
      std::string_view n = e.name;
      if (e.isFolder || e.isSymlink || !n.starts_with("ImpListData_") || !n.ends_with(".ini")) continue;
      const std::string user(n.substr(12, n.size() - 16));
      if (!companion::IsValidUserName(user)) continue;
      const bool own = !c.user.empty() && platform::EqualsNoCase(user, c.user);
      const int days = own ? c.fileHoldPeriodDays : std::max(c.fileHoldPeriodDays, kOtherUsersMinHoldDays);
      const std::string lockName = "~ImpListData_" + user + ".Locked";
      platform::HeldLock lock = TakeLock(rslt, lockName, 10, stop);
      if (!lock) {
        ZV_IMPLIST_TRACE("ListDataIniTransport:  ~ImpListData.locked failed was creatfailed.");
        continue;
      }
      const int n2 = DropRecords(platform::JoinPath(rslt, e.name), [&](const Record& r) { return Expired(r, days); });
      if (n2 > 0) removed += n2;
      platform::ReleaseLockFile(lock, rslt, lockName);
    }
  }
  return removed;
}

int CleanImpListData(const SurveyConfig& c) {
  if (c.periodCheck != 1) return 0;
  const std::string rslt = c.rslt();
  if (!platform::IsFolder(rslt) && !platform::MakeFolders(rslt)) {
    ZV_IMPLIST_TRACE("CleanImpListData: Folder creation was failed - " + rslt);
    return -1;
  }
  const int days = c.listDataPeriodDays;
  return DropRecords(platform::JoinPath(rslt, "ImpListData.ini"),
                     [&](const Record& r) { return days > 0 && Expired(r, days); });
}

bool RecordShown(const Record& record, std::string_view displayImp) {
  const std::string mode(platform::Trim(record.Get("ImpMode")));
  if (!mode.empty() && mode != "0") return true;
  const std::string set(platform::Trim(record.Get("SetNumber")));
  if (set.empty()) return false;
  for (const auto& n : SplitUsers(displayImp))
    if (n == set) return true;
  return false;
}

void RunFileSurvey(const std::atomic<bool>& stop, const SurveyHooks& hooks) {
  std::int64_t lastPass = -1;
  std::string lastDay;
  while (!stop.load()) {
    const SurveyConfig c = SurveyConfig::Load();
    const std::string q = platform::JoinPath(c.programFolder, "Quibbin.ini");
    const int interval = ini::GetInt(q, "ImpListSettings", "Interval", 10);
    const bool now = hooks.runNow != nullptr && hooks.runNow->load();
    if (!now && lastPass >= 0 && platform::SteadyMs() - lastPass < std::int64_t{interval} * 1000) {
      platform::SleepMs(500);
      continue;
    }
    if (hooks.mayRun && !hooks.mayRun()) {
      platform::SleepMs(1000);
      continue;
    }
    if (hooks.runNow != nullptr) hooks.runNow->store(false);
    const std::int64_t started = platform::SteadyMs();
    const PassResult r = RunPass(c, stop);
    if (hooks.onPass) hooks.onPass(r);
    if (!r.ran) {
      platform::SleepMs(1000);
      continue;
    }
    lastPass = platform::SteadyMs();
    if (r.taken > 0 && hooks.onNews) {
      ZV_IMPLIST_TRACE("Thread_FileSurvey:Post Message to ImpList");
      hooks.onNews(r);
    }
    if (r.taken > 0 && c.performFlag == 1) ZV_IMPLIST_TRACE(PerformanceLine(r, platform::SteadyMs() - started));
    const std::string day = StampNow().substr(0, 8);
    if (day != lastDay) {
      lastDay = day;
      ZV_IMPLIST_TRACE("Thread_FileSurvey:DeleteNonRefListData");
      DeleteNonRefListData(c, stop);
    }
    platform::SleepMs(500);
  }
}

void SetStepHookForTesting(std::function<void(std::string_view step)> hook) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  g_stepHook = std::move(hook);
}

}  // namespace zv::implist
