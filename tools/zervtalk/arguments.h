#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The command line the window's Chat action builds: -HOST -PORT -CHALLENGE -PASSWORD, each value
// behind one minus sign. A password may hold blanks: given as one argument it is taken whole,
// and words after the fourth argument (a launcher that split it) are joined to it by blanks.
struct TalkArguments {
  std::string host;  // an IPv4 address
  std::uint16_t port = 0;
  std::string challenge;
  std::string password;
  std::uint16_t logPort = 3305;  // where the server's log lines arrive
  bool help = false;
};

constexpr char Usage[] =
    "Usage: zervtalk [--log-port N] -HOST -PORT -CHALLENGE -PASSWORD\n"
    "Shows the chat of a game server whose log goes to UDP port N of this machine (default 3305)\n"
    "and says typed lines there through its remote console.\n";

// `arguments` without the program's name, as the bytes they are. Nothing, with the reason, when
// they do not fit.
std::optional<TalkArguments> ReadArguments(const std::vector<std::string>& arguments,
                                           std::string& error);
