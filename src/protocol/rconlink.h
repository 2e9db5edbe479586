#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QtGlobal>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/rconsession.h"

class QTcpSocket;

// The TCP console of one server over a QTcpSocket, for the window and the chat companion: a thin
// driver of RconSession (rconsession.h), which decides everything. It connects only to the
// address it was made for. Each command's end comes as the signal `finished`, always from the
// message loop, never from inside Submit or Authenticate.
class RconLink : public QObject {
  Q_OBJECT

 public:
  // Bytes of a connection beyond the one packet the session frames are left in the system.
  static constexpr qint64 ReadBufferBytes = 64 * 1024;

  // `timeout`: how long each command may take, connecting and authenticating included.
  RconLink(const QHostAddress& address, quint16 port, std::string password, Micros timeout,
           QObject* parent = nullptr);
  ~RconLink() override;

  // Takes over an open connection to the same server (the console race's), nothing sent on it.
  void Adopt(QTcpSocket* socket);
  std::uint64_t Submit(const std::string& command);
  // Opens the connection and has the password taken, without a command.
  std::uint64_t Authenticate();

  bool Refused() const { return session_.Refused(); }
  std::vector<std::string> TakeNotes() { return session_.TakeNotes(); }

  // Bytes written and read since the last call.
  struct Traffic {
    qint64 sent = 0;
    qint64 received = 0;
  };
  Traffic TakeTraffic();

 signals:
  void finished(const RconResult& result);

 private:
  // `open`: the socket is connected already.
  void Watch(QTcpSocket* socket, bool open);
  void Drop();
  void Open();
  void FindClose();
  void ReadAvailable();
  void Drive();
  void DriveLater();
  void Write(const std::string& bytes);

  QHostAddress address_;
  quint16 port_;
  RconSession session_;
  QTcpSocket* socket_ = nullptr;
  // The socket's connection was made; an error before that is a failed connect.
  bool open_ = false;
  QTimer wake_;
  bool driving_ = false;
  Traffic traffic_;
};
