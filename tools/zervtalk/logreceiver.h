#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QUdpSocket>
#include <cstdint>
#include <string>
#include <vector>

// Whether a log datagram from `source` comes from the server at `server`. A server on this
// machine may send from any of the machine's own addresses (the system picks the one on the
// route to the log address); other loopback addresses such as 127.0.0.2 are not the server.
bool ComesFromServer(const QHostAddress& source, const QHostAddress& server,
                     const std::vector<std::string>& ownAddresses);

// Listens on a UDP port on all of this machine's IPv4 addresses for the server's log lines and
// passes on the lines of the datagrams that come from the server.
class LogReceiver : public QObject {
  Q_OBJECT

 public:
  // Longest datagram taken; a longer one is cut. Log lines are far shorter.
  static constexpr int MaxDatagram = 4096;

  LogReceiver(const QHostAddress& server, std::uint16_t port, QObject* parent = nullptr);
  bool listening() const { return socket_.state() == QAbstractSocket::BoundState; }
  // Why the port could not be opened.
  QString errorText() const { return socket_.errorString(); }

 signals:
  void datagramReceived(const std::string& bytes);

 private:
  void readPending();

  QHostAddress server_;
  std::vector<std::string> ownAddresses_;
  QUdpSocket socket_;
};
