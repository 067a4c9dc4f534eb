#include "implist/ui/list_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "companion/common.h"
#include "companion/services.h"
#include "companion/trace.h"
#include "implist/ui/settings_dialog.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

#define ZV_IMPLIST_UI_TRACE(msg) ZV_TRACE("_ImpList", (msg))

namespace zv::implist::ui {

namespace {

std::string LocalList() {
  return platform::JoinPath(platform::JoinPath(platform::ProgramFolder(), "Rslt"), "ImpListData.ini");
}

// "20261208102030" as "2026/12/08 10:20:30".
std::string ShownStamp(const std::string& s) {
  if (s.size() < 14) return s;
  return s.substr(0, 4) + "/" + s.substr(4, 2) + "/" + s.substr(6, 2) + " " + s.substr(8, 2) + ":" + s.substr(10, 2) +
         ":" + s.substr(12, 2);
}

}  // namespace

ImpListWindow::ImpListWindow(WindowParts parts, QWidget* parent)
    : QWidget(parent, Qt::Window), parts_(std::move(parts)), computer_(platform::ComputerName()) {
  if (!parts_.ask) parts_.ask = BoxAsker();
  model_.SetLanguage(companion::UserLanguage());
  setWindowTitle(Text(kTxtWindowTitle));
  // Shown without taking the focus unless activated on purpose (Popup 2, a
  // later copy of the program, the tray icon).
  setAttribute(Qt::WA_ShowWithoutActivating, true);
  settings_ = ViewerSettings::Read(SettingsFile());

  lastUpdate_ = new QLabel;
  status_ = new QLabel;
  status_->setWordWrap(true);
  table_ = new QTableView;
  table_->setModel(&model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setSectionsClickable(true);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setColumnWidth(0, 130);
  table_->setColumnWidth(1, 220);
  table_->setColumnWidth(2, 50);
  connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this, &ImpListWindow::SortBy);

  auto button = [this](int text, auto slot) {
    auto* b = new QPushButton(Text(text));
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(button(kTxtButtonSetting, [this] { OpenSettings(); }));
  buttons->addWidget(button(kTxtButtonUpdate, [this] { RequestPass(true); }));
  auto rowButton = [&](int text, RowOperation operation) {
    rowButtons_.push_back(button(text, [this, operation] { RunOperation(operation); }));
    return rowButtons_.back();
  };
  buttons->addWidget(rowButton(kTxtButtonView, RowOperation::View));
  buttons->addWidget(rowButton(kTxtButtonViewEdit, RowOperation::ViewEdit));
  buttons->addWidget(rowButton(kTxtButtonPrint, RowOperation::Print));
  buttons->addWidget(new QLabel(Text(kTxtRemove)));
  buttons->addWidget(rowButton(kTxtButtonFromList, RowOperation::RemoveFromList));
  fromBinder_ = rowButton(kTxtButtonFromBinder, RowOperation::RemoveFromBinder);
  buttons->addWidget(fromBinder_);
  buttons->addStretch(1);
  buttons->addWidget(button(kTxtButtonClose, [this] { close(); }));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lastUpdate_);
  layout->addWidget(table_, 1);
  layout->addWidget(status_);
  layout->addLayout(buttons);
  resize(760, 420);

  if (parts_.tray) {
    connect(parts_.tray.get(), &zv::ui::TrayBackend::notified, this, [this](zv::ui::TrayEvent e) {
      if (e == zv::ui::TrayEvent::LeftClick || e == zv::ui::TrayEvent::LeftDoubleClick) Raise();
      if (e == zv::ui::TrayEvent::BalloonClick) {
        // The balloon's own text offers to turn it off.
        settings_.showBalloon = 0;
        platform::ini::WriteString(SettingsFile(), kSettingsSection, "ShowBaloon", "0");
      }
    });
  }
}

ImpListWindow::~ImpListWindow() {
  StopWorker();
  if (trayShown_) parts_.tray->Remove();
}

QMessageBox::StandardButton ImpListWindow::Ask(const QString& text, QMessageBox::StandardButtons buttons) {
  return parts_.ask(this, text, buttons);
}

void ImpListWindow::AddTrayIcon() {
  if (!parts_.tray || !parts_.tray->Available()) {
    ZV_IMPLIST_UI_TRACE("Thread_FileSurvey: no notification area, the window works without an icon");
    return;
  }
  const QIcon icon = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
  trayShown_ = parts_.tray->Add(icon, Text(kTxtWindowTitle));
  if (!trayShown_) {
    ZV_IMPLIST_UI_TRACE(TextStd(kTxtTrayFailed));
    trayNote_ = Text(kTxtTrayFailed);
    UpdateStatus();
  }
}

void ImpListWindow::Start() {
  CleanImpListData(SurveyConfig::Load());
  AddTrayIcon();
  Refill();
  monitorChanged_ = MonitorSettingsChanged(SettingsFile(), MonitorSettingsFile());
  UpdateStatus();
  // A window nobody can reach is no use: without an icon it is shown.
  if (settings_.popup == 2) {
    show();
    raise();
    activateWindow();
  } else if (settings_.popup == 1 || !trayShown_) {
    show();
  }
  worker_ = std::thread([this] {
    SurveyHooks hooks;
    hooks.mayRun = [this] {
      busy_ = true;
      if (held_) {
        busy_ = false;
        return false;
      }
      if (cleanFirst_.exchange(false)) CleanImpListData(SurveyConfig::Load());
      return true;
    };
    hooks.onPass = [this](const PassResult& r) {
      busy_ = false;
      NoticeSilentLinks(r);
      QMetaObject::invokeMethod(
          this, [this, r] { OnPass(r); }, Qt::QueuedConnection);
    };
    hooks.onNews = [this](const PassResult&) {
      QMetaObject::invokeMethod(
          this, [this] { OnNews(); }, Qt::QueuedConnection);
    };
    hooks.runNow = &runNow_;
    RunFileSurvey(stop_, hooks);
  });
  // Asked once the event loop runs: a message box waits for its answer, the
  // worker does not wait for it.
  QMetaObject::invokeMethod(
      this, [this] { ShowStartNotices(); }, Qt::QueuedConnection);
}

void ImpListWindow::ShowStartNotices() {
  const std::string caption = TextStd(kTxtWindowTitle);
  if (SurveyConfig::Load().linkFolders.empty())
    companion::ComShowMessageBox(TextStd(kTxtNoLinkFolder), caption, companion::kMbOk | companion::kMbIconWarning);
  if (settings_.setFlag != 1)
    companion::ComShowMessageBox(TextStd(kTxtFirstUse), caption, companion::kMbOk | companion::kMbIconInfo);
}

void ImpListWindow::NoticeSilentLinks(const PassResult& r) {
  if (!r.ran) return;
  // Named once when a folder stops answering, not at every pass; once it
  // answered again, a new outage is named again.
  std::string fresh;
  for (const std::string& l : r.unreachable)
    if (std::find(silentShown_.begin(), silentShown_.end(), l) == silentShown_.end()) fresh += l + "\n";
  silentShown_ = r.unreachable;
  if (fresh.empty()) return;
  fresh.pop_back();
  companion::ComShowMessageBox(platform::FillInOrder(TextStd(kTxtLinkUnreachable), {fresh}), TextStd(kTxtWindowTitle),
                               companion::kMbOk | companion::kMbIconWarning);
}

void ImpListWindow::UpdateStatus() {
  QStringList lines;
  if (!trayNote_.isEmpty()) lines << trayNote_;
  if (monitorChanged_) lines << Text(kTxtMonitorSettingsChanged);
  if (!passNotes_.isEmpty()) lines << passNotes_;
  status_->setText(lines.join(u'\n'));
}

void ImpListWindow::StopWorker() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
}

void ImpListWindow::EndWithoutQuestion() {
  quitting_ = true;
  StopWorker();
}

void ImpListWindow::RequestPass(bool update) {
  if (update) {
    ZV_IMPLIST_UI_TRACE("UpdateImpListData: --------------- Data Update and display start ---------------");
    cleanFirst_ = true;
    updateAsked_ = true;
  }
  runNow_ = true;
}

void ImpListWindow::Raise() {
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void ImpListWindow::OnPass(const PassResult& r) {
  ++passes_;
  // A user still owed a record: the next pass tries again ("retry").
  QString notes;
  for (const std::string& user : r.failedUsers) notes += Text(kTxtNoticeFailed, {user, "retry"});
  if (updateAsked_.exchange(false)) {
    if (!r.ran) {
      notes += Text(kTxtFilesUpdating);
    } else {
      ZV_IMPLIST_UI_TRACE("UpdateImpListData: Server data - " + std::to_string(r.delivered) + ", Local data - " +
                          std::to_string(r.taken));
      if (r.taken == 0) Refill();
      ZV_IMPLIST_UI_TRACE("UpdateImpListData: --------------- Data Update and display end ---------------");
    }
  }
  // A pass that could not run leaves the last report standing.
  if (!notes.isEmpty() || r.ran) passNotes_ = notes.trimmed();
  monitorChanged_ = MonitorSettingsChanged(SettingsFile(), MonitorSettingsFile());
  UpdateStatus();
  emit passFinished();
}

void ImpListWindow::Refill() {
  settings_ = ViewerSettings::Read(SettingsFile());
  ZV_IMPLIST_UI_TRACE("OnDispImpListData:DistLastGetTime");
  lastUpdate_->setText(Text(kTxtLastUpdate, {ShownStamp(settings_.lastGetImpData)}));
  ZV_IMPLIST_UI_TRACE("OnDispImpListData:FilterImpListDataIni");
  const ListFilter filter = ListFilter::Make(settings_, computer_, MonitorSettingsFile());
  std::vector<ListRow> rows = LoadRows(LocalList(), filter);
  ZV_IMPLIST_UI_TRACE("OnDispImpListData:SortProcess");
  model_.SetRows(std::move(rows), settings_.sortColumn,
                 settings_.sortDescending == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
  fromBinder_->setVisible(settings_.deleteFromBinder == 1);
}

void ImpListWindow::OnNews() {
  Refill();
  if (settings_.soundEnabled == 1 && parts_.sound && parts_.sound->Play(settings_.waveFile))
    ZV_IMPLIST_UI_TRACE("OnDispImpListData: Sound was played");
  ApplyPopup();
  if (settings_.showBalloon == 1 && trayShown_)
    parts_.tray->ShowMessage(Text(kTxtBalloonTitle), Text(kTxtBalloonText), QIcon(), settings_.BalloonSeconds() * 1000);
}

void ImpListWindow::ApplyPopup() {
  if (settings_.popup == 1) {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
  } else if (settings_.popup == 2) {
    Raise();
  }
}

void ImpListWindow::SortBy(int column) {
  if (column < 0 || column > 3) return;
  if (column == settings_.sortColumn) {
    settings_.sortDescending = settings_.sortDescending == 1 ? 0 : 1;
  } else {
    settings_.sortColumn = column;
    settings_.sortDescending = 0;
  }
  WriteSort(SettingsFile(), settings_.sortColumn, settings_.sortDescending);
  ZV_IMPLIST_UI_TRACE("SortProcess: SortItems");
  model_.sort(settings_.sortColumn, settings_.sortDescending == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
  ZV_IMPLIST_UI_TRACE("SortProcess: Call DispSortState");
}

void ImpListWindow::OpenSettings() {
  held_ = true;
  SettingsDialog dialog(SettingsFile(), ViewerSettings::Read(SettingsFile()),
                        ReadMonitorSettings(MonitorSettingsFile()), companion::ReadViewerFolders(), computer_,
                        parts_.ask, this);
  const bool saved = dialog.exec() == QDialog::Accepted;
  held_ = false;
  if (saved) {
    passNotes_.clear();
    monitorChanged_ = MonitorSettingsChanged(SettingsFile(), MonitorSettingsFile());
    UpdateStatus();
    Refill();
    runNow_ = true;
  }
}

void ImpListWindow::RunOperation(RowOperation operation) {
  if (!parts_.operations || operating_) return;
  held_ = true;
  if (busy_) {
    held_ = false;
    Ask(Text(kTxtCollecting), QMessageBox::Ok);
    return;
  }
  // Only removals change the list files: the collation pass waits for
  // them and not for a viewer or a printout.
  const bool removes = operation == RowOperation::RemoveFromList || operation == RowOperation::RemoveFromBinder;
  if (!removes) held_ = false;
  QModelIndexList selected = table_->selectionModel()->selectedRows();
  std::sort(selected.begin(), selected.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  std::vector<SelectedRow> rows;
  for (const QModelIndex& i : selected) rows.push_back({model_.Row(i.row()).section, model_.Row(i.row()).record});
  // The operation runs off this thread; its buttons wait for its end.
  SetOperating(true);
  const bool started = parts_.operations->Start(operation, rows, this, [this](bool changed) {
    SetOperating(false);
    if (changed) Refill();
  });
  if (!started) SetOperating(false);
}

void ImpListWindow::SetOperating(bool on) {
  operating_ = on;
  if (!on) held_ = false;
  for (QPushButton* b : rowButtons_) b->setEnabled(!on);
}

void ImpListWindow::closeEvent(QCloseEvent* event) {
  if (quitting_) {
    event->accept();
    return;
  }
  const QMessageBox::StandardButton answer =
      Ask(Text(kTxtCloseQuestion), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::No) {
    showMinimized();
    event->ignore();
    return;
  }
  if (answer != QMessageBox::Yes) {
    event->ignore();
    return;
  }
  quitting_ = true;
  status_->setText(Text(kTxtClosing1) + u'\n' + Text(kTxtClosing2));
  status_->repaint();
  StopWorker();
  event->accept();
  emit endRequested();
}

}  // namespace zv::implist::ui
