#include "udppeer.h"

#include <QNetworkDatagram>

std::string UdpPeer::Request::command() const {
  if (bytes.size() < 5) return {};
  return bytes.substr(4, bytes.size() - 5);
}

UdpPeer::UdpPeer() {
  socket_.bind(QHostAddress::LocalHost, 0);
  QObject::connect(&socket_, &QUdpSocket::readyRead, [this] { onReadyRead(); });
}

void UdpPeer::onReadyRead() {
  while (socket_.hasPendingDatagrams()) {
    const QNetworkDatagram datagram = socket_.receiveDatagram();
    Request request{datagram.data().toStdString(), datagram.senderAddress(),
                    static_cast<std::uint16_t>(datagram.senderPort())};
    requests.push_back(request);
    if (!script_) continue;
    for (const std::string& reply : script_(request))
      socket_.writeDatagram(reply.data(), static_cast<qint64>(reply.size()), request.from,
                            request.fromPort);
  }
}

void UdpPeer::sendToLastClient(const std::string& bytes) {
  const Request& last = requests.back();
  socket_.writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()), last.from, last.fromPort);
}

std::vector<std::string> UdpPeer::commands() const {
  std::vector<std::string> result;
  for (const Request& r : requests) result.push_back(r.command());
  return result;
}

std::string Reply(char kind, const std::string& payload) {
  return std::string(4, '\xFF') + kind + payload;
}
