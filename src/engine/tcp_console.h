#pragma once

#include <string>
#include <vector>

#include "engine/server_address.h"
#include "engine/tcp_connection.h"
#include "protocol/rconsession.h"

// The TCP console of one server driven with poll(): one RconSession on one connection, for as
// many commands as the caller runs, one after the other. The connection goes only to the address
// it was made for.
class TcpConsole {
 public:
  // `timeout`: how long each command may take, connecting and authenticating included.
  TcpConsole(const ServerAddress& address, std::string password, Micros timeout);

  // Takes over a connection to the same server that is already open.
  void Adopt(TcpConnection connection);
  // Runs one command to its end.
  RconResult Run(const std::string& command);

  bool Refused() const { return session_.Refused(); }
  // The session's debug lines so far.
  std::vector<std::string> TakeNotes() { return session_.TakeNotes(); }

 private:
  void CarryOut();
  void ReadWaiting();

  ServerAddress address_;
  RconSession session_;
  TcpConnection connection_;
};
