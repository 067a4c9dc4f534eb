#include "monitor/ui/qt_shell.h"

#include <QThread>

#include "companion/trace.h"
#include "monitor/ui/texts.h"

namespace zv::monitor::ui {

namespace {
constexpr int kBlinkMs = 500;
constexpr int kBlinkSwitches = 3;
}  // namespace

bool BalloonsOn(int showBalloon) { return showBalloon != 0; }

QtShell::QtShell(CTrayIcon& tray, QObject* parent) : QObject(parent), tray_(tray) {
  blinkTimer_.setInterval(kBlinkMs);
  connect(&blinkTimer_, &QTimer::timeout, this, &QtShell::OnBlinkTick);
  balloonTimer_.setSingleShot(true);
  connect(&balloonTimer_, &QTimer::timeout, this, [this] { tray_.HideBalloon(); });
  iconShown_.store(tray_.visible());
  noTray_.store(!tray_.available());
}

void QtShell::SetProduct(std::string productName, bool serviceMode) {
  productName_ = std::move(productName);
  serviceMode_ = serviceMode;
}

void QtShell::SetBalloonOptions(int showBalloon, int timeBalloonSeconds) {
  showBalloon_.store(showBalloon);
  timeBalloon_.store(timeBalloonSeconds >= 1 && timeBalloonSeconds <= 99 ? timeBalloonSeconds : 5);
}

void QtShell::Post(std::function<void()> fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void QtShell::ApplyStatusIcon(int status) {
  if (status < 0 || status > 4) return;  // unknown statuses leave the icon alone
  tray_.SetTooltip(StatusTooltip(productName_, status));
  tray_.SetIcon(StatusIconId(status, serviceMode_));
}

void QtShell::SetStatusIcon(int status) {
  // The watch loop restores the icon with any value it has: an unknown one
  // shows the error icon.
  Post([this, status] {
    if (status < 0 || status > 4) {
      tray_.SetTooltip(StatusTooltip(productName_, status));
      tray_.SetIcon(kIconError);
    } else {
      ApplyStatusIcon(status);
    }
  });
}

void QtShell::SetTooltip(const std::string& text) {
  Post([this, text] { tray_.SetTooltip(text); });
}

bool QtShell::StartBlink() {
  Post([this] {
    blinkSwitches_ = 0;
    tray_.SetIcon(kIconBlink);
    blinkTimer_.start();
  });
  return true;
}

void QtShell::StopBlink() {
  Post([this] { blinkTimer_.stop(); });
}

void QtShell::OnBlinkTick() {
  const int next = tray_.iconId() == kIconBlink ? kIconImporting : kIconBlink;
  tray_.SetIcon(next);
  ++blinkSwitches_;
  if (next == kIconImporting && blinkSwitches_ == 1 && BalloonsOn(showBalloon_.load()))
    ShowBalloonNow(MonitorText(kIdsBalloonText), MonitorText(kIdsImportStarted), timeBalloon_.load());
  if (blinkSwitches_ >= kBlinkSwitches) blinkTimer_.stop();
}

void QtShell::SetIcon(int iconId) {
  Post([this, iconId] { tray_.SetIcon(iconId); });
}

void QtShell::ShowBalloonNow(const std::string& text, const std::string& title, int seconds) {
  if (seconds < 1 || seconds > 99) seconds = 5;
  tray_.ShowBalloon(text, title, seconds);
  balloonTimer_.start(seconds * 1000);
}

void QtShell::ShowBalloon(const std::string& text, const std::string& title, int seconds) {
  // Switched off in the settings dialog: no balloon from here on, even
  // before the watch thread has read the settings again.
  if (!BalloonsOn(showBalloon_.load())) return;
  Post([this, text, title, seconds] { ShowBalloonNow(text, title, seconds); });
}

bool QtShell::KeepIconAlive() {
  if (noTray_.load()) return false;
  Post([this] { iconShown_.store(tray_.Refresh()); });
  return iconShown_.load();
}

bool QtShell::RestoreIcon() {
  // Without a notification area there is nothing to restore; asking again
  // every cycle would only stall the window thread with retry pauses.
  if (noTray_.load()) return false;
  Post([this] {
    if (tray_.visible()) return;
    const bool shown = tray_.Restore();
    iconShown_.store(shown);
    if (!shown) ZV_TRACE("_Hopvale", "QtShell: the tray icon could not be restored");
  });
  return iconShown_.load();
}

}  // namespace zv::monitor::ui
