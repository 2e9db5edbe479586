#include "arguments.h"

#include <QHostAddress>
#include <QString>

#include "store/stdfuncs.h"

namespace {

std::optional<std::uint16_t> ReadPort(const std::string& text) {
  std::int32_t value = 0;
  if (!TryStrToInt(text, value) || value < 1 || value > 65535) return std::nullopt;
  return std::uint16_t(value);
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.rfind(start, 0) == 0;
}

// Reads "--log-port N" or "--log-port=N" at `at`, moving past it. False when it is not there.
bool ReadOption(const std::vector<std::string>& arguments, std::size_t& at, TalkArguments& read,
                std::string& error) {
  const std::string& argument = arguments[at];
  std::string value;
  if (argument == "--log-port" && at + 1 < arguments.size())
    value = arguments[++at];
  else if (StartsWith(argument, "--log-port="))
    value = argument.substr(11);
  else if (argument == "--log-port")
    error = "--log-port wants a port";
  else
    return false;
  ++at;
  const std::optional<std::uint16_t> port = ReadPort(value);
  if (!port && error.empty()) error = "--log-port wants a port from 1 to 65535";
  read.logPort = port.value_or(read.logPort);
  return true;
}

}  // namespace

std::optional<TalkArguments> ReadArguments(const std::vector<std::string>& arguments,
                                           std::string& error) {
  TalkArguments read;
  // Only in first place: "-h" later on may be a password "h".
  if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
    read.help = true;
    return read;
  }
  std::size_t at = 0;
  while (at < arguments.size() && ReadOption(arguments, at, read, error)) {
  }
  std::vector<std::string> values;
  for (; at < arguments.size() && values.size() < 4; ++at) {
    const std::string& argument = arguments[at];
    values.push_back(StartsWith(argument, "-") ? argument.substr(1) : argument);
  }
  while (at < arguments.size() && error.empty())
    if (!ReadOption(arguments, at, read, error)) values.back() += ' ' + arguments[at++];
  if (!error.empty()) return std::nullopt;
  if (values.size() < 4) {
    error = "four arguments are needed";
    return std::nullopt;
  }
  const QHostAddress host(QString::fromLatin1(values[0].data(), qsizetype(values[0].size())));
  const std::optional<std::uint16_t> port = ReadPort(values[1]);
  if (host.protocol() != QAbstractSocket::IPv4Protocol) {
    error = "HOST must be an IPv4 address, not \"" + values[0] + "\"";
    return std::nullopt;
  }
  if (!port) {
    error = "PORT must be a number from 1 to 65535, not \"" + values[1] + "\"";
    return std::nullopt;
  }
  read.host = host.toString().toStdString();
  read.port = *port;
  read.challenge = values[2];
  read.password = values[3];
  return read;
}
