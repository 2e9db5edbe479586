#include "arguments.h"

#include <QHostAddress>
#include <QString>

#include "app/displaytext.h"
#include "store/stdfuncs.h"

namespace {

std::optional<std::uint16_t> ReadPort(const QString& text) {
  std::int32_t value = 0;
  if (!TryStrToInt(FromDisplay(text), value) || value < 1 || value > 65535) return std::nullopt;
  return std::uint16_t(value);
}

// Reads "--log-port N" or "--log-port=N" at `at`, moving past it. False when it is not there.
bool ReadOption(const QStringList& arguments, int& at, TalkArguments& read, std::string& error) {
  const QString& argument = arguments[at];
  QString value;
  if (argument == "--log-port" && at + 1 < arguments.size())
    value = arguments[++at];
  else if (argument.startsWith("--log-port="))
    value = argument.mid(11);
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

std::optional<TalkArguments> ReadArguments(const QStringList& arguments, std::string& error) {
  TalkArguments read;
  // Only in first place: "-h" later on may be a password "h".
  if (arguments.value(0) == "--help" || arguments.value(0) == "-h") {
    read.help = true;
    return read;
  }
  int at = 0;
  while (at < arguments.size() && ReadOption(arguments, at, read, error)) {
  }
  QStringList values;
  for (; at < arguments.size() && values.size() < 4; ++at) {
    const QString& argument = arguments[at];
    values << (argument.startsWith('-') ? argument.mid(1) : argument);
  }
  while (at < arguments.size() && error.empty())
    if (!ReadOption(arguments, at, read, error)) values.last() += ' ' + arguments[at++];
  if (!error.empty()) return std::nullopt;
  if (values.size() < 4) {
    error = "four arguments are needed";
    return std::nullopt;
  }
  const QHostAddress host(values[0]);
  const std::optional<std::uint16_t> port = ReadPort(values[1]);
  if (host.protocol() != QAbstractSocket::IPv4Protocol) {
    error = "HOST must be an IPv4 address, not \"" + values[0].toStdString() + "\"";
    return std::nullopt;
  }
  if (!port) {
    error = "PORT must be a number from 1 to 65535, not \"" + values[1].toStdString() + "\"";
    return std::nullopt;
  }
  read.host = host.toString().toStdString();
  read.port = *port;
  read.challenge = FromDisplay(values[2]);
  read.password = FromDisplay(values[3]);
  return read;
}
