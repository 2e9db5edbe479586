#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "listeningchild.h"

// The game-server simulator (zerval-gameserver) as a child process on 127.0.0.1. It gets a free
// port unless the arguments name one, and a request log that requests() reads. The child is
// stopped when the object goes.
class SimulatorProcess {
 public:
  struct Request {
    std::uint16_t serverPort = 0;
    bool framed = false;  // four 0xFF bytes, text, one zero byte
    std::string bytes;    // the command text when framed, the body of a TCP console packet, else
                          // the whole datagram
    int tcpType = -1;     // the type of a TCP console packet; -1 for a datagram
  };

  // Starts the simulator and waits for its "listening" line. False, with errorText(), when it
  // exits or stays silent instead.
  bool start(const QStringList& arguments = {}, int timeoutMs = 10000);
  // SIGTERM, then SIGKILL if it does not end in time. True when it ended by itself with code 0.
  bool stop() { return child_.stop(); }

  std::uint16_t port() const { return child_.port(); }  // the first server's port
  QString errorText() const { return child_.errorText(); }
  QProcess* process() const { return child_.process(); }

  // What the servers received so far, in arrival order.
  std::vector<Request> requests() const;
  // Command texts of the framed requests.
  std::vector<std::string> commands() const;
  // Bodies of the TCP console packets of `type` (3 password, 2 command).
  std::vector<std::string> tcpBodies(int type) const;

 private:
  ListeningChild child_;
  QTemporaryDir logDir_;
  QString logPath_;
};
