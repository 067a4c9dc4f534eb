// The local socket between a running program and a later copy of it: the
// later copy sends one request line and waits for "ok".
#pragma once

#include <QLocalServer>
#include <QObject>
#include <functional>
#include <string>
#include <vector>

namespace zv::ui {

class InstanceServer : public QObject {
  Q_OBJECT
 public:
  using Handler = std::function<void(const std::string& request)>;
  // Every request is answered and traced under `traceTag`; only the words in
  // `requests` reach the handler.
  InstanceServer(std::string traceTag, std::vector<std::string> requests, Handler handler, QObject* parent = nullptr);
  // Listens on `name`; a socket left behind by a crashed instance is removed
  // first (the caller holds the single-instance lock, so it is stale).
  bool Listen(const std::string& name);

 private:
  void OnConnection();
  std::string traceTag_;
  std::vector<std::string> requests_;
  Handler handler_;
  QLocalServer server_;
};

// Sends one request and waits up to timeoutMs for the answer. True when the
// running instance confirmed it. Blocking: call it off the window thread or
// from a program without a window.
bool SendInstanceRequest(const std::string& name, const std::string& request, int timeoutMs = 3000);

}  // namespace zv::ui
