#include "monitor/ui/tray_icon.h"

#include "companion/trace.h"
#include "monitor/settings/catalogue.h"
#include "monitor/settings/status.h"
#include "monitor/ui/tray_app.h"
#include "monitor/watch/shell.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor::ui {

namespace {

constexpr std::size_t kTooltipBytes = 127;
constexpr int kRestoreTries = 5;
constexpr int kRetryPauseMs = 500;

void Trace(const std::string& text) { ZV_TRACE("_Hopvale", text); }

}  // namespace

QIcon LoadTrayIcon(int iconId) {
  InitUiResources();
  const char* name = nullptr;
  switch (iconId) {
    case kIconOnlineService: name = "online-service"; break;
    case kIconBlink: name = "blink"; break;
    case kIconOffline: name = "offline"; break;
    case kIconImporting: name = "importing"; break;
    case kIconOnline: name = "online"; break;
    case kIconError: name = "error"; break;
    case kIconUser: name = "user"; break;
    default: return {};
  }
  return QIcon(QStringLiteral(":/hopvale/icons/%1.svg").arg(QLatin1String(name)));
}

int StatusIconId(int status, bool serviceMode) {
  switch (status) {
    case kStatusOnline:
    case kStatusFaxWatch:
    case kStatusSortWatch: return serviceMode ? kIconOnlineService : kIconOnline;
    case kStatusStopped: return kIconOffline;
    case kStatusImporting: return kIconImporting;
    default: return kIconError;
  }
}

std::string StatusTooltip(const std::string& productName, int status) {
  return productName + " - " + StatusWord(status);
}

// ---- CTrayIcon -----------------------------------------------------------------

CTrayIcon::CTrayIcon(std::unique_ptr<TrayBackend> backend, QObject* parent)
    : QObject(parent), backend_(std::move(backend)) {
  connect(backend_.get(), &TrayBackend::notified, this, [this](TrayEvent e) {
    if (e == TrayEvent::BalloonClick)
      emit balloonClicked();
    else
      OnTrayNotification(e);
  });
}

CTrayIcon::~CTrayIcon() { Remove(); }

bool CTrayIcon::ModifyNow() { return backend_->Modify(LoadTrayIcon(iconId_), QString::fromStdString(tooltip_)); }

// Adds the icon up to `tries` times. The shell may be busy starting up (a
// time-out): then the icon may have arrived anyway, so a modify follows.
bool CTrayIcon::AddWithRetries(int tries) {
  for (int i = 0; i < tries; ++i) {
    if (backend_->Add(LoadTrayIcon(iconId_), QString::fromStdString(tooltip_))) return true;
    const bool timedOut = backend_->LastErrorWasTimeout();
    platform::SleepMs(kRetryPauseMs);
    if (timedOut && ModifyNow()) return true;
  }
  return false;
}

bool CTrayIcon::Create(const EnvFiles& env, const std::string& tooltip, int iconId) {
  tooltip_ = std::string(platform::Utf8CutBytes(tooltip, kTooltipBytes));
  iconId_ = iconId;
  // Without a notification area there is nothing to wait for; the icon is
  // added later when one appears (the watch loop's restore).
  if (!backend_->Available()) {
    visible_ = false;
    return false;
  }
  bool ok = ModifyNow();
  if (!ok) {
    const int tries = ReadMonitorOptions(env.settings, platform::UserName()).retryNum;
    ok = AddWithRetries(tries);
  }
  visible_ = ok;
  if (!ok) Trace("CTrayIcon::Create: the tray icon could not be added");
  return ok;
}

bool CTrayIcon::Restore() {
  bool ok = ModifyNow() || AddWithRetries(kRestoreTries);
  visible_ = ok;
  return ok;
}

void CTrayIcon::SetTooltip(const std::string& text) {
  if (!visible_) return;
  tooltip_ = std::string(platform::Utf8CutBytes(text, kTooltipBytes));
  ModifyNow();
}

void CTrayIcon::SetIcon(int iconId) {
  iconId_ = iconId;
  if (visible_) ModifyNow();
}

bool CTrayIcon::Refresh() {
  if (!visible_) return false;
  visible_ = ModifyNow();
  return visible_;
}

void CTrayIcon::ShowBalloon(const std::string& text, const std::string& title, int seconds) {
  balloonText_ = text;
  balloonTitle_ = title;
  if (!visible_) return;  // a balloon that cannot be shown is ignored
  backend_->ShowMessage(QString::fromStdString(title), QString::fromStdString(text), LoadTrayIcon(kIconUser),
                        seconds * 1000);
}

void CTrayIcon::HideBalloon() {
  balloonText_.clear();
  balloonTitle_.clear();
  backend_->HideMessage();
}

void CTrayIcon::Remove() {
  if (!visible_) return;
  backend_->Remove();
  visible_ = false;
}

int CTrayIcon::OnTrayNotification(TrayEvent event) {
  if (owner_ == nullptr) return 0;
  if (event != TrayEvent::RightClick && event != TrayEvent::LeftDoubleClick) return 0;
  const int state = owner_->TrayMonitorState();
  if (state != 0 && state != 3 && state != 4) return 1;  // importing or a dialog open
  owner_->SetMenuOpen(true);
  if (event == TrayEvent::RightClick) {
    if (owner_->SettingsSheetOpen())
      owner_->BringSettingsForward();
    else
      owner_->RunTrayMenu();
  } else {
    owner_->RunSettingsFromTray();
  }
  owner_->SetMenuOpen(false);
  return 1;
}

}  // namespace zv::monitor::ui
