// The local socket between a running monitor and a later copy: the later copy
// sends one request line ("raise" or "settings") and waits for "ok".
#pragma once

#include <QLocalServer>
#include <QObject>
#include <functional>
#include <string>

namespace zv::monitor::ui {

inline constexpr const char* kRequestRaise = "raise";
inline constexpr const char* kRequestSettings = "settings";

class InstanceServer : public QObject {
  Q_OBJECT
 public:
  using Handler = std::function<void(const std::string& request)>;
  explicit InstanceServer(Handler handler, QObject* parent = nullptr);
  // Listens on `name`; a socket left behind by a crashed instance is removed
  // first (the caller holds the single-instance lock, so it is stale).
  bool Listen(const std::string& name);

 private:
  void OnConnection();
  Handler handler_;
  QLocalServer server_;
};

// Sends one request and waits up to timeoutMs for the answer. True when the
// running instance confirmed it. Blocking: call it off the window thread or
// from a program without a window.
bool SendInstanceRequest(const std::string& name, const std::string& request, int timeoutMs = 3000);

}  // namespace zv::monitor::ui
