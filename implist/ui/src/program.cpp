#include "implist/ui/program.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <csignal>
#include <memory>

#include "companion/services.h"
#include "companion/strings.h"
#include "companion/trace.h"
#include "implist/ui/list_window.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/single_instance.h"
#include "ui/common/instance_channel.h"
#include "ui/common/message_box.h"
#include "ui/common/translations.h"

namespace zv::implist::ui {

namespace {

constexpr const char* kTraceTag = "_ImpList";

volatile std::sig_atomic_t gStopSignal = 0;
extern "C" void OnStopSignal(int signal) { gStopSignal = signal; }
constexpr const char* kRequestUpdate = "update";

void ApplyTraceSettings(const std::string& settingsFile) {
  namespace ini = platform::ini;
  companion::TraceSettings trace;
  trace.enabled = ini::GetInt(settingsFile, "AutoImpInfo", "TraceLogEnabled", 0);
  trace.path = ini::GetString(settingsFile, "AutoImpInfo", "TraceLogPath", "");
  trace.termDays = ini::GetInt(settingsFile, "AutoImpInfo", "TraceLogTerm", 7);
  companion::SetProcessTraceSettings(trace);
}

// LocalCode of the viewer's Language.ini: 1033 English, 1041 Japanese,
// anything else the user's locale.
void ApplyLanguage() {
  const std::string file = platform::JoinPath(companion::ViewerProgramFolder(), "Language.ini");
  const int code = platform::ini::GetInt(file, "Language", "LocalCode", 0);
  if (code == 1033) companion::ForceLanguage(companion::Language::English);
  if (code == 1041) companion::ForceLanguage(companion::Language::Japanese);
}

// A small notice shown while the window is being made or the worker stops.
std::unique_ptr<QLabel> Notice(int first, int second) {
  auto label = std::make_unique<QLabel>(Text(first) + u'\n' + Text(second));
  label->setWindowFlags(Qt::SplashScreen | Qt::WindowStaysOnTopHint);
  label->setMargin(16);
  label->setAttribute(Qt::WA_ShowWithoutActivating, true);
  label->show();
  QApplication::processEvents();
  return label;
}

}  // namespace

int QuibbinMain(int argc, char** argv) {
  QApplication app(argc, argv);
  zv::ui::InstallQtTranslations(app);
  QApplication::setQuitOnLastWindowClosed(false);
  const QString platformName = QGuiApplication::platformName();
  const bool realDesktop = platformName != QLatin1String("offscreen") && platformName != QLatin1String("minimal");
  if (realDesktop) zv::ui::InstallQtMessageBoxHook(kTraceTag);
  ApplyLanguage();

  const std::string settingsFile = SettingsFile();
  ViewerSettings settings = ViewerSettings::Read(settingsFile);
  Log().Open(LogFile(), settings.logOutput == 1);
  ApplyTraceSettings(settingsFile);
  ZV_TRACE(kTraceTag, "取り込みファイル一覧開始");
  Log().Info("取り込みファイル一覧開始");
  if (!WriteStartKeys(settingsFile, platform::ComputerName())) {
    ZV_TRACE(kTraceTag, TextStd(kTxtSettingsUnwritable));
    Log().Error(TextStd(kTxtSettingsUnwritable));
  }

  platform::SingleInstance instance("Quibbin");
  if (!instance.IsFirst()) {
    Log().Info("ImpListData.ini更新処理要求");
    const bool asked = zv::ui::SendInstanceRequest(instance.socketName(), kRequestUpdate, 3000);
    Log().Info("ImpListData.ini更新処理要求終了");
    if (!asked) Log().Error("ImpListData.ini更新処理要求: no answer from the running copy");
    return asked ? 0 : 1;
  }

  std::unique_ptr<QLabel> starting;
  if (realDesktop && (settings.popup == 1 || settings.popup == 2)) starting = Notice(kTxtStarting1, kTxtStarting2);

  WindowParts parts;
  parts.tray = std::make_unique<zv::ui::QtTrayBackend>();
  parts.sound = MakeQtSoundPlayer();
  parts.operations = MakeToolRowOperations(BoxAsker());
  ImpListWindow window(std::move(parts));
  zv::ui::InstanceServer server(kTraceTag, {kRequestUpdate}, [&window](const std::string&) {
    window.Raise();
    window.RequestPass(false);
  });
  if (!server.Listen(instance.socketName())) ZV_TRACE(kTraceTag, "Quibbin: cannot listen on " + instance.socketName());
  QObject::connect(&window, &ImpListWindow::endRequested, &app, &QApplication::quit, Qt::QueuedConnection);
  window.Start();
  starting.reset();
  ZV_TRACE(kTraceTag, "取り込みファイル一覧初期化処理終了");
  Log().Info("取り込みファイル一覧初期化処理終了");

  // Log-off and shut-down arrive as SIGTERM: the handler only raises a flag
  // that the window thread polls; the program then ends without the question.
  std::signal(SIGTERM, OnStopSignal);
  std::signal(SIGINT, OnStopSignal);
  QTimer signalPoll;
  QObject::connect(&signalPoll, &QTimer::timeout, &app, [&window] {
    if (gStopSignal == 0) return;
    window.EndWithoutQuestion();
    QApplication::quit();
  });
  signalPoll.start(200);

  const int rc = QApplication::exec();
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
  window.StopWorker();
  ZV_TRACE(kTraceTag, "取り込みファイル一覧終了");
  Log().Info("取り込みファイル一覧終了");
  return rc;
}

}  // namespace zv::implist::ui
