#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QVBoxLayout>

#include "companion/common.h"
#include "companion/trace.h"
#include "dravel/dravel.h"
#include "platform/paths.h"
#include "platform/single_instance.h"
#include "sendfile/ui/marloft.h"
#include "sendfile/window_state.h"
#include "ui/common/instance_channel.h"
#include "ui/common/message_box.h"
#include "ui/common/translations.h"
#include "workdesk/drag_data.h"

namespace zv::sendfile::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A move or resize counts as ended after this pause.
constexpr int kPlaceSettleMs = 400;

}  // namespace

MarloftWindow::MarloftWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(Q(TextOf(Text::Caption)));
  setAcceptDrops(true);
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(Q(TextOf(Text::DropHere)), this);
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  layout->addWidget(label);
  resize(300, 110);
  menu_ = new QMenu(this);
  menu_->addAction(Q(TextOf(Text::MenuEditUsers)), this, &MarloftWindow::OpenUserEditor);
  topAction_ = menu_->addAction(Q(TextOf(Text::MenuTopMost)));
  topAction_->setCheckable(true);
  connect(topAction_, &QAction::toggled, this, [this](bool on) {
    if (on != topMost_) SetTopMost(on);
  });
  placeTimer_.setSingleShot(true);
  placeTimer_.setInterval(kPlaceSettleMs);
  connect(&placeTimer_, &QTimer::timeout, this, &MarloftWindow::SavePlace);
}

void MarloftWindow::Restore() {
  restoring_ = true;
  const WindowState s = ReadWindowState();
  std::vector<Rect> areas;
  if (QScreen* primary = QGuiApplication::primaryScreen()) {
    const QRect g = primary->availableGeometry();
    areas.push_back({g.x(), g.y(), g.width(), g.height()});
  }
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen == QGuiApplication::primaryScreen()) continue;
    const QRect g = screen->availableGeometry();
    areas.push_back({g.x(), g.y(), g.width(), g.height()});
  }
  const Rect own{0, 0, width(), height()};
  const Rect r = PlaceWindow(own, s.hasPlace ? &s.place : nullptr, areas);
  if (s.hasPlace) ToolLog(__FILE__, __LINE__, "Start window to latest closed window pose.");
  resize(r.w, r.h);
  move(r.x, r.y);
  lastPlace_ = r;
  SetTopMost(s.topMost);
  restoring_ = false;
  placeTimer_.stop();
}

void MarloftWindow::SetTopMost(bool on) {
  topMost_ = on;
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (visible) show();
  topAction_->setChecked(on);
  if (!restoring_) {
    WriteTopMost(on);
    ToolLog(__FILE__, __LINE__, on ? "Show top most." : "Show not top most.");
  }
}

void MarloftWindow::OpenUserEditor() {
  UserEditor editor(this);
  editor.exec();
}

void MarloftWindow::StartViewer() {
  if (viewer_.valid() && viewer_.IsRunning()) return;
  viewer_ = platform::Process::Spawn(platform::JoinPath(platform::ProgramFolder(), "Quibbin"), {});
  if (!viewer_.valid()) {
    ToolLog(__FILE__, __LINE__, "Start Quibbin.exe failed.");
    companion::ComShowMessageBox(TextOf(Text::ViewerStartFailed), TextOf(Text::Caption),
                                 companion::kMbIconWarning | companion::kMbTopMost);
  }
}

bool MarloftWindow::Acceptable(const QMimeData* data) const {
  if (busy_ || data == nullptr || !data->hasFormat(companion::workdesk::kDragMimeType)) return false;
  const QByteArray bytes = data->data(companion::workdesk::kDragMimeType);
  return bytes.size() >= static_cast<qsizetype>(companion::workdesk::kDragDataSize) &&
         companion::workdesk::ReadDragInt(bytes.toStdString(), companion::workdesk::kDragSourceKindOffset) ==
             companion::workdesk::kDragSourceWorkDesk;
}

void MarloftWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (!Acceptable(e->mimeData())) {
    e->ignore();
    return;
  }
  e->setDropAction(Qt::MoveAction);
  e->accept();
  showNormal();
  raise();
  activateWindow();
}

void MarloftWindow::dragMoveEvent(QDragMoveEvent* e) {
  if (!Acceptable(e->mimeData())) {
    e->ignore();
    return;
  }
  e->setDropAction(Qt::MoveAction);
  e->accept();
}

void MarloftWindow::dropEvent(QDropEvent* e) {
  // The source moves (removes) its pages only when told "move": that is
  // said after the pages are in the binder, never before.
  e->setDropAction(Qt::IgnoreAction);
  if (!Acceptable(e->mimeData())) {
    e->ignore();
    return;
  }
  ToolLog(__FILE__, __LINE__, "D&D do on drop");
  const ParsedDrop parsed = ParseDragPayload(e->mimeData()->data(companion::workdesk::kDragMimeType).toStdString());
  if (!parsed.ok()) {
    ToolLog(__FILE__, __LINE__, std::string("Drag data refused: ") + DropRefusalText(parsed.refusal) + ".");
    e->ignore();
    return;
  }
  busy_ = true;
  ++drops_;
  ChooseDialog dialog(parsed.request, this);
  bool moved = false;
  if (dialog.ready() && dialog.exec() == QDialog::Accepted) moved = dialog.outcome().code == 0;
  if (dialog.outcome().code == 0 && moved)
    StartViewer();
  else if (dialog.outcome().fromCall)
    StartViewer();
  busy_ = false;
  if (moved) {
    e->setDropAction(Qt::MoveAction);
    e->accept();
  } else {
    e->ignore();
  }
}

void MarloftWindow::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  if (!restoring_ && isVisible() && !isMinimized()) placeTimer_.start();
}

void MarloftWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (!restoring_ && isVisible() && !isMinimized()) placeTimer_.start();
}

void MarloftWindow::SavePlace() {
  if (isMinimized()) return;
  // The frame's position (what move() takes) and the window's own size;
  // the place it was given at start is not a place the user chose.
  const Rect now{x(), y(), width(), height()};
  if (now == lastPlace_) return;
  if (WritePlace(now)) lastPlace_ = now;
}

void MarloftWindow::contextMenuEvent(QContextMenuEvent* e) { menu_->exec(e->globalPos()); }

int RunMarloft(int argc, char** argv) {
  bool editUsers = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    while (!a.empty() && (a[0] == '/' || a[0] == '-')) a.erase(0, 1);
    if (!a.empty() && (a[0] == 'u' || a[0] == 'U')) editUsers = true;
  }
  QApplication app(argc, argv);
  zv::ui::InstallQtTranslations(app);
  {
    char folder[DRAVEL_PATH_MAX] = {0};
    int days = 7;
    companion::TraceSettings trace;
    trace.enabled = ReadTraceLogInfo(folder, &days);
    trace.path = folder;
    trace.termDays = days;
    companion::SetProcessTraceSettings(trace);
  }
  zv::ui::InstallQtMessageBoxHook("_Marloft");
  platform::SingleInstance instance("Marloft");
  if (!instance.IsFirst()) {
    // The running window comes forward instead.
    zv::ui::SendInstanceRequest(instance.socketName(), "show");
    ToolLog(__FILE__, __LINE__, "Marloft.exe has been started.");
    return 0;
  }
  MarloftWindow window;
  zv::ui::InstanceServer server("_Marloft", {"show"}, [&window](const std::string&) {
    window.showNormal();
    window.raise();
    window.activateWindow();
  });
  server.Listen(instance.socketName());
  ToolLog(__FILE__, __LINE__, editUsers ? "Start Marloft.exe from desktop." : "Start Marloft.exe from startmenu.");
  window.Restore();
  window.show();
  if (editUsers) {
    ToolLog(__FILE__, __LINE__, "Start Marloft dialog succeed,then start Edit user dialog.");
    QTimer::singleShot(0, &window, &MarloftWindow::OpenUserEditor);
  }
  return app.exec();
}

}  // namespace zv::sendfile::ui
