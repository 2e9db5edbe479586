#include "logreceiver.h"

#include <QByteArray>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/ownaddresses.h"

namespace {

bool IsOwnAddress(const QHostAddress& address, const std::vector<std::string>& ownAddresses) {
  const std::string text = address.toString().toStdString();
  return std::find(ownAddresses.begin(), ownAddresses.end(), text) != ownAddresses.end();
}

}  // namespace

bool ComesFromServer(const QHostAddress& source, const QHostAddress& server,
                     const std::vector<std::string>& ownAddresses) {
  const QHostAddress v4(source.toIPv4Address());
  if (v4 == server) return true;
  const bool serverHere = server.isLoopback() || IsOwnAddress(server, ownAddresses);
  return serverHere && IsOwnAddress(v4, ownAddresses);
}

LogReceiver::LogReceiver(const QHostAddress& server, std::uint16_t port, QObject* parent)
    : QObject(parent), server_(server), ownAddresses_(OwnIPv4Addresses()) {
  connect(&socket_, &QUdpSocket::readyRead, this, &LogReceiver::readPending);
  socket_.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress);
}

void LogReceiver::readPending() {
  QByteArray buffer(MaxDatagram, '\0');
  while (socket_.hasPendingDatagrams()) {
    QHostAddress source;
    const qint64 size = socket_.readDatagram(buffer.data(), buffer.size(), &source);
    if (size < 0 || !ComesFromServer(source, server_, ownAddresses_)) continue;
    emit datagramReceived(std::string(buffer.constData(), std::size_t(size)));
  }
}
