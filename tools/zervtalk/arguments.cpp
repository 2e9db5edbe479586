#include "arguments.h"

#include <unistd.h>

#include <QHostAddress>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>

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

// The value of option `name` at `at` ("--name V" or "--name=V"), moving past it; nothing when
// the option is not there. A missing value is an error.
std::optional<std::string> OptionValue(const std::vector<std::string>& arguments, std::size_t& at,
                                       const std::string& name, std::string& error) {
  const std::string& argument = arguments[at];
  if (argument == name) {
    if (at + 1 == arguments.size()) error = name + " wants a value";
    at = std::min(at + 2, arguments.size());
    return error.empty() ? arguments[at - 1] : std::string();
  }
  if (!StartsWith(argument, name + "=")) return std::nullopt;
  ++at;
  return argument.substr(name.size() + 1);
}

// Reads "--log-port N", "--password-fd FD" or "--console udp|tcp" at `at`, moving past it.
// False when none is there.
bool ReadOption(const std::vector<std::string>& arguments, std::size_t& at, TalkArguments& read,
                std::string& error) {
  if (const std::optional<std::string> value = OptionValue(arguments, at, "--log-port", error)) {
    const std::optional<std::uint16_t> port = ReadPort(*value);
    if (!port && error.empty()) error = "--log-port wants a port from 1 to 65535";
    read.logPort = port.value_or(read.logPort);
    return true;
  }
  if (const std::optional<std::string> value = OptionValue(arguments, at, "--password-fd", error)) {
    std::int32_t descriptor = -1;
    if ((!TryStrToInt(*value, descriptor) || descriptor < 0) && error.empty())
      error = "--password-fd wants a descriptor number";
    read.passwordFd = descriptor;
    return true;
  }
  if (const std::optional<std::string> value = OptionValue(arguments, at, "--console", error)) {
    read.console = ConsoleKindNamed(*value);
    if (!read.console && error.empty()) error = "--console wants udp or tcp";
    return true;
  }
  return false;
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
  if (!arguments.empty() && arguments[0] == "--version") {
    read.version = true;
    return read;
  }
  std::size_t at = 0;
  std::vector<std::string> values;
  while (at < arguments.size() && values.size() < 4 && error.empty()) {
    if (ReadOption(arguments, at, read, error)) continue;
    const std::string& argument = arguments[at++];
    values.push_back(StartsWith(argument, "-") ? argument.substr(1) : argument);
  }
  while (at < arguments.size() && error.empty())
    if (!ReadOption(arguments, at, read, error)) values.back() += ' ' + arguments[at++];
  if (!error.empty()) return std::nullopt;
  if (values.size() < 3) {
    error = "HOST, PORT and CHALLENGE are needed";
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
  read.passwordOnCommandLine = values.size() == 4;
  if (read.passwordOnCommandLine) read.password = values[3];
  return read;
}

std::optional<std::string> CheckedPassword(std::string password, std::string& error) {
  if (password.size() >= 2 && password.compare(password.size() - 2, 2, "\r\n") == 0)
    password.resize(password.size() - 2);
  else if (!password.empty() && password.back() == '\n')
    password.pop_back();
  if (password.size() > MaxPasswordBytes) {
    error = "the password is longer than " + std::to_string(MaxPasswordBytes) + " bytes";
    return std::nullopt;
  }
  if (password.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    error = "the password holds a line break or a zero byte";
    return std::nullopt;
  }
  return password;
}

std::optional<std::string> ReadPasswordFrom(int descriptor, std::string& error) {
  std::string password;
  char buffer[MaxPasswordBytes + 3];
  // One byte past the longest password with its line end tells that it is too long.
  while (password.size() <= MaxPasswordBytes + 2) {
    const ssize_t got = read(descriptor, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = "cannot read the password from descriptor " + std::to_string(descriptor) + ": " +
              std::strerror(errno);
      return std::nullopt;
    }
    if (got == 0) break;
    password.append(buffer, static_cast<std::size_t>(got));
  }
  close(descriptor);
  return CheckedPassword(std::move(password), error);
}
