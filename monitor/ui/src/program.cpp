#include "monitor/ui/program.h"

#include <pthread.h>
#include <QApplication>
#include <QCoreApplication>

#include <atomic>
#include <csignal>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "companion/common.h"
#include "companion/services.h"
#include "companion/trace.h"
#include "dravel/dravel.h"
#include "monitor/log/imp_log.h"
#include "monitor/settings/catalogue.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
#include "monitor/ui/instance_channel.h"
#include "monitor/ui/tray_app.h"
#include "monitor/watch/checks.h"
#include "monitor/watch/engine.h"
#include "monitor/watch/startup.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/single_instance.h"
#include "ui/common/message_box.h"
#include "ui/common/translations.h"

namespace zv::monitor::ui {

namespace {

void Trace(const std::string& text) { ZV_TRACE("_Hopvale", text); }

sigset_t StopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

// Waits for SIGTERM or SIGINT in a thread of its own and reports the first
// one. Both must be blocked in every thread of the process.
class StopSignalWaiter {
 public:
  explicit StopSignalWaiter(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
    thread_ = std::thread([this] {
      const sigset_t set = StopSignalSet();
      int signal = 0;
      while (sigwait(&set, &signal) != 0) {
      }
      if (!leaving_.load()) onSignal_(signal);
    });
  }
  ~StopSignalWaiter() {
    // Wake the waiter when the monitor closes for another reason.
    leaving_.store(true);
    pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
  }
  StopSignalWaiter(const StopSignalWaiter&) = delete;
  StopSignalWaiter& operator=(const StopSignalWaiter&) = delete;

 private:
  std::function<void(int)> onSignal_;
  std::atomic<bool> leaving_{false};
  std::thread thread_;
};

// A later copy's request, where no dialog can be shown.
void HeadlessRequest(const EnvFiles& env, const std::string& request) {
  if (request != kRequestSettings) {
    Trace("Hopvale: another instance was started; no desktop, nothing to bring forward");
    return;
  }
  const int state = GetMonitorState(env);
  if (state == 1 || state == 2) {
    Trace("Hopvale: settings request ignored while importing or a dialog is open");
    return;
  }
  Trace("Hopvale: settings request: no desktop, the settings dialog cannot be opened here");
}

// Desktop or not: service mode never needs one.
bool UseDesktop(const MonitorOptions& options) { return options.serviceMode != 1 && DisplayAvailable(); }

void ApplyTraceSettings() {
  char folder[DRAVEL_PATH_MAX] = {0};
  int days = 7;
  companion::TraceSettings trace;
  trace.enabled = ReadTraceLogInfo(folder, &days);
  trace.path = folder;
  trace.termDays = days;
  companion::SetProcessTraceSettings(trace);
  if (trace.enabled) companion::TraceLogPurge(trace.path, "*.*", trace.termDays, trace.enabled, "");
}

}  // namespace

int RunHeadlessMonitor(int argc, char** argv, const HeadlessStartup& startup) {
  std::unique_ptr<QCoreApplication> own;
  if (QCoreApplication::instance() == nullptr) own = std::make_unique<QCoreApplication>(argc, argv);
  QCoreApplication* app = QCoreApplication::instance();

  HeadlessShell shell;
  WatchFrame frame;
  InitWatchFrame(frame, startup.programFolder, &shell);
  frame.log.started = startup.log.started;
  frame.monitorLog.OpenFromSettings(frame.env.folder);
  const std::string temp = platform::TempFolder();
  if (!temp.empty()) companion::ComRemoveTree(platform::JoinPath(temp, "Hopvale"));

  const EnvFiles env = frame.env;
  zv::ui::InstanceServer server(kTraceTag, MonitorRequests(),
                                [env](const std::string& request) { HeadlessRequest(env, request); });
  server.Listen(startup.socketName);

  if (shell.RestoreIcon()) {
    frame.trayShown.store(true);
    shell.SetStatusIcon(frame.status.load());
  }
  WatchThread watch;
  watch.Start(frame);
  {
    // The waiter only notes the signal and posts the quit by name: a functor
    // posted from its thread would be freed by whichever thread lets go of
    // it last, through a count kept inside Qt.
    std::atomic<int> stopSignal{0};
    StopSignalWaiter stop([app, &stopSignal](int signal) {
      stopSignal.store(signal);
      QMetaObject::invokeMethod(app, "quit", Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    if (const int signal = stopSignal.load(); signal != 0)
      ZV_WATCH_TRACE("Hopvale: signal " + std::to_string(signal) + ", closing");
  }

  // Close actions.
  watch.Stop();
  RefreshWorkDeskTargets(frame.env, frame.options);
  frame.monitorLog.Close();
  WriteMonitorStatus(frame.env, kStatusOnline);
  if (!temp.empty()) companion::ComRemoveTree(platform::JoinPath(temp, "Hopvale"));
  ZV_WATCH_TRACE("Hopvale Close.");
  return 0;
}

int HopvaleMain(int argc, char** argv) {
  // SIGTERM and SIGINT are taken by a waiting thread (headless) or a handler
  // (tray program); every thread started from here on inherits the mask.
  const sigset_t stopSignals = StopSignalSet();
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  const EnvFiles env = EnvFiles::Default();
  MonitorOptions options = ReadMonitorOptions(env.settings, platform::UserName());
  companion::SetApplicationCaption(options.productName.empty() ? MonitorText(kIdsProductName) : options.productName);

  // On a desktop the start-up messages are boxes; without one they go to the
  // trace log and standard error.
  const bool desktop = UseDesktop(options);
  std::unique_ptr<QApplication> gui;
  if (desktop) {
    gui = std::make_unique<QApplication>(argc, argv);
    zv::ui::InstallQtTranslations(*gui);
    const QString platformName = QGuiApplication::platformName();
    if (platformName != QLatin1String("offscreen") && platformName != QLatin1String("minimal"))
      zv::ui::InstallQtMessageBoxHook(kTraceTag);
  }
  auto refuse = [&](int id) {
    companion::ComShowMessage(MonitorText(id), companion::kMbOk);
    companion::SetMessageBoxHook(nullptr);
    return 1;
  };

  // The suite, the viewer, the work desk.
  if (const int id = CheckSuiteInstallation(); id != 0) return refuse(id);
  RefreshWorkDeskTargets(env, options);

  // Host name refresh, settings checks, trace settings.
  RefreshHostName(env, platform::ComputerName(), companion::ReadViewerFolders());
  options = ReadMonitorOptions(env.settings, platform::UserName());
  if (const int id = ValidateSettingCounts(options); id != 0) return refuse(id);
  if (options.checkCommonUser == 1 && companion::ComUserRights() == 2) {
    companion::ComShowMessageBox(MonitorText(kIdsRestrictedUser), MonitorText(kIdsStartupErrorCaption),
                                 companion::kMbOk | companion::kMbIconStop);
    companion::SetMessageBoxHook(nullptr);
    return 1;
  }
  ApplyTraceSettings();

  // Command line: files are copied before the single-instance test, so a
  // later copy started with files copies them and exits.
  const CommandLine cl = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  for (const std::string& file : cl.files) CopyDroppedFile(env, options, file);

  platform::SingleInstance instance("Hopvale");
  if (!instance.IsFirst()) {
    companion::SetMessageBoxHook(nullptr);
    // The running copy opens its settings only when it is neither importing
    // nor showing a dialog.
    const int state = GetMonitorState(env);
    const bool askSettings = cl.settingsRequest && state != 1 && state != 2;
    return RunSecondInstance(argc, argv, instance.socketName(), askSettings);
  }

  SetWorkFlag(env, kImportFlag, false);
  SetWorkFlag(env, kPropertyFlag, false);
  {
    // A monitor that died while busy comes back online; one stopped by the
    // user stays stopped.
    const int status = ProfileRead("Option", "MonitorStatus", 0, env.settings);
    EnvLockGuard guard(env.folder, {env.settings});
    if (status == 2 || status == 3 || status == 4) ProfileWrite("Option", "MonitorStatus", 0, env.settings);
    ProfileWrite("Option", "FaxModified", 1, env.settings);
    guard.Commit();
  }
  if (cl.waitFirst)
    for (int i = 0; i < 10; ++i) platform::SleepMs(300);
  LogContext log = DefaultLogContext();
  StartImpLog(log);

  int rc = 0;
  if (desktop) {
    TrayStartup startup;
    startup.programFolder = env.folder;
    startup.socketName = instance.socketName();
    startup.openSettings = cl.settingsRequest;
    rc = RunTrayApplication(argc, argv, startup);
  } else {
    HeadlessStartup startup;
    startup.programFolder = env.folder;
    startup.socketName = instance.socketName();
    startup.log = log;
    rc = RunHeadlessMonitor(argc, argv, startup);
  }
  EndImpLog(log);
  return rc;
}

}  // namespace zv::monitor::ui
