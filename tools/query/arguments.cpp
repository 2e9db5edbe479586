#include "arguments.h"

#include <getopt.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/option_number.h"
#include "protocol/wireprotocol.h"
#include "store/mytypes.h"

namespace {

constexpr std::int64_t MaxMilliseconds = 600000;
constexpr std::int64_t MaxRetries = 10;

// Only options without a short form get these values.
enum LongOnly {
  PrettyOption = 256,
  RconOption,
  PasswordOption,
  PasswordFileOption,
  ProtocolOption,
  ConsoleOption
};

const option Options[] = {
    {"a2s", no_argument, nullptr, 'a'},
    {"protocol", required_argument, nullptr, ProtocolOption},
    {"json", no_argument, nullptr, 'j'},
    {"pretty", no_argument, nullptr, PrettyOption},
    {"timeout", required_argument, nullptr, 't'},
    {"retries", required_argument, nullptr, 'r'},
    {"interval", required_argument, nullptr, 'i'},
    {"list", required_argument, nullptr, 'l'},
    {"rcon", required_argument, nullptr, RconOption},
    {"password", required_argument, nullptr, PasswordOption},
    {"password-file", required_argument, nullptr, PasswordFileOption},
    {"console", required_argument, nullptr, ConsoleOption},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};
// The leading ":" makes a missing value come back as ':' rather than as an unknown option.
constexpr char ShortOptions[] = ":ajt:r:i:l:hV";

// None for "auto": each server's protocol is found.
std::optional<WireProtocol> ProtocolNamed(const std::string& name) {
  if (name == "auto") return std::nullopt;
  if (const std::optional<WireProtocol> protocol = WireProtocolNamed(name)) return protocol;
  throw EZerval("--protocol wants auto, classic or a2s, not \"" + name + "\"");
}

std::chrono::milliseconds Milliseconds(const char* option, const std::string& text) {
  return std::chrono::milliseconds(OptionNumber(option, text, 1, MaxMilliseconds, "milliseconds"));
}

// The option as the operator wrote it, for messages.
std::string Written(int argc, char** argv) {
  return optind >= 1 && optind <= argc ? argv[optind - 1] : "";
}

void SetOnce(std::optional<std::string>& field, const char* value, const char* option) {
  if (field) throw EZerval(std::string(option) + " given twice");
  field = value;
}

ConsoleChoice ConsoleNamed(const std::string& name) {
  if (name == "auto") return ConsoleChoice::Auto;
  if (name == "udp") return ConsoleChoice::Udp;
  if (name == "tcp") return ConsoleChoice::Tcp;
  throw EZerval("--console wants auto, udp or tcp, not \"" + name + "\"");
}

void CheckCombination(const QueryArguments& result, bool console) {
  if (console && !result.listFiles.empty()) throw EZerval("--list and --rcon cannot be combined");
  if (!console && (result.password || result.passwordFile))
    throw EZerval("a password is only used with --rcon");
  if (result.password && result.passwordFile)
    throw EZerval("--password and --password-file cannot be combined");
  if (console && result.targets.size() != 1)
    throw EZerval(result.targets.empty() ? "--rcon needs a server (HOST[:PORT])"
                                         : "--rcon runs on one server only");
  if (!console && result.listFiles.empty() && result.targets.empty())
    throw EZerval("no server given (HOST[:PORT] or --list FILE)");
}

}  // namespace

QueryArguments ParseArguments(int argc, char** argv) {
  QueryArguments result;
  bool help = false;
  bool version = false;
  bool console = false;
  opterr = 0;
  optind = 0;
  for (;;) {
    const int option = ::getopt_long(argc, argv, ShortOptions, Options, nullptr);
    if (option == -1) break;
    const std::string value = optarg ? optarg : "";
    switch (option) {
      case 'a':
        result.settings.protocol = WireProtocol::A2s;
        break;
      case ProtocolOption:
        result.settings.protocol = ProtocolNamed(value);
        break;
      case 'j':
        result.json = true;
        break;
      case PrettyOption:
        result.json = result.pretty = true;
        break;
      case 't':
        result.settings.timeout = Milliseconds("--timeout", value);
        break;
      case 'r':
        result.settings.retries =
            static_cast<int>(OptionNumber("--retries", value, 0, MaxRetries, "a count"));
        break;
      case 'i':
        result.settings.interval = Milliseconds("--interval", value);
        break;
      case 'l':
        result.listFiles.push_back(value);
        break;
      case RconOption:
        if (console) throw EZerval("--rcon given twice");
        console = true;
        result.command = value;
        break;
      case PasswordOption:
        SetOnce(result.password, optarg, "--password");
        break;
      case PasswordFileOption:
        SetOnce(result.passwordFile, optarg, "--password-file");
        break;
      case ConsoleOption:
        result.console = ConsoleNamed(value);
        break;
      case 'h':
        help = true;
        break;
      case 'V':
        version = true;
        break;
      case ':':
        throw EZerval("option \"" + Written(argc, argv) + "\" needs a value");
      default:
        throw EZerval("unknown option \"" + Written(argc, argv) + "\"");
    }
  }
  if (help) return QueryArguments{};
  if (version) {
    result.mode = QueryMode::Version;
    return result;
  }
  for (int at = optind; at < argc; ++at) result.targets.emplace_back(argv[at]);
  CheckCombination(result, console);
  result.mode = console                     ? QueryMode::Console
                : !result.listFiles.empty() ? QueryMode::List
                                            : QueryMode::Server;
  return result;
}

std::string UsageText() {
  return "Usage: zerval-query [OPTION]... HOST[:PORT]...\n"
         "       zerval-query [OPTION]... --list FILE [HOST[:PORT]]...\n"
         "       zerval-query [OPTION]... --rcon COMMAND HOST[:PORT]\n"
         "\n"
         "Queries game servers over their UDP query protocol.\n"
         "\n"
         "With HOST[:PORT] arguments alone, every server is asked for its details, players\n"
         "and rules, all at once, and each answer is printed in full.\n"
         "\n"
         "Options:\n"
         "  -l, --list FILE      ask every server of FILE and the HOST[:PORT] arguments for\n"
         "                       its details only, all at once, and print one line per\n"
         "                       server: the entry's name in FILE, the server's own name,\n"
         "                       address, map, players/max and round trip in ms, or why it\n"
         "                       did not answer. FILE is a server list file\n"
         "                       of the window (.zsl) or a text file with one\n"
         "                       HOST[:PORT] per line (\"#\" starts a comment; a line may start\n"
         "                       with \"classic \" or \"a2s \" to choose the protocol of that\n"
         "                       server); \"-\" reads the list from standard input. The two\n"
         "                       kinds are told apart by their content. May be given more\n"
         "                       than once; all lists together name at most 1000000\n"
         "                       servers, asked 16384 at a time.\n"
         "      --rcon COMMAND   run COMMAND on the server's console and print its output as\n"
         "                       sent, nothing for no output; the same with either protocol\n"
         "      --console auto|udp|tcp\n"
         "                       the console to use with --rcon: the classic one in UDP\n"
         "                       datagrams (\"challenge rcon\" first), today's over TCP on\n"
         "                       the same port number, or (auto, the default) the one that\n"
         "                       answers first: both are tried at once, and a challenge\n"
         "                       reply wins over a TCP connection accepted at about the\n"
         "                       same time; the password goes only to the winner\n"
         "      --password PASSWORD\n"
         "                       the console password (visible to other users in the\n"
         "                       process list; prefer one of the next two)\n"
         "      --password-file FILE\n"
         "                       read the console password from the first line of FILE,\n"
         "                       a regular file\n"
         "      --protocol NAME  how details, players and rules are asked for: auto (the\n"
         "                       default) sends \"details\" and the Steam-era info request\n"
         "                       together and asks the rest in the protocol that answered,\n"
         "                       classic when both do, waiting twice an A2S answer's round\n"
         "                       trip (at least 20 ms) for a classic one; classic asks with\n"
         "                       the text commands \"details\", \"players\" and \"rules\";\n"
         "                       a2s with the Steam-era requests (info, players, rules),\n"
         "                       which today's servers answer, answering challenges and\n"
         "                       putting replies in pieces together\n"
         "  -a, --a2s            the same as --protocol a2s\n"
         "  -j, --json           print JSON instead of text\n"
         "      --pretty         print indented JSON (implies --json)\n"
         "  -t, --timeout MS     wait at most MS milliseconds for each server, resent\n"
         "                       requests included (default 5000)\n"
         "  -r, --retries N      send a request that got no answer again, up to N times\n"
         "                       (default 2, at most 10); console lines are never resent\n"
         "  -i, --interval MS    wait MS milliseconds for an answer before sending again\n"
         "                       (default 500)\n"
         "  -h, --help           print this text and exit\n"
         "  -V, --version        print the version and exit\n"
         "\n"
         "HOST is a dotted IPv4 address, an IPv6 address in brackets ([::1]:27015) or a host\n"
         "name; of a name with both kinds of address the IPv4 one is asked. PORT defaults to\n"
         "27015. Options may also be written --option=value; \"--\" ends the options.\n"
         "A console password is at most 255 bytes without a zero byte, carriage return or\n"
         "line feed; any other is refused, never cut.\n"
         "Server texts are shown as UTF-8 when they are UTF-8, otherwise as Latin-1; control\n"
         "characters and the bidirectional controls U+202A to U+202E and U+2066 to U+2069\n"
         "are shown as \"?\" in text output and escaped in JSON.\n"
         "JSON is always one object {\"servers\":[...]} with an object per server, also for\n"
         "one server, --list and --rcon. Values are as the server sent them, \"roundTripMs\"\n"
         "is null when nothing answered, a part that could not be had is null, a server's\n"
         "\"protocol\" is the protocol it answered in (\"classic\" or \"a2s\", null when it\n"
         "did not), and a server that failed has an \"error\" member; with --rcon,\n"
         "\"truncated\" is true when the output was longer than 1 MiB (or 256 datagrams) and\n"
         "was cut there. Text output names the protocol too.\n"
         "\n"
         "Environment:\n"
         "  ZERVAL_RCON_PASSWORD the console password when neither --password nor\n"
         "                       --password-file is given\n"
         "\n"
         "Exit status (with several servers the highest applies):\n"
         "  0  every server answered\n"
         "  1  a server did not answer in time, or its port was refused\n"
         "  2  bad input: arguments, a list file, an address, a password\n"
         "  3  a server refused: wrong console password, or banned from its console\n"
         "  4  a reply could not be read: of another kind than asked for, cut short, a\n"
         "     refused split reply, or console output cut at 1 MiB\n"
         "Reasons are written to standard error.\n"
         "\n"
         "Examples:\n"
         "  zerval-query 192.168.0.10:27015\n"
         "  zerval-query --protocol a2s --json game.example.org\n"
         "  zerval-query --list servers.txt --retries 3 --timeout 2000\n"
         "  ZERVAL_RCON_PASSWORD=secret zerval-query --rcon status [::1]:27015\n";
}
