// The monitor's hidden main frame: the status cell, the tray icon and its
// menu, the version dialog and the watch thread.
#pragma once

#include <QDialog>
#include <QMenu>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "monitor/settings/text_ids.h"
#include "monitor/ui/qt_shell.h"
#include "monitor/ui/settings_sheet.h"
#include "monitor/ui/tray_icon.h"
#include "monitor/watch/engine.h"
#include "platform/process.h"

namespace zv::monitor::ui {

// Menu commands: each is the id of its menu item's text.
inline constexpr int kCmdStop = kIdsMenuStop;
inline constexpr int kCmdStart = kIdsMenuStart;
inline constexpr int kCmdSetting = kIdsMenuSetting;
inline constexpr int kCmdFileList = kIdsMenuFileList;
inline constexpr int kCmdExit = kIdsExit;                 // 0xE141
inline constexpr int kCmdAbout = kIdsVersionInformation;  // 0xE140

// Fills the tray menu in its order ("Setting..." as the default item,
// "File List...", separator, "Start", "Stop", "Exit", separator, "Version
// Information"), enables Start only when stopped and Stop only while
// watching (0, 3, 4), and leaves "File List..." out when the import list is
// not offered. Each action carries its command id as data.
void BuildTrayMenu(QMenu& menu, int status, bool impListEnabled);

// The version dialog: product name, version, user (at most 20 characters)
// and company.
class CVersionDlg : public QDialog {
  Q_OBJECT
 public:
  CVersionDlg(const std::string& productName, const std::string& version, const std::string& user,
              const std::string& company, QWidget* parent = nullptr);
};

// Ways to run the menu and the modal dialogs (replaced in the tests).
struct FrameHooks {
  // Shows the menu at the cursor; the chosen action or nullptr.
  std::function<QAction*(QMenu&)> runMenu;
  std::function<int(QDialog&)> runDialog;
  // How the settings sheet is run (its `run` member; the rest is the frame's).
  SheetHooks sheet;
};

class CMainFrame : public QWidget, public TrayOwner {
  Q_OBJECT
 public:
  // Reads the options, the setting array and the status of the program
  // folder, opens the monitor log and clears the temporary folder.
  CMainFrame(const std::string& programFolder, std::unique_ptr<TrayBackend> backend, FrameHooks hooks = {});
  ~CMainFrame() override;

  // Shows the tray icon and starts watching (when `startWatch`). False when
  // the icon could not be shown although a notification area exists and the
  // monitor is not in service mode (kIdsTrayFailed was shown).
  bool OnCreate(bool startWatch = true);
  void OnCommand(int id);
  // StopWatch and the work-desk refresh; runs once.
  void CloseActions();
  // A second instance's request ("raise" or "settings").
  void OnInstanceRequest(const std::string& request);
  // Opens the settings dialog when the monitor is neither importing nor
  // showing a dialog ("-p").
  void OpenSettingsRequest();

  // TrayOwner
  int TrayMonitorState() override;
  void SetMenuOpen(bool open) override;
  bool SettingsSheetOpen() override;
  void BringSettingsForward() override;
  void RunTrayMenu() override;
  void RunSettingsFromTray() override;

  WatchFrame& watchFrame() { return frame_; }
  CTrayIcon& tray() { return tray_; }
  QtShell& shell() { return shell_; }
  int status() const { return frame_.status.load(); }
  bool serviceMode() const { return frame_.published.Get()->serviceMode == 1; }

 signals:
  void exitRequested();

 private:
  void SetStatus(int status);
  void ShowVersion();
  void OpenFileList();
  void RunSettingsSheet(const char* from, SheetStart start = SheetStart::First);

  WatchFrame frame_;
  CTrayIcon tray_;
  QtShell shell_;
  FrameHooks hooks_;
  SheetHooks sheetHooks_;
  WatchThread watch_;
  std::optional<platform::Process> viewer_;
  std::string tempFolder_;
  bool closed_ = false;
};

}  // namespace zv::monitor::ui
