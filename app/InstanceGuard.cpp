#include "InstanceGuard.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {

const QByteArray ActivateRequest = QByteArrayLiteral("Contigra: Activate Window\n");

QString ChannelName() {
  return QString::fromStdString(plat::SingleInstanceChannel(InstanceName));
}

// Tells the running instance to come to the front; a failure is silent,
// the second process ends all the same.
void AskRunningInstance() {
  QLocalSocket socket;
  socket.connectToServer(ChannelName());
  if (!socket.waitForConnected(1000)) return;
  socket.write(ActivateRequest);
  socket.waitForBytesWritten(1000);
  // Wait for the other side to read and hang up, so the request is not
  // lost when this process ends first.
  socket.waitForDisconnected(1000);
}

}  // namespace

TInstanceGuard::TInstanceGuard(QObject* parent) : QObject(parent) {}
TInstanceGuard::~TInstanceGuard() = default;

bool TInstanceGuard::AcquireOrActivate() {
  guard_ = plat::SingleInstance::Create(InstanceName);
  if (!guard_ || !guard_->Take(50)) {
    guard_.reset();
    AskRunningInstance();
    return false;
  }
  // Holding the guard, a socket file left by a crashed holder is stale.
  QLocalServer::removeServer(ChannelName());
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &TInstanceGuard::AcceptConnections);
  server_->listen(ChannelName());
  return true;
}

void TInstanceGuard::AcceptConnections() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      const QByteArray line = socket->readLine();
      if (line == ActivateRequest) emit activateRequested();
      socket->disconnectFromServer();
    });
  }
}
