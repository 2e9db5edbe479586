#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/consolerace.h"

// The command line: -HOST -PORT -CHALLENGE, each value behind one minus sign, and the console
// password from the descriptor given by --password-fd (the window's Chat action hands it over
// through an inherited pipe) or from the environment variable ZERVAL_RCON_PASSWORD. The older
// form with the password as a fourth argument still works, but every user of the machine can
// read a command line. A password given there may hold blanks: given as one argument it is
// taken whole, and words after the fourth argument (a launcher that split it) are joined to it
// by blanks.
struct TalkArguments {
  std::string host;  // an IPv4 address
  std::uint16_t port = 0;
  std::string challenge;
  std::string password;
  std::uint16_t logPort = 3305;  // where the server's log lines arrive
  std::optional<int> passwordFd;
  // The console the server speaks, as the window found it; none: found by a race at the start.
  std::optional<ConsoleKind> console;
  bool passwordOnCommandLine = false;
  bool help = false;
  bool version = false;
};

constexpr char PasswordVariable[] = "ZERVAL_RCON_PASSWORD";
// Longest password read from a descriptor or the environment.
constexpr std::size_t MaxPasswordBytes = 255;

constexpr char Usage[] =
    "Usage: zervtalk [--log-port N] [--password-fd FD] [--console udp|tcp] -HOST -PORT -CHALLENGE\n"
    "   or: zervtalk [--log-port N] [--console udp|tcp] -HOST -PORT -CHALLENGE -PASSWORD\n"
    "Shows the chat of a game server whose log goes to UDP port N of this machine (default 3305)\n"
    "and says typed lines there through its remote console. The console password is read from\n"
    "descriptor FD, else from the environment variable ZERVAL_RCON_PASSWORD; as an argument it\n"
    "is visible to every user of the machine.\n"
    "  --console udp|tcp  the server's console: the classic one in UDP datagrams, or today's\n"
    "                     over TCP; without it both are tried, and a challenge reply wins\n"
    "  --help             print this help and exit\n"
    "  --version          print the version and exit\n";

// `arguments` without the program's name, as the bytes they are. Nothing, with the reason, when
// they do not fit.
std::optional<TalkArguments> ReadArguments(const std::vector<std::string>& arguments,
                                           std::string& error);

// The password behind a descriptor: its bytes up to the end, one line end at the end left off.
// Nothing, with the reason, for a password that cannot be read, is longer than MaxPasswordBytes
// or holds a line break or a zero byte, as no console line could carry it.
std::optional<std::string> ReadPasswordFrom(int descriptor, std::string& error);
// The same rules for a password from the environment.
std::optional<std::string> CheckedPassword(std::string password, std::string& error);
