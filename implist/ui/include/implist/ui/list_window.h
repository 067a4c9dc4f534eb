// The import list window: the user's local list on a sorted table, the
// collation worker behind it, news shown by popping up, a balloon and a
// sound, the settings dialog and the close question.
#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "implist/collate.h"
#include "implist/ui/list_model.h"
#include "implist/ui/row_operations.h"
#include "implist/ui/sound.h"
#include "implist/ui/texts.h"
#include "implist/ui/viewer_settings.h"
#include "ui/common/tray_backend.h"

class QLabel;
class QPushButton;
class QTableView;

namespace zv::implist::ui {

struct WindowParts {
  std::unique_ptr<zv::ui::TrayBackend> tray;  // null: no notification area
  std::unique_ptr<SoundPlayer> sound;         // null: silent
  std::unique_ptr<RowOperations> operations;  // null: the row buttons do nothing
  Asker ask;                                  // empty: message boxes
};

class ImpListWindow : public QWidget {
  Q_OBJECT
 public:
  explicit ImpListWindow(WindowParts parts, QWidget* parent = nullptr);
  ~ImpListWindow() override;

  // Cleans the local list of old records, fills the window, shows it as
  // Popup says and starts the worker.
  void Start();
  // Stops the worker: its waits poll the stop flag, so this returns within
  // about a second.
  void StopWorker();
  // The program ends without the close question (log-off, shut-down).
  void EndWithoutQuestion();
  // Asks the worker for a pass now (Update, a later copy of the program).
  void RequestPass(bool update);
  // Brings the window forward (a later copy of the program).
  void Raise();
  // What the window does on news from the worker.
  void OnNews();
  // Re-reads the settings and the local list and sorts it.
  void Refill();
  // Settings dialog; returns when it is closed.
  void OpenSettings();
  // Header click: sort by the column, the same column again toggles the direction.
  void SortBy(int column);

  ImpListModel& model() { return model_; }
  QTableView* table() const { return table_; }
  QLabel* status() const { return status_; }
  bool operating() const { return operating_; }
  bool trayShown() const { return trayShown_; }
  int passes() const { return passes_; }

 signals:
  void passFinished();
  // The user chose to end the program (the close question answered yes).
  void endRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnPass(const PassResult& result);
  // Worker thread: names the link folders that stopped answering.
  void NoticeSilentLinks(const PassResult& result);
  // The first-use and no-link-folder messages, once the worker runs.
  void ShowStartNotices();
  // The status line: tray trouble, the monitor's changed settings, what the
  // last pass reported.
  void UpdateStatus();
  void ApplyPopup();
  void RunOperation(RowOperation operation);
  // Row buttons off while an operation runs, on again at its end.
  void SetOperating(bool on);
  void AddTrayIcon();
  QMessageBox::StandardButton Ask(const QString& text, QMessageBox::StandardButtons buttons);

  WindowParts parts_;
  ImpListModel model_;
  ViewerSettings settings_;
  std::string computer_;
  QTableView* table_ = nullptr;
  QLabel* lastUpdate_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* fromBinder_ = nullptr;
  std::vector<QPushButton*> rowButtons_;
  bool operating_ = false;
  bool trayShown_ = false;
  bool quitting_ = false;
  QString trayNote_;
  QString passNotes_;                     // what the last pass that ran reported
  bool monitorChanged_ = false;           // the monitor's settings were saved after the viewer's
  std::vector<std::string> silentShown_;  // worker thread only: silent link folders already named
  int passes_ = 0;

  std::thread worker_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> runNow_{false};
  std::atomic<bool> cleanFirst_{false};
  std::atomic<bool> updateAsked_{false};
  std::atomic<bool> held_{false};  // settings dialog open or a row operation running
  std::atomic<bool> busy_{false};  // the worker is in a pass
};

}  // namespace zv::implist::ui
