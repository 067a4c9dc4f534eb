// Hopvale: the folder monitor. Without a desktop it runs the watch engine
// with the headless shell until SIGTERM or SIGINT, then closes as the tray
// program does: the watch thread finishes its current step, MonitorStatus
// goes back to 0 and the import activity log gets its end line.
#include <csignal>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "companion/common.h"
#include "companion/services.h"
#include "companion/strings.h"
#include "companion/trace.h"
#include "dravel/dravel.h"
#include "monitor/log/imp_log.h"
#include "monitor/settings/catalogue.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/watch/checks.h"
#include "monitor/watch/engine.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/single_instance.h"
#include "platform/text.h"

namespace {

using namespace zv;
using namespace zv::monitor;

std::string Res(int id) { return companion::LoadString(companion::StringTable::Monitor, id); }

// Copies a file handed over on the command line into the drop setting's
// target folder.
void CopyDroppedFile(const EnvFiles& env, const std::string& path) {
  const std::string& ini = env.settings;
  const int total = ProfileRead("AutoFileRead", "SetTotal", 5, ini);
  int index = ProfileRead("AutoFileRead", "DropFolder", 0, ini);
  if (index < 0 || index >= total) index = 0;
  const std::string folder = ProfileRead("AutoFileRead", "TarFolder" + std::to_string(index + 1), "", ini);
  const int style = companion::kMbOk | companion::kMbIconStop;
  const std::string product = ProfileRead("Product", "ProductName", Res(20010), ini);
  if (folder.empty()) {
    companion::ComShowMessageBox(Res(20020), product, style);
    return;
  }
  if (!platform::Exists(path)) return;
  if (!platform::IsFolder(folder)) {
    companion::ComShowMessageBox(Res(20019), product, style);
    return;
  }
  if (!platform::CopyFile(path, platform::JoinPath(folder, platform::LastComponent(path)), true))
    companion::ComShowMessageBox(Res(20021), product, style);
}

}  // namespace

int main(int argc, char** argv) {
  // SIGTERM and SIGINT are taken by sigwait below; every thread inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  const EnvFiles env = EnvFiles::Default();
  companion::SetApplicationCaption(ProfileRead("Product", "ProductName", Res(20010), env.settings));

  // Host name refresh, settings checks, trace settings.
  {
    const companion::ViewerFolders folders = companion::ReadViewerFolders();
    RefreshHostName(env, platform::ComputerName(), folders);
  }
  MonitorOptions options = ReadMonitorOptions(env.settings, platform::UserName());
  if (const int id = ValidateSettingCounts(options); id != 0) {
    companion::ComShowMessage(Res(id), companion::kMbOk);
    return 1;
  }
  if (options.checkCommonUser == 1 && companion::ComUserRights() == 2) {
    companion::ComShowMessageBox(Res(20101), Res(20102), companion::kMbOk | companion::kMbIconStop);
    return 1;
  }
  {
    char folder[DRAVEL_PATH_MAX] = {0};
    int days = 7;
    companion::TraceSettings trace;
    trace.enabled = ReadTraceLogInfo(folder, &days);
    trace.path = folder;
    trace.termDays = days;
    companion::SetProcessTraceSettings(trace);
    if (trace.enabled) companion::TraceLogPurge(trace.path, "*.*", trace.termDays, trace.enabled, "");
  }

  // Command line.
  std::vector<std::string> args(argv + 1, argv + argc);
  bool waitFirst = false;
  if (!args.empty()) {
    const std::string first = platform::ToLowerAscii(args[0]);
    if (first == "-s" || first == "-ps") {
      waitFirst = true;
    } else if (first == "-p") {
      for (std::size_t i = 1; i < args.size(); ++i) CopyDroppedFile(env, args[i]);
    } else {
      for (const auto& a : args) CopyDroppedFile(env, a);
    }
  }

  platform::SingleInstance instance("Hopvale");
  if (!instance.IsFirst()) return 0;

  SetWorkFlag(env, kImportFlag, false);
  SetWorkFlag(env, kPropertyFlag, false);
  {
    const int status = ProfileRead("Option", "MonitorStatus", 0, env.settings);
    EnvLockGuard guard(env.folder, {env.settings});
    if (status == 2 || status == 3 || status == 4) ProfileWrite("Option", "MonitorStatus", 0, env.settings);
    ProfileWrite("Option", "FaxModified", 1, env.settings);
    guard.Commit();
  }
  if (waitFirst)
    for (int i = 0; i < 10; ++i) platform::SleepMs(300);
  LogContext log = DefaultLogContext();
  StartImpLog(log);

  HeadlessShell shell;
  WatchFrame frame;
  InitWatchFrame(frame, env.folder, &shell);
  frame.log.started = log.started;
  frame.monitorLog.OpenFromSettings(env.folder);
  const std::string temp = platform::TempFolder();
  if (!temp.empty()) companion::ComRemoveTree(platform::JoinPath(temp, "Hopvale"));

  if (shell.RestoreIcon()) {
    frame.trayShown.store(true);
    shell.SetStatusIcon(frame.status.load());
  }
  WatchThread watch;
  watch.Start(frame);

  int signal = 0;
  sigwait(&stopSignals, &signal);
  ZV_WATCH_TRACE("Hopvale: signal " + std::to_string(signal) + ", closing");

  // Close actions.
  watch.Stop();
  frame.monitorLog.Close();
  WriteMonitorStatus(env, kStatusOnline);
  if (!temp.empty()) companion::ComRemoveTree(platform::JoinPath(temp, "Hopvale"));
  ZV_WATCH_TRACE("Hopvale Close.");
  EndImpLog(log);
  return 0;
}
