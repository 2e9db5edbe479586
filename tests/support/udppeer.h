#pragma once

#include <QHostAddress>
#include <QUdpSocket>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A game server played by the test: a UDP socket on 127.0.0.1 that records every request and
// answers through a script run on the event loop.
class UdpPeer {
 public:
  struct Request {
    std::string bytes;
    QHostAddress from;
    std::uint16_t fromPort = 0;
    // The command text of a framed request: without the four 0xFF bytes and the closing zero.
    std::string command() const;
  };
  // Returns the datagrams to send back (none = stay silent).
  using Script = std::function<std::vector<std::string>(const Request&)>;

  UdpPeer();
  std::uint16_t port() const { return socket_.localPort(); }
  void setScript(Script script) { script_ = std::move(script); }
  // Sends a datagram to where the last request came from (a late or unasked reply).
  void sendToLastClient(const std::string& bytes);
  std::vector<std::string> commands() const;

  std::vector<Request> requests;

 private:
  void onReadyRead();
  QUdpSocket socket_;
  Script script_;
};

// A reply datagram: four 0xFF bytes, then the kind byte and the payload.
std::string Reply(char kind, const std::string& payload);
