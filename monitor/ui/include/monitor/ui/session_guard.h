// Log-off and shut-down while files are imported: a logind inhibitor is held
// while the monitor imports, and the desktop session's end request is refused
// with a warning while GetMonitorState is 1.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "monitor/settings/env_files.h"

class QSessionManager;

namespace zv::monitor::ui {

// The system's inhibitor service.
class Inhibitor {
 public:
  virtual ~Inhibitor() = default;
  // Takes an inhibitor lock; false when refused. `mode` is "block" or "delay".
  virtual bool Acquire(const std::string& what, const std::string& who, const std::string& why,
                       const std::string& mode) = 0;
  virtual void Release() = 0;
};

// org.freedesktop.login1 Manager.Inhibit on the system bus.
std::unique_ptr<Inhibitor> MakeLogindInhibitor();

class SessionGuard : public QObject {
  Q_OBJECT
 public:
  SessionGuard(EnvFiles env, std::unique_ptr<Inhibitor> inhibitor, QObject* parent = nullptr);
  // Polls the monitor state every `intervalMs`.
  void StartPolling(int intervalMs = 1000);
  // Holds the inhibitor while `importing`, releases it otherwise.
  void Update(bool importing);
  // The mode held ("block", "delay") or "" when none.
  const std::string& heldMode() const { return held_; }
  // False (after showing the warning box when interaction is allowed) while
  // GetMonitorState is 1.
  bool AllowSessionEnd(bool mayInteract);
#ifndef QT_NO_SESSIONMANAGER
  void OnCommitDataRequest(QSessionManager& manager);
#endif

 private:
  EnvFiles env_;
  std::unique_ptr<Inhibitor> inhibitor_;
  std::string held_;
  bool refused_ = false;
  QTimer poll_;
};

}  // namespace zv::monitor::ui
