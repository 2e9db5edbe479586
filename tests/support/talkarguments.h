#pragma once

#include <cstdint>
#include <string>

#include "arguments.h"

// The companion's arguments for a server, the password already read.
inline TalkArguments TalkArgumentsFor(const std::string& host, std::uint16_t port,
                                      const std::string& challenge, const std::string& password,
                                      std::uint16_t logPort) {
  TalkArguments arguments;
  arguments.host = host;
  arguments.port = port;
  arguments.challenge = challenge;
  arguments.password = password;
  arguments.logPort = logPort;
  return arguments;
}
