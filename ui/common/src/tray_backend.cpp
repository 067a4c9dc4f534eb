#include "ui/common/tray_backend.h"

namespace zv::ui {

QtTrayBackend::QtTrayBackend() {
  connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
      case QSystemTrayIcon::Context: emit notified(TrayEvent::RightClick); break;
      case QSystemTrayIcon::DoubleClick: emit notified(TrayEvent::LeftDoubleClick); break;
      case QSystemTrayIcon::Trigger: emit notified(TrayEvent::LeftClick); break;
      default: emit notified(TrayEvent::Other); break;
    }
  });
  connect(&icon_, &QSystemTrayIcon::messageClicked, this, [this] { emit notified(TrayEvent::BalloonClick); });
}

bool QtTrayBackend::Available() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool QtTrayBackend::Add(const QIcon& icon, const QString& tooltip) {
  if (!Available()) return false;
  icon_.setIcon(icon);
  icon_.setToolTip(tooltip);
  icon_.show();
  return icon_.isVisible();
}

bool QtTrayBackend::Modify(const QIcon& icon, const QString& tooltip) {
  if (!Available() || !icon_.isVisible()) return false;
  icon_.setIcon(icon);
  icon_.setToolTip(tooltip);
  return true;
}

void QtTrayBackend::Remove() { icon_.hide(); }

void QtTrayBackend::ShowMessage(const QString& title, const QString& text, const QIcon& icon, int ms) {
  if (icon_.isVisible()) icon_.showMessage(title, text, icon, ms);
}

}  // namespace zv::ui
