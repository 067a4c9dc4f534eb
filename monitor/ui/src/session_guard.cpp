#include "monitor/ui/session_guard.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QSessionManager>

#include "companion/common.h"
#include "companion/trace.h"
#include "monitor/settings/status.h"
#include "monitor/ui/texts.h"

namespace zv::monitor::ui {

namespace {

void Trace(const std::string& text) { ZV_TRACE("_Hopvale", text); }

class LogindInhibitor : public Inhibitor {
 public:
  bool Acquire(const std::string& what, const std::string& who, const std::string& why,
               const std::string& mode) override {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return false;
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    if (!manager.isValid()) return false;
    QDBusReply<QDBusUnixFileDescriptor> reply =
        manager.call(QStringLiteral("Inhibit"), QString::fromStdString(what), QString::fromStdString(who),
                     QString::fromStdString(why), QString::fromStdString(mode));
    if (!reply.isValid()) {
      Trace("SessionGuard: Inhibit(" + mode + ") refused: " + reply.error().message().toStdString());
      return false;
    }
    fd_ = reply.value();  // holding the descriptor holds the lock
    return fd_.isValid();
  }
  void Release() override { fd_ = QDBusUnixFileDescriptor(); }

 private:
  QDBusUnixFileDescriptor fd_;
};

}  // namespace

std::unique_ptr<Inhibitor> MakeLogindInhibitor() { return std::make_unique<LogindInhibitor>(); }

SessionGuard::SessionGuard(EnvFiles env, std::unique_ptr<Inhibitor> inhibitor, QObject* parent)
    : QObject(parent), env_(std::move(env)), inhibitor_(std::move(inhibitor)) {
  connect(&poll_, &QTimer::timeout, this, [this] { Update(GetMonitorState(env_) == 1); });
}

void SessionGuard::StartPolling(int intervalMs) { poll_.start(intervalMs); }

void SessionGuard::Update(bool importing) {
  if (!importing) {
    refused_ = false;
    if (held_.empty()) return;
    inhibitor_->Release();
    held_.clear();
    Trace("SessionGuard: shut-down inhibitor released");
    return;
  }
  if (!held_.empty() || refused_) return;
  for (const char* mode : {"block", "delay"}) {
    if (inhibitor_->Acquire("shutdown:sleep", "Hopvale", MonitorText(kIdsQueryEnd), mode)) {
      held_ = mode;
      Trace(std::string("SessionGuard: shut-down inhibitor held (") + mode + ")");
      return;
    }
  }
  // Refused both ways: asked again with the next import, not at every poll.
  refused_ = true;
  Trace("SessionGuard: no shut-down inhibitor could be taken");
}

bool SessionGuard::AllowSessionEnd(bool mayInteract) {
  if (GetMonitorState(env_) != 1) return true;
  if (mayInteract)
    companion::ComShowMessageBox(MonitorText(kIdsQueryEnd), MonitorText(kIdsQueryEndCaption),
                                 companion::kMbOk | companion::kMbIconWarning | companion::kMbTopMost);
  Trace("SessionGuard: log-off refused while files are imported");
  return false;
}

#ifndef QT_NO_SESSIONMANAGER
void SessionGuard::OnCommitDataRequest(QSessionManager& manager) {
  const bool interact = manager.allowsInteraction();
  const bool allowed = AllowSessionEnd(interact);
  if (interact) manager.release();
  if (!allowed) manager.cancel();
}
#endif

}  // namespace zv::monitor::ui
