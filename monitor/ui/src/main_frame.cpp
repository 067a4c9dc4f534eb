#include "monitor/ui/main_frame.h"

#include <QApplication>
#include <QCursor>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "companion/common.h"
#include "companion/services.h"
#include "companion/trace.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/ui/settings_sheet.h"
#include "monitor/ui/sheet_pages.h"
#include "monitor/ui/texts.h"
#include "monitor/watch/startup.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor::ui {

namespace {

void Trace(const std::string& text) { ZV_TRACE("_Hopvale", text); }

QAction* AddCommand(QMenu& menu, const QString& text, int id) {
  QAction* a = menu.addAction(text);
  a->setData(id);
  return a;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void BuildTrayMenu(QMenu& menu, int status, bool impListEnabled) {
  menu.clear();
  QAction* setting = AddCommand(menu, Q(MonitorText(kIdsMenuSetting)), kCmdSetting);
  menu.setDefaultAction(setting);
  if (impListEnabled) AddCommand(menu, Q(MonitorText(kIdsMenuFileList)), kCmdFileList);
  menu.addSeparator();
  const bool watching = status == 0 || status == 3 || status == 4;
  AddCommand(menu, Q(MonitorText(kIdsMenuStart)), kCmdStart)->setEnabled(status == 1);
  AddCommand(menu, Q(MonitorText(kIdsMenuStop)), kCmdStop)->setEnabled(watching);
  AddCommand(menu, Q(MonitorText(kIdsExit)), kCmdExit);
  menu.addSeparator();
  AddCommand(menu, Q(MonitorText(kIdsVersionInformation)), kCmdAbout);
}

CVersionDlg::CVersionDlg(const std::string& productName, const std::string& version, const std::string& user,
                         const std::string& company, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(Q(MonitorText(kIdsVersionInformation)));
  auto* layout = new QVBoxLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(LoadTrayIcon(kIconUser).pixmap(48, 48));
  layout->addWidget(icon);
  auto addLine = [&](const QString& text, const char* name) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QLatin1String(name));
    layout->addWidget(l);
  };
  addLine(Q(productName), "product");
  addLine(QString::fromLatin1(kTextVersion) + QLatin1Char(' ') + Q(version), "version");
  addLine(QString::fromLatin1(kTextUser) + QLatin1String(": ") + Q(std::string(platform::CutDisplayWidth(user, 20))),
          "user");
  addLine(QString::fromLatin1(kTextCompany) + QLatin1String(": ") + Q(company), "company");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

// ---- frame -----------------------------------------------------------------------

CMainFrame::CMainFrame(const std::string& programFolder, std::unique_ptr<TrayBackend> backend, FrameHooks hooks)
    : tray_(std::move(backend)), shell_(tray_), hooks_(std::move(hooks)), sheetHooks_(hooks_.sheet) {
  setWindowTitle(QStringLiteral("Hopvale"));
  if (!hooks_.runMenu) hooks_.runMenu = [](QMenu& m) { return m.exec(QCursor::pos()); };
  if (!hooks_.runDialog) hooks_.runDialog = [](QDialog& d) { return d.exec(); };
  InitWatchFrame(frame_, programFolder, &shell_);
  shell_.SetProduct(frame_.productName, frame_.options.serviceMode == 1);
  shell_.SetBalloonOptions(frame_.options.showBalloon, frame_.options.timeBalloon);
  tray_.SetOwner(this);
  // The balloon invites the user to switch notices off: its click opens the
  // settings on the page that holds that switch, unless files are being
  // imported or a dialog is open.
  connect(&tray_, &CTrayIcon::balloonClicked, this, [this] {
    const int state = GetMonitorState(frame_.env);
    if (state == 1 || state == 2 || shell_.SettingsOpen()) {
      Trace("CTrayIcon: balloon clicked while importing or a dialog is open; nothing opened");
      return;
    }
    RunSettingsSheet("CTrayIcon::OnBalloonClick", SheetStart::Other);
  });
  frame_.monitorLog.OpenFromSettings(frame_.env.folder);
  tempFolder_ = platform::TempFolder();
  if (!tempFolder_.empty()) companion::ComRemoveTree(platform::JoinPath(tempFolder_, "Hopvale"));
}

CMainFrame::~CMainFrame() {
  CloseActions();
  frame_.monitorLog.Close();
  // A monitor stopped by the user starts online next time.
  WriteMonitorStatus(frame_.env, kStatusOnline);
  if (viewer_ && viewer_->valid() && viewer_->IsRunning()) viewer_->Terminate();
  if (!tempFolder_.empty()) companion::ComRemoveTree(platform::JoinPath(tempFolder_, "Hopvale"));
  tray_.Remove();
}

bool CMainFrame::OnCreate(bool startWatch) {
  const int status = frame_.status.load();
  const int icon = StatusIconId(kStatusOnline, serviceMode());
  const bool shown = tray_.Create(frame_.env, frame_.productName, icon);
  if (!shown) {
    if (!tray_.available()) {
      Trace("CMainFrame::OnCreate: no system tray on this desktop; running without a tray icon");
    } else if (!serviceMode()) {
      companion::ComShowMessage(MonitorText(kIdsTrayFailed), companion::kMbOk);
      return false;
    }
  }
  frame_.trayShown.store(shown);
  shell_.NoteIconShown(shown);
  shell_.NoteTrayAvailable(tray_.available());
  if (shown) shell_.ApplyStatusIcon(status);
  if (startWatch) watch_.Start(frame_);
  return true;
}

void CMainFrame::CloseActions() {
  if (closed_) return;
  closed_ = true;
  watch_.Stop();
  RefreshWorkDeskTargets(frame_.env, *frame_.published.Get());
}

int CMainFrame::TrayMonitorState() { return GetMonitorState(frame_.env); }
void CMainFrame::SetMenuOpen(bool open) { shell_.SetMenuOpen(open); }
bool CMainFrame::SettingsSheetOpen() { return shell_.SettingsOpen(); }
void CMainFrame::BringSettingsForward() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == QLatin1String("CZorvanProSheet") && w->isVisible()) {
      w->raise();
      w->activateWindow();
      return;
    }
  }
  Trace("CTrayIcon::OnTrayNotification: the settings dialog is open");
}

void CMainFrame::RunTrayMenu() {
  QMenu menu;
  BuildTrayMenu(menu, frame_.status.load(), frame_.published.Get()->impListEnabled != 0);
  activateWindow();
  QAction* chosen = hooks_.runMenu(menu);
  if (chosen != nullptr) {
    const int id = chosen->data().toInt();
    // The command runs after the menu has closed, as a posted command would.
    QMetaObject::invokeMethod(
        this, [this, id] { OnCommand(id); }, Qt::QueuedConnection);
  }
}

void CMainFrame::RunSettingsFromTray() { RunSettingsSheet("CTrayIcon::OnTrayNotification"); }

void CMainFrame::RunSettingsSheet(const char* from, SheetStart start) {
  Trace(std::string(from) + ": open the settings dialog");
  SheetContext context;
  context.env = frame_.env;
  context.options = *frame_.published.Get();
  context.workDeskFolder = frame_.workDeskFolder;
  SheetHooks hooks = sheetHooks_;
  hooks.settingsOpen = [this](bool open) { shell_.SetSettingsOpen(open); };
  // The balloon switches take effect at once; the watch thread takes the
  // rest over from the change flags.
  hooks.other = [this](const OtherPageData& other) {
    const int show = other.IntValue("ShowBalloon");
    shell_.SetBalloonOptions(show == -1 ? (NotificationAreaShowsMessages() ? 1 : 0) : show,
                             frame_.published.Get()->timeBalloon);
  };
  ShowSettingsSheet(this, context, start, hooks);
}

void CMainFrame::OpenSettingsRequest() {
  const int state = GetMonitorState(frame_.env);
  if (state == 1 || state == 2) {
    if (shell_.SettingsOpen()) BringSettingsForward();
    Trace("CMainFrame: settings request ignored while importing or a dialog is open");
    return;
  }
  RunSettingsSheet("CMainFrame::OnSettingRequest");
}

void CMainFrame::OnInstanceRequest(const std::string& request) {
  if (request == "settings") {
    OpenSettingsRequest();
  } else if (shell_.SettingsOpen()) {
    BringSettingsForward();  // another copy was started: show the open dialog
  } else {
    // The frame is hidden and has no window to bring forward.
    Trace("CMainFrame: another instance was started; nothing to bring forward");
  }
}

void CMainFrame::SetStatus(int status) {
  frame_.status.store(status);
  WriteMonitorStatus(frame_.env, status);
  shell_.ApplyStatusIcon(status);
}

void CMainFrame::ShowVersion() {
  const int state = GetMonitorState(frame_.env);
  if (state == 1 || state == 2) return;
  const auto o = frame_.published.Get();  // the watch thread may re-read meanwhile
  CVersionDlg dlg(o->productName, o->version, o->user, o->company, this);
  SetWorkFlag(frame_.env, kPropertyFlag, true);
  hooks_.runDialog(dlg);
  SetWorkFlag(frame_.env, kPropertyFlag, false);
}

void CMainFrame::OpenFileList() {
  if (viewer_ && viewer_->valid() && viewer_->IsRunning()) {
    Trace("CMainFrame::OnFileList: the import list is already running");
    return;
  }
  const std::string program = platform::JoinPath(platform::ExecutableFolder(), "Quibbin");
  viewer_ = platform::Process::Spawn(program, {});
  if (!viewer_->valid()) Trace("CMainFrame::OnFileList: could not start " + program);
}

void CMainFrame::OnCommand(int id) {
  switch (id) {
    case kCmdSetting: {
      const int state = GetMonitorState(frame_.env);
      if (state != 1 && state != 2) RunSettingsSheet("CMainFrame::OnSetting");
      break;
    }
    case kCmdFileList: OpenFileList(); break;
    case kCmdStart: SetStatus(kStatusOnline); break;
    case kCmdStop: SetStatus(kStatusStopped); break;
    case kCmdAbout: ShowVersion(); break;
    case kCmdExit:
      CloseActions();
      emit exitRequested();
      break;
    default: break;
  }
}

}  // namespace zv::monitor::ui
