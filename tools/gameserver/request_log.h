#pragma once

#include <QFile>
#include <QString>
#include <cstdint>
#include <string>

// Bytes as readable text: '"' and '\' get a backslash, bytes outside 0x20..0x7E read \xHH.
std::string EscapeBytes(const std::string& bytes);

// Every request received, one line each, appended and flushed at once so that a test can read
// the wire order while the server runs: `<server port> "<command text>"` for a framed request,
// `<server port> unterminated "<command text>"` for one without its closing zero byte,
// `<server port> steam "<whole datagram>"` for a Steam-era request, `<server port> malformed
// "<whole datagram>"` for anything else; `<server port> tcp <type> "<body>"` for a packet of the
// TCP console.
class RequestLog {
 public:
  bool Open(const QString& path, QString& error);
  void Record(std::uint16_t serverPort, const std::string& datagram);
  void RecordTcp(std::uint16_t serverPort, std::int32_t type, const std::string& body);

 private:
  void Write(const std::string& line);

  QFile file_;
};
