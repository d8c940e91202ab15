#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <iostream>

namespace kalvist {

namespace {
constexpr int kConnectMs = 500;

QString UserName() {
  return qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));  // Linux; Windows
}
}  // namespace

TSingleInstance::TSingleInstance(const QString& key)
    : name_("kalvist-" + UserName() + "-" +
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
  // Where no server can be made (no writable temporary folder), the program still runs,
  // only unguarded: ending silently would look to the user as if it never started.
  if (!server_.listen(name_)) {
    std::cerr << "kalvist: a second start will not be caught: "
              << server_.errorString().toStdString() << "\n";
  }
  return true;
}

}  // namespace kalvist
