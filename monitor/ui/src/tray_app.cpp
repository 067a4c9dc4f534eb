#include "monitor/ui/tray_app.h"

#include <pthread.h>
#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <memory>

#include "companion/common.h"
#include "companion/trace.h"
#include "monitor/ui/instance_channel.h"
#include "monitor/ui/main_frame.h"
#include "monitor/ui/session_guard.h"
#include "ui/common/message_box.h"

static void InitHopvaleUiResources() { Q_INIT_RESOURCE(hopvale_ui); }

namespace zv::monitor::ui {

namespace {

volatile std::sig_atomic_t gStopSignal = 0;
extern "C" void OnStopSignal(int signal) { gStopSignal = signal; }

void Trace(const std::string& text) { ZV_TRACE("_Hopvale", text); }

}  // namespace

void InitUiResources() {
  static const bool done = [] {
    InitHopvaleUiResources();
    return true;
  }();
  (void)done;
}

bool DisplayAvailable() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x != nullptr && *x != '\0') || (w != nullptr && *w != '\0');
}

int RunTrayApplication(int argc, char** argv, const TrayStartup& startup) {
  // Service mode and servers have no desktop: the program then never needs one.
  // The program may have made the application already (for its start-up
  // messages).
  std::unique_ptr<QApplication> own;
  if (QCoreApplication::instance() == nullptr) {
    if (!DisplayAvailable() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    own = std::make_unique<QApplication>(argc, argv);
  }
  QCoreApplication& app = *QCoreApplication::instance();
  QApplication::setApplicationName(QStringLiteral("Hopvale"));
  QApplication::setQuitOnLastWindowClosed(false);
  InitUiResources();
  QApplication::setWindowIcon(LoadTrayIcon(kIconUser));
  // Without a screen nobody could answer a box: the common library then
  // traces the text and takes the default button.
  const QString platform = QGuiApplication::platformName();
  const bool boxes = platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
  if (boxes) zv::ui::InstallQtMessageBoxHook(kTraceTag);

  int rc = 0;
  {
    CMainFrame frame(startup.programFolder, std::make_unique<QtTrayBackend>());
    companion::SetApplicationCaption(frame.watchFrame().productName);
    zv::ui::InstanceServer server(kTraceTag, MonitorRequests(),
                                  [&frame](const std::string& request) { frame.OnInstanceRequest(request); });
    server.Listen(startup.socketName);
    if (!frame.OnCreate()) {
      companion::SetMessageBoxHook(nullptr);
      return 1;
    }

    SessionGuard session(frame.watchFrame().env, MakeLogindInhibitor());
    session.StartPolling(1000);
#ifndef QT_NO_SESSIONMANAGER
    if (auto* gui = qobject_cast<QGuiApplication*>(&app))
      QObject::connect(gui, &QGuiApplication::commitDataRequest, &session,
                       [&session](QSessionManager& m) { session.OnCommitDataRequest(m); });
#endif
    // A notification area may come and go with the desktop's panel.
    QTimer trayPoll;
    QObject::connect(&trayPoll, &QTimer::timeout, &frame,
                     [&frame] { frame.shell().NoteTrayAvailable(frame.tray().available()); });
    trayPoll.start(1000);

    // Log-off, shut-down and systemd stop arrive as SIGTERM. A caller that
    // blocked the stop signals for sigwait gets them back here; the handler
    // only raises a flag that the window thread polls.
    gStopSignal = 0;
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGINT, OnStopSignal);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
    QTimer signalPoll;
    QObject::connect(&signalPoll, &QTimer::timeout, &app, [&frame] {
      if (gStopSignal == 0) return;
      frame.CloseActions();
      Trace("Hopvale Close.");
      QCoreApplication::quit();
    });
    signalPoll.start(200);

    QObject::connect(&frame, &CMainFrame::exitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &frame, [&frame] { frame.CloseActions(); });
    if (startup.openSettings) QTimer::singleShot(0, &frame, [&frame] { frame.OpenSettingsRequest(); });

    rc = QCoreApplication::exec();
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
  }
  companion::SetMessageBoxHook(nullptr);
  return rc;
}

int RunSecondInstance(int argc, char** argv, const std::string& socketName, bool settingsRequest) {
  std::unique_ptr<QCoreApplication> app;
  if (QCoreApplication::instance() == nullptr) app = std::make_unique<QCoreApplication>(argc, argv);
  const char* request = settingsRequest ? kRequestSettings : kRequestRaise;
  if (!zv::ui::SendInstanceRequest(socketName, request))
    Trace(std::string("Hopvale: the running instance did not answer the request \"") + request + "\"");
  return 0;
}

}  // namespace zv::monitor::ui
