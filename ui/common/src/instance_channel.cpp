#include "ui/common/instance_channel.h"

#include <QLocalSocket>

#include <algorithm>

#include "companion/trace.h"

namespace zv::ui {

namespace {
constexpr qint64 kMaxRequestBytes = 256;
}

InstanceServer::InstanceServer(std::string traceTag, std::vector<std::string> requests, Handler handler,
                               QObject* parent)
    : QObject(parent), traceTag_(std::move(traceTag)), requests_(std::move(requests)), handler_(std::move(handler)) {
  connect(&server_, &QLocalServer::newConnection, this, &InstanceServer::OnConnection);
}

bool InstanceServer::Listen(const std::string& name) {
  const QString n = QString::fromStdString(name);
  QLocalServer::removeServer(n);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(n)) {
    ZV_TRACE(traceTag_, "InstanceServer: cannot listen on " + name + ": " + server_.errorString().toStdString());
    return false;
  }
  return true;
}

void InstanceServer::OnConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) {
        // A peer that never ends its line is not kept around.
        if (socket->bytesAvailable() > kMaxRequestBytes) socket->abort();
        return;
      }
      const std::string request = socket->readLine(kMaxRequestBytes).trimmed().toStdString();
      socket->write("ok\n");
      socket->flush();
      socket->disconnectFromServer();
      ZV_TRACE(traceTag_, "InstanceServer: request \"" + request + "\"");
      if (std::find(requests_.begin(), requests_.end(), request) != requests_.end()) handler_(request);
    });
  }
}

bool SendInstanceRequest(const std::string& name, const std::string& request, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(name));
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(QByteArray::fromStdString(request + "\n"));
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  }
  return socket.readLine().trimmed() == "ok";
}

}  // namespace zv::ui
