// The start-up steps of the monitor that need no window: the installation
// checks, the command line, the copy of files handed over on the command
// line, and the work-desk refresh (also run when the monitor closes).
#pragma once

#include <string>
#include <vector>

#include "monitor/settings/catalogue.h"
#include "monitor/settings/env_files.h"

namespace zv::monitor {

// The registered suite program and viewer, and whether the viewer can be
// used. 0 when all is well, else the id of the message to show:
// kIdsSuiteNotInstalled, kIdsViewerNotInstalled (no viewer, or the viewer
// check answered -1 or -9), kIdsViewerVersionUnusable.
int CheckSuiteInstallation();

// The command line after the program name.
struct CommandLine {
  bool waitFirst = false;          // "-s" or "-ps": wait 3 s before starting
  bool settingsRequest = false;    // "-p" or "-ps" as the only argument
  std::vector<std::string> files;  // handed to CopyDroppedFile, in order
};
CommandLine ParseCommandLine(const std::vector<std::string>& args);

enum class DropResult {
  Copied,          // the file is in the drop setting's target folder
  NoTargetFolder,  // the setting has no target folder (kIdsDropNoMonitoredFolder)
  SourceMissing,   // nothing to copy; nothing reported
  TargetMissing,   // the target folder does not exist (kIdsDropMonitoredFolderMissing)
  Failed,          // the copy failed (kIdsDropFailed)
};

// Copies a file handed over on the command line into the target folder of
// the drop setting ([AutoFileRead] DropFolder). A document of the same name
// still waiting there is never replaced: the copy then takes the first free
// "_002" .. "_999" name. Failures are shown with the product name as caption
// and a stop icon. `copiedTo` receives the copy's path.
DropResult CopyDroppedFile(const EnvFiles& env, const MonitorOptions& options, const std::string& path,
                           std::string* copiedTo = nullptr);

// Points every work-desk setting (bWorkDesk<N> = 1, N up to SetTotal) at the
// work desk's folder: TarBinder<N> in the user settings file. An empty
// work-desk folder leaves the settings alone. Returns the settings written.
int RefreshWorkDeskTargets(const EnvFiles& env, const MonitorOptions& options);
int WriteWorkDeskTargets(const EnvFiles& env, const MonitorOptions& options, const std::string& workDeskFolder,
                         const std::string& userSettingsFile);

}  // namespace zv::monitor
