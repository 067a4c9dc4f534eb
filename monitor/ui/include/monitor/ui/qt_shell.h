// The watch engine's shell on the tray icon. Every call may come from the
// watch thread; it is queued into the window thread, which alone touches the
// icon. Nothing here ever waits for the window thread: that thread may be
// joining the watch thread at the same moment.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <string>

#include "monitor/ui/tray_icon.h"
#include "monitor/watch/shell.h"

namespace zv::monitor::ui {

class QtShell : public QObject, public WatchShell {
  Q_OBJECT
 public:
  // `tray` lives in the window thread, as does this object.
  explicit QtShell(CTrayIcon& tray, QObject* parent = nullptr);

  // Product name of the tooltips and the service-mode icon choice (before
  // the watch thread starts).
  void SetProduct(std::string productName, bool serviceMode);
  // Balloon switches ([Option] ShowBalloon, TimeBalloon as read).
  void SetBalloonOptions(int showBalloon, int timeBalloonSeconds);

  // WatchShell
  void SetStatusIcon(int status) override;
  void SetTooltip(const std::string& text) override;
  bool StartBlink() override;
  void StopBlink() override;
  void SetIcon(int iconId) override;
  void ShowBalloon(const std::string& text, const std::string& title, int seconds) override;
  bool KeepIconAlive() override;
  bool RestoreIcon() override;
  bool MenuOpen() const override { return menuOpen_.load(); }
  bool SettingsOpen() const override { return settingsOpen_.load(); }

  void SetMenuOpen(bool open) { menuOpen_.store(open); }
  void SetSettingsOpen(bool open) { settingsOpen_.store(open); }
  // Called in the window thread after the frame changed the icon itself.
  void NoteIconShown(bool shown) { iconShown_.store(shown); }
  // Whether a notification area exists (polled by the window thread).
  void NoteTrayAvailable(bool available) { noTray_.store(!available); }

  // Window-thread parts (timers 1001 and 1002).
  void ApplyStatusIcon(int status);
  bool blinking() const { return blinkTimer_.isActive(); }
  bool balloonShown() const { return balloonTimer_.isActive(); }
  int blinkIntervalMs() const { return blinkTimer_.interval(); }
  int balloonTimeoutMs() const { return balloonTimer_.interval(); }

 private:
  // Runs fn in the window thread (at once when already there).
  void Post(std::function<void()> fn);
  void OnBlinkTick();
  void ShowBalloonNow(const std::string& text, const std::string& title, int seconds);

  CTrayIcon& tray_;
  std::string productName_;
  bool serviceMode_ = false;
  std::atomic<int> showBalloon_{-1};
  std::atomic<int> timeBalloon_{5};
  std::atomic<bool> menuOpen_{false};
  std::atomic<bool> settingsOpen_{false};
  std::atomic<bool> iconShown_{false};
  std::atomic<bool> noTray_{false};
  QTimer blinkTimer_;    // 1001
  QTimer balloonTimer_;  // 1002
  int blinkSwitches_ = 0;
};

// Balloons shown for [Option] ShowBalloon: 1 and above yes, 0 no; -1 ("not
// yet chosen") counts as yes, as on any desktop with a notification area.
bool BalloonsOn(int showBalloon);

}  // namespace zv::monitor::ui
