// The monitor's watch engine: the state the watch thread shares with the
// program (the "frame"), the watch parameters, and starting and stopping the
// watch thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "companion/services.h"
#include "monitor/log/log_context.h"
#include "monitor/log/monitor_log.h"
#include "monitor/log/skip_log.h"
#include "monitor/settings/catalogue.h"
#include "monitor/settings/env_files.h"
#include "monitor/settings/fax_settings.h"
#include "monitor/settings/sort_links.h"
#include "monitor/watch/shell.h"
#include "platform/filelock.h"

namespace zv::monitor {

// The insertion the folder check calls: InsertFileToBinder's 22 arguments.
using InsertFunction = int (*)(void* owner, char* binder, const char* source, int dataChange, int index, int insertPos,
                               int a3b4, char* printCopy, int printFlag, int* pageCount, const char* keyword,
                               int service, char* message, int* reserved, int vlCode, char* title, int* errorCode,
                               int contentsAdd, int securePdfMode, int* securedFlag, const char* extraKeyword,
                               int searchVariant);

// Free bytes available on the volume of a path; nullopt when the query fails.
using FreeSpaceFunction = std::function<std::optional<std::uint64_t>(const std::string&)>;

// The monitor options as the window thread sees them. The watch thread
// re-reads the options when the settings change; it then publishes a new
// copy here, and a reader keeps the copy it took for as long as it needs it.
class PublishedOptions {
 public:
  std::shared_ptr<const MonitorOptions> Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
  }
  void Publish(const MonitorOptions& options) {
    auto copy = std::make_shared<const MonitorOptions>(options);
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = std::move(copy);
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const MonitorOptions> current_ = std::make_shared<const MonitorOptions>();
};

// Everything the watch thread shares with the program that runs it: the
// installation's files, the options read at start-up, the setting array, the
// status cell and the process-wide flags.
struct WatchFrame {
  EnvFiles env;
  LogContext log;
  // The watch thread's own options: once the thread runs, only it may read
  // them (it reassigns them on a re-read). Other threads read `published`.
  MonitorOptions options;
  PublishedOptions published;
  SettingContext settingContext;
  std::vector<AutoFileSetting> settings;  // capacity SetTotalMax
  WatchShell* shell = nullptr;

  std::atomic<int> status{0};          // the monitor status cell
  std::atomic<bool> watching{false};   // cleared to stop the watch thread
  std::atomic<bool> trayShown{false};  // the tray icon is shown

  std::string productName;
  std::string workDeskFolder;
  bool impResultListOn = false;  // [Option] ImpResultLogEnabled == 1, read at start
  MonitorLog monitorLog;         // Hopvale.log when [Option] MonitorLog asks for it

  // Seams: the insertion, the free-space query, the print of an imported
  // document's print copy (all default to the real ones), and the computer
  // name.
  InsertFunction insert = nullptr;
  FreeSpaceFunction freeSpace;
  std::function<bool(const std::string& printCopy, int mode)> print;
  std::string computerName;

  // ---- watch-thread state (owned by Thread_FileCheck / CheckFolder) ----
  std::string settingsFile;   // env.settings
  std::string viewerEnvFile;  // the viewer's environment file
  int waitLocal = 1000, waitNetwork = 5000;
  SkipLog skipLog;
  ExceptLists except;
  std::vector<std::int64_t> lastCheck;             // per setting; 0: due now
  FaxSettings fax;                                 // [FaxMonitor] as last read
  std::unordered_map<std::string, int> faxOwners;  // document name -> owning setting, for `fax`
  bool faxRead = false;
  std::int64_t faxLastCheck = 0;  // 0: due now
  std::string stagingFolder;      // <program folder>/AutoImpInfo/$ImpTmp
  bool stagingInUse = false;
  std::int64_t lastImportStamp = 0;  // import time stamps are kept distinct
  std::unique_ptr<platform::ExclusiveOpenProbe> probe = std::make_unique<platform::ExclusiveOpenProbe>();
  std::string lastError;  // the last import's error text

  // The sort-folder links, read once per raised SortModified.
  struct SortWatch {
    SortSettings settings;
    bool read = false;           // read at least once
    std::int64_t lastCheck = 0;  // 0: due now
    bool onNetwork = false;      // the sort folder or the link folder lies on a network drive
  } sort;

  // Counters for the tests and the benches.
  std::atomic<int> cycles{0};
  std::atomic<int> imports{0};
};

// Fills a frame for the program folder: options, setting context, the
// setting array (read), default seams. The shell is set by the caller.
void InitWatchFrame(WatchFrame& frame, const std::string& programFolder, WatchShell* shell);

// The watch parameters handed to the thread.
struct WatchParams {
  WatchFrame* frame = nullptr;
  std::atomic<int>* status = nullptr;
  std::vector<AutoFileSetting>* settings = nullptr;
  int count = 0;
};

// The watch thread procedure: runs cycles while frame->watching is set.
void Thread_FileCheck(WatchParams params);

// One cycle of the watch loop (for tests: after ThreadStart).
void WatchThreadStart(WatchFrame& frame);
void WatchCycle(WatchFrame& frame);

// StartWatch / StopWatch: the watch thread of a frame.
class WatchThread {
 public:
  ~WatchThread() { Stop(); }
  // Traces "======== Start AutoImp Monitor   ========", sets the watching
  // flag and starts Thread_FileCheck.
  void Start(WatchFrame& frame);
  // Clears the watching flag, waits for the thread to finish its current
  // step, traces "======== Stopped AutoImp Monitor ========".
  void Stop();
  bool running() const { return thread_.joinable(); }

 private:
  WatchFrame* frame_ = nullptr;
  std::thread thread_;
};

// Program-level trace tag of the engine.
inline constexpr const char* kWatchTraceTag = "_Hopvale";

}  // namespace zv::monitor
