#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>

#include "faults.h"

// What a console connection asks of its server.
struct TcpConsoleHost {
  // Whether the password is the console's; a wrong one counts towards a ban.
  std::function<bool(const std::string& password)> authenticate;
  std::function<bool()> banned;
  // Runs a command and returns its output.
  std::function<std::string(const std::string& command)> run;
  // The faults for the password packet ("auth") or a command ("rcon", "rcon:<command>").
  std::function<ReplyPlan(const std::string& command)> planCommand;
  std::function<ReplyPlan()> planAuth;
  std::function<void(std::int32_t type, const std::string& body)> record;
};

// One connection of the TCP console as today's servers speak it: packets of an int32 size, an
// int32 id, an int32 type, the body and two zero bytes, little-endian. The password (type 3) is
// answered with an empty value and the answer (type 2, id -1 when refused); a command (type 2) with
// its output in packets of at most 4096 body bytes under its id; an empty value (type 0) is
// mirrored, followed by one more packet under its id. The connection deletes itself when closed.
class TcpConsoleConnection : public QObject {
 public:
  TcpConsoleConnection(QTcpSocket* socket, TcpConsoleHost host, QObject* parent);

 private:
  void readPending();
  void take(std::int32_t id, std::int32_t type, const std::string& body);
  void answerPassword(std::int32_t id, const std::string& password);
  void answerCommand(std::int32_t id, const std::string& command);
  void send(const QByteArray& bytes);
  void trickleOne();
  void keepFlooding();

  QTcpSocket* socket_;
  TcpConsoleHost host_;
  QByteArray buffer_;
  bool authenticated_ = false;
  bool skipMarker_ = false;
  QTimer trickle_;
  QByteArray trickling_;
  QTimer flood_;
  std::int32_t floodId_ = 0;
};
