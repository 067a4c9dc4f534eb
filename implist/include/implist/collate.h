// Collation of import results into the per-user import lists.
//
// One pass of the viewer's worker thread: the result files the monitor and
// the send-file tool leave in <program>/Rslt are gathered into ListData.ini,
// every record is delivered into the inbox ImpListData_<user>.ini of each
// addressee in its link folder's Rslt folder, this user's inboxes are drained
// into the local ImpListData.ini, and the lists are trimmed and aged.
//
// Crash safety: a result file is deleted only after ListData.ini holding its
// record is saved; a record leaves ListData.ini only after every addressee's
// inbox holding it is saved; an inbox is deleted only after the local list
// holding its records is saved. A record found already present (equal in
// Time, HostName, ParentPCName, File, Name, SetNumber, BinderPath and
// UserName) is never appended again, so a pass that was killed anywhere is
// completed by the next one without losses or doubles.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zv::implist {

// One list data record: the keys of a result file's [Rslt] section in order.
struct Record {
  std::vector<std::pair<std::string, std::string>> keys;
  // The value of a key (ASCII case ignored); "" when missing.
  std::string Get(std::string_view key) const;
  void Set(std::string_view key, std::string value);
  void Erase(std::string_view key);
  // ImpUser1, ImpUser2, ... joined up to the first missing or empty key and
  // split at the commas (empty names dropped).
  std::vector<std::string> Addressees() const;
  // Seconds since 1970 (local time) of the first 14 digits of Time; -1 when
  // Time does not start with 14 digits forming a date.
  std::int64_t TimeSeconds() const;
  // Equal in all eight identifying fields.
  bool SameImport(const Record& other) const;
};

// Reads a section as a record; false when it holds none (every field the
// list shows empty).
bool ReadRecord(const std::string& file, std::string_view section, Record& out);

// Appends a record as a new section "<seconds>_<mode>"; when that name is
// taken the next free "<seconds>_<mode>_<n>" (n from 2). The name used, or ""
// on failure. Inside a write group of `file` nothing is committed.
std::string AppendRecord(const std::string& file, const Record& record, int mode);

// Keeps the newest `keep` records of a list file (section names compared
// without case, descending), whole sections, replaced by one rename through
// "~ImpListData_ini.temp" beside it. 0 when nothing was done (bad arguments,
// no file), 1 otherwise.
int CleanupListDataIni(const std::string& path, int keep, int dispListMax);

// Everything a pass needs, read once per pass from the installation.
struct SurveyConfig {
  std::string programFolder;             // P
  std::string user;                      // this user; empty turns draining off
  std::vector<std::string> linkFolders;  // this installation's link folders (up to 3)
  int lockTimeoutSeconds = 60;           // LockInterVal
  int fileHoldPeriodDays = 60;           // FileHoldPeriod; <= 0 keeps
  int dispListMax = 50;
  int periodCheck = 1;
  int listDataPeriodDays = 30;
  int performFlag = 0;  // 1: a timing line in the trace log for every pass that brought news
  // Reads P/EnvSetInfo.ini, P/Quibbin.ini [ImpListSettings], the user
  // settings and the viewer's folder list.
  static SurveyConfig Load();
  std::string rslt() const;  // P/Rslt
};

struct PassResult {
  bool ran = false;                      // false: ~ImpList.Locked is held (the monitor writes) or stopped
  int gathered = 0;                      // result files taken into ListData.ini
  int delivered = 0;                     // record copies written into inboxes
  int taken = 0;                         // records new in the local list
  std::vector<std::string> failedUsers;  // still owed a record after this pass
  std::vector<std::string> unreachable;  // link folders that did not answer in this pass
};

// The timing line of a pass that brought news (written with PerformFlag 1):
// "取り込み結果表示更新,<result files gathered>,<records taken into the local
// list>,<milliseconds from the start of the pass to the news, rounded down
// to tens>".
std::string PerformanceLine(const PassResult& r, std::int64_t elapsedMs);

// One pass. Waits are bounded and end early once `stop` is set.
PassResult RunPass(const SurveyConfig& config, const std::atomic<bool>& stop);

// The daily pass over every inbox of the link folders: records at least
// FileHoldPeriod days old are removed (for other users' inboxes never fewer
// than 60 days). Returns the number of records removed.
int DeleteNonRefListData(const SurveyConfig& config, const std::atomic<bool>& stop);

// Removes local list records at least ListDataPeriod days old (only when
// PeriodCheck is 1). Returns the number removed, -1 on failure.
int CleanImpListData(const SurveyConfig& config);

// Whether the list shows a record: records sent by a user (ImpMode not 0)
// always; monitor imports when their SetNumber is among `displayImp`
// (comma-separated numbers of the DisplayImp keys of the record's link
// folder entry).
bool RecordShown(const Record& record, std::string_view displayImp);

// The worker thread's loop: waits Interval seconds between passes (500 ms
// sleeps, ending once `stop` is set), asks `mayRun` before each pass (false
// while the settings dialog is open or rows are being removed), runs a pass,
// writes LastGetImpData and calls `onNews` when records arrived, and runs
// DeleteNonRefListData once per calendar day. `runNow` (may be null) cuts
// the wait short when set; it is cleared when a pass starts. `onPass` (may
// be empty) is called after every pass that was tried, before `onNews`.
struct SurveyHooks {
  std::function<bool()> mayRun;
  std::function<void(const PassResult&)> onNews;
  std::atomic<bool>* runNow = nullptr;
  std::function<void(const PassResult&)> onPass;
};
void RunFileSurvey(const std::atomic<bool>& stop, const SurveyHooks& hooks);

// Test seam: called with a step name at the points where a pass commits
// ("gathered", "delivered", "drained", "trimmed").
void SetStepHookForTesting(std::function<void(std::string_view step)> hook);

}  // namespace zv::implist
