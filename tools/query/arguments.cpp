#include "arguments.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

constexpr std::int32_t MaxTimeoutMs = 600000;

std::chrono::milliseconds ParseTimeout(const std::string& text) {
  std::int32_t value = 0;
  if (!TryStrToInt(text, value) || value < 1 || value > MaxTimeoutMs)
    throw EZerval("--timeout needs milliseconds from 1 to " + std::to_string(MaxTimeoutMs) +
                  ", not \"" + text + "\"");
  return std::chrono::milliseconds(value);
}

// The value after an option; raises when the arguments end before it.
const std::string& ValueOf(const std::vector<std::string>& arguments, std::size_t& at,
                           const std::string& option, const char* what) {
  if (at + 1 >= arguments.size()) throw EZerval(option + " needs " + what);
  return arguments[++at];
}

}  // namespace

QueryArguments ParseArguments(const std::vector<std::string>& arguments) {
  QueryArguments result;
  bool console = false;
  bool list = false;
  bool help = false;
  std::vector<std::string> targets;
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const std::string& argument = arguments[at];
    if (argument == "--help" || argument == "-h") {
      help = true;
    } else if (argument == "--json") {
      result.json = true;
    } else if (argument == "--a2s") {
      result.protocol = WireProtocol::A2s;
    } else if (argument == "--timeout") {
      result.timeout = ParseTimeout(ValueOf(arguments, at, argument, "milliseconds"));
    } else if (argument == "--rcon") {
      if (console) throw EZerval("--rcon given twice");
      console = true;
      result.password = ValueOf(arguments, at, argument, "a password and a command");
      result.command = ValueOf(arguments, at, argument, "a command after the password");
    } else if (argument == "--list") {
      if (list) throw EZerval("--list given twice");
      list = true;
      result.listFile = ValueOf(arguments, at, argument, "a server list file");
    } else if (argument.size() > 1 && argument[0] == '-') {
      throw EZerval("unknown option \"" + argument + "\"");
    } else {
      targets.push_back(argument);
    }
  }
  if (help) return QueryArguments{};
  if (list && console) throw EZerval("--list and --rcon cannot be combined");
  if (list) {
    if (!targets.empty()) throw EZerval("--list takes no HOST:PORT besides the list file");
    result.mode = QueryMode::List;
    return result;
  }
  if (targets.size() != 1)
    throw EZerval(targets.empty() ? "no server given (HOST:PORT or --list FILE.zsl)"
                                  : "more than one server given; use --list for many");
  result.target = targets.front();
  result.mode = console ? QueryMode::Console : QueryMode::Server;
  return result;
}

std::string UsageText() {
  return "Usage: zerval-query [--a2s] [--json] [--timeout MS] HOST:PORT\n"
         "       zerval-query [--json] [--timeout MS] --rcon PASSWORD COMMAND HOST:PORT\n"
         "       zerval-query [--a2s] [--json] [--timeout MS] --list FILE.zsl\n"
         "\n"
         "Queries game servers over the UDP query protocol.\n"
         "\n"
         "  HOST:PORT        print the server's details, players and rules\n"
         "  --rcon PASSWORD COMMAND\n"
         "                   get a console challenge, run COMMAND on the server's console\n"
         "                   and print its output\n"
         "  --list FILE.zsl  ask every server of a server list file at once and print one\n"
         "                   line per server: name, address, map, players/max and round trip\n"
         "                   in ms, or \"timeout\"; one details request per server is all\n"
         "                   this needs (with --a2s, sent again with the server's challenge\n"
         "                   when it asks for one)\n"
         "  --a2s            ask with the Steam-era query requests (info, players, rules),\n"
         "                   which today's servers answer, instead of the text commands\n"
         "                   \"details\", \"players\" and \"rules\"; challenges are answered and\n"
         "                   replies in pieces put together; --rcon is the same either way\n"
         "  --json           print JSON instead of text\n"
         "  --timeout MS     wait at most MS milliseconds for replies (default 5000)\n"
         "  --help           print this text\n"
         "\n"
         "HOST is an IPv4 address as in a server list entry, e.g. 192.168.0.10:27015.\n"
         "Server texts are shown as UTF-8 when they are UTF-8, otherwise as Latin-1.\n"
         "\n"
         "Exit status: 0 every server answered, 1 a server did not answer in time,\n"
         "2 bad input (arguments, list file or an address in it) or the query could not\n"
         "run; the reason is written to standard error.\n";
}
