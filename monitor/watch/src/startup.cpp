#include "monitor/watch/startup.h"

#include <algorithm>

#include "companion/common.h"
#include "companion/services.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/text_ids.h"
#include "monitor/watch/checks.h"
#include "monitor/watch/folder_check.h"
#include "monitor/watch/workdesk.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

// The registered program of an App Paths entry, when that file exists.
std::string RegisteredProgram(const char* exe) {
  const auto path = platform::registry::AppPath(exe);
  if (!path) return {};
  const std::string p(platform::Trim(*path));
  return !p.empty() && platform::IsFile(p) ? p : std::string();
}

}  // namespace

int CheckSuiteInstallation() {
  if (RegisteredProgram("ZorvanPersonalBrennic.exe").empty()) return kIdsSuiteNotInstalled;
  const std::string viewer = RegisteredProgram("Zorvan.exe");
  if (viewer.empty()) return kIdsViewerNotInstalled;
  const int check = companion::CheckViewer(viewer);
  if (check == 0) return kIdsViewerVersionUnusable;
  if (check == -1 || check == -9) return kIdsViewerNotInstalled;
  return 0;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  if (args.empty()) return cl;
  const std::string first = platform::ToLowerAscii(args[0]);
  if (first == "-s") {
    cl.waitFirst = true;  // further arguments are ignored
  } else if (first == "-p" || first == "-ps") {
    cl.waitFirst = first == "-ps";
    cl.settingsRequest = args.size() == 1;
    cl.files.assign(args.begin() + 1, args.end());
  } else {
    cl.files = args;
  }
  return cl;
}

DropResult CopyDroppedFile(const EnvFiles& env, const MonitorOptions& options, const std::string& path,
                           std::string* copiedTo) {
  const std::string& ini = env.settings;
  const int total = ProfileRead("AutoFileRead", "SetTotal", -1, ini);
  int index = ProfileRead("AutoFileRead", "DropFolder", 0, ini);
  if (index < 0 || index >= total) index = 0;
  std::string folder = ProfileRead("AutoFileRead", "TarFolder" + std::to_string(index + 1), "", ini);
  companion::ComTrimBackslash(folder);
  const int style = companion::kMbOk | companion::kMbIconStop;
  const std::string caption = options.productName.empty() ? MonitorText(kIdsProductName) : options.productName;
  if (folder.empty()) {
    companion::ComShowMessageBox(MonitorText(kIdsDropNoMonitoredFolder), caption, style);
    return DropResult::NoTargetFolder;
  }
  if (!platform::Exists(path)) return DropResult::SourceMissing;
  if (!platform::IsFolder(folder)) {
    companion::ComShowMessageBox(MonitorText(kIdsDropMonitoredFolderMissing), caption, style);
    return DropResult::TargetMissing;
  }
  // A document of that name may still wait for its import: it keeps its
  // place and the copy takes the next free name. The copy itself never
  // replaces a file, so a name taken meanwhile only costs another round.
  const std::string name = platform::LastComponent(path);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::string destination = FreeDestinationName(folder, name);
    if (destination.empty()) break;
    if (platform::CopyFile(path, destination, false)) {
      ZV_WATCH_TRACE("CopyDroppedFile: " + path + " -> " + destination);
      if (copiedTo) *copiedTo = destination;
      return DropResult::Copied;
    }
    if (!platform::Exists(destination)) break;
  }
  ZV_WATCH_TRACE("CopyDroppedFile: the copy failed - " + path + " -> " + folder);
  companion::ComShowMessageBox(MonitorText(kIdsDropFailed), caption, style);
  return DropResult::Failed;
}

int WriteWorkDeskTargets(const EnvFiles& env, const MonitorOptions& options, const std::string& workDeskFolder,
                         const std::string& userSettingsFile) {
  if (workDeskFolder.empty() || userSettingsFile.empty()) return 0;
  const int total = ProfileRead("AutoFileRead", "SetTotal", -1, env.settings);
  const int count = std::min(total, std::max(options.setTotalMax, 0));
  int written = 0;
  for (int n = 1; n <= count; ++n) {
    if (ProfileRead("AutoFileRead", "bWorkDesk" + std::to_string(n), 0, env.settings) != 1) continue;
    if (ProfileWrite("AutoFileRead", "TarBinder" + std::to_string(n), workDeskFolder, userSettingsFile)) ++written;
  }
  return written;
}

int RefreshWorkDeskTargets(const EnvFiles& env, const MonitorOptions& options) {
  const std::string userFile = companion::UserSettingsPath();
  // A home folder on a dead share must not hold the start or the close.
  if (platform::ProbePath(userFile, platform::NetworkProbeLimitMs()) == platform::PathReach::Unreachable) {
    ZV_WATCH_TRACE("RefreshWorkDeskTargets: the user settings file does not answer - " + userFile);
    return 0;
  }
  return WriteWorkDeskTargets(env, options, GetWorkDeskFolder(), userFile);
}

}  // namespace zv::monitor
