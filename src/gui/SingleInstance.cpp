#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalSocket>

namespace kalvist {

namespace {
constexpr int kConnectMs = 500;
}

TSingleInstance::TSingleInstance(const QString& key)
    : name_("kalvist-" + qEnvironmentVariable("USER") + "-" +
            QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16)) {
  QObject::connect(&server_, &QLocalServer::newConnection, [this] {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
      QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      if (OnActivate) OnActivate();
    }
  });
}

bool TSingleInstance::BecomePrimary() {
  QLocalSocket probe;
  probe.connectToServer(name_);
  if (probe.waitForConnected(kConnectMs)) {
    probe.disconnectFromServer();
    return false;
  }
  // A server name left over from a crashed instance blocks listening.
  QLocalServer::removeServer(name_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  return server_.listen(name_);
}

}  // namespace kalvist
