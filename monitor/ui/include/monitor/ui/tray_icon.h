// The notification-area icon of the monitor: CTrayIcon on a tray backend
// (ui/common/tray_backend.h).
#pragma once

#include <QIcon>
#include <QObject>
#include <memory>
#include <string>

#include "monitor/settings/env_files.h"
#include "monitor/watch/shell.h"
#include "ui/common/tray_backend.h"

namespace zv::monitor::ui {

// Icon identifier of the tray icon and its menu.
inline constexpr int kTrayIconId = 20003;

// The image of an icon id (an empty icon for an unknown id).
QIcon LoadTrayIcon(int iconId);
// Icon id (kIcon..., monitor/watch/shell.h) of a monitor status: the online
// icon for 0, 3 and 4 (kIconOnlineService in service mode, else kIconOnline),
// kIconOffline for 1, kIconImporting for 2, kIconError otherwise.
int StatusIconId(int status, bool serviceMode);
// Tooltip text: product name + " - " + status word.
std::string StatusTooltip(const std::string& productName, int status);

// The notification area itself is the shared backend.
using zv::ui::QtTrayBackend;
using zv::ui::TrayBackend;
using zv::ui::TrayEvent;

// The frame side of the icon's notifications.
class TrayOwner {
 public:
  virtual ~TrayOwner() = default;
  virtual int TrayMonitorState() = 0;       // GetMonitorState
  virtual void SetMenuOpen(bool open) = 0;  // the process-wide menu-open mark
  virtual bool SettingsSheetOpen() = 0;
  virtual void BringSettingsForward() = 0;
  virtual void RunTrayMenu() = 0;
  virtual void RunSettingsFromTray() = 0;  // PropertyFlag around the sheet
};

class CTrayIcon : public QObject {
  Q_OBJECT
 public:
  explicit CTrayIcon(std::unique_ptr<TrayBackend> backend, QObject* parent = nullptr);
  ~CTrayIcon() override;

  void SetOwner(TrayOwner* owner) { owner_ = owner; }
  // Modify first; else up to [Option] RetryNum (5 to 1000, else 5) adds,
  // 500 ms apart, with a modify after a time-out. True when shown.
  bool Create(const EnvFiles& env, const std::string& tooltip, int iconId);
  // Modify; else up to 5 adds as in Create.
  bool Restore();
  // At most 127 bytes, cut on a character boundary; nothing while hidden.
  void SetTooltip(const std::string& text);
  void SetIcon(int iconId);
  // Modify with the current data; false when the icon is gone.
  bool Refresh();
  void ShowBalloon(const std::string& text, const std::string& title, int seconds);
  void HideBalloon();
  void Remove();
  // Right click and double click rules; 1 when handled.
  int OnTrayNotification(TrayEvent event);

  bool visible() const { return visible_; }
  bool available() const { return backend_->Available(); }
  const std::string& tooltip() const { return tooltip_; }
  int iconId() const { return iconId_; }
  const std::string& balloonTitle() const { return balloonTitle_; }
  const std::string& balloonText() const { return balloonText_; }
  TrayBackend& backend() { return *backend_; }

 signals:
  void balloonClicked();

 private:
  bool AddWithRetries(int tries);
  bool ModifyNow();

  std::unique_ptr<TrayBackend> backend_;
  TrayOwner* owner_ = nullptr;
  bool visible_ = false;
  std::string tooltip_;
  int iconId_ = 0;
  std::string balloonTitle_, balloonText_;
};

}  // namespace zv::monitor::ui
