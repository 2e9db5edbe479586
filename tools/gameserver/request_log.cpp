#include "request_log.h"

#include <cstdio>
#include <optional>

#include "replies.h"

std::string EscapeBytes(const std::string& bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (byte >= 0x20 && byte <= 0x7E) {
      text += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      text += hex;
    }
  }
  return text;
}

bool RequestLog::Open(const QString& path, QString& error) {
  file_.setFileName(path);
  if (file_.open(QIODevice::Append | QIODevice::Text)) return true;
  error = "cannot open the log " + path + ": " + file_.errorString();
  return false;
}

void RequestLog::Record(std::uint16_t serverPort, const std::string& datagram) {
  if (!file_.isOpen()) return;
  const bool steam = ParseSteamRequest(datagram).has_value();
  const std::optional<std::string> command = steam ? std::nullopt : RequestCommand(datagram);
  const bool unterminated = !datagram.empty() && datagram.back() != '\0';
  const char* const tag = steam          ? " steam \""
                          : !command     ? " malformed \""
                          : unterminated ? " unterminated \""
                                         : " \"";
  Write(std::to_string(serverPort) + tag + EscapeBytes(command ? *command : datagram) + "\"\n");
}

void RequestLog::RecordTcp(std::uint16_t serverPort, std::int32_t type, const std::string& body) {
  if (!file_.isOpen()) return;
  Write(std::to_string(serverPort) + " tcp " + std::to_string(type) + " \"" + EscapeBytes(body) +
        "\"\n");
}

void RequestLog::Write(const std::string& line) {
  file_.write(line.data(), qint64(line.size()));
  file_.flush();
}
