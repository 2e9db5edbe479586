#include "exporter_options.h"

#include <getopt.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/option_number.h"
#include "store/mytypes.h"

namespace {

enum Option { Listen = 256, AllowedTargets, RconPasswords, Timeout, Retries, Interval, Version };

const option Options[] = {
    {"listen", required_argument, nullptr, Listen},
    {"allowed-targets", required_argument, nullptr, AllowedTargets},
    {"rcon-passwords", required_argument, nullptr, RconPasswords},
    {"timeout", required_argument, nullptr, Timeout},
    {"retries", required_argument, nullptr, Retries},
    {"interval", required_argument, nullptr, Interval},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, Version},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

ExporterOptions ParseExporterOptions(int argc, char** argv) {
  ExporterOptions result;
  optind = 1;
  opterr = 0;
  for (;;) {
    const int index = optind;
    const int option = getopt_long(argc, argv, ":h", Options, nullptr);
    if (option == -1) break;
    const std::string value = optarg ? optarg : "";
    switch (option) {
      case Listen:
        result.listen = value;
        break;
      case AllowedTargets:
        result.allowedTargets = value;
        break;
      case RconPasswords:
        result.rconPasswords = value;
        break;
      case Timeout:
        result.timeout = std::chrono::milliseconds(OptionNumber("--timeout", value, 1, 120000));
        break;
      case Retries:
        result.retries = int(OptionNumber("--retries", value, 0, 10));
        break;
      case Interval:
        result.interval = std::chrono::milliseconds(OptionNumber("--interval", value, 1, 60000));
        break;
      case 'h':
        result.help = true;
        break;
      case Version:
        result.version = true;
        break;
      case ':':
        throw EZerval(std::string(argv[index]) + " needs a value");
      default:
        throw EZerval("unknown option " + std::string(argv[index]));
    }
  }
  if (optind < argc) throw EZerval("unexpected argument \"" + std::string(argv[optind]) + "\"");
  return result;
}

std::string ExporterUsage() {
  return R"(Usage: zerval-exporter [OPTION]...
Game servers for Prometheus. Each scrape of
  /probe?target=HOST[:PORT]&protocol=classic|a2s[&players=1]
asks that server at once and answers in the Prometheus text format: zerval_up,
zerval_round_trip_seconds, zerval_probe_duration_seconds, zerval_players,
zerval_max_players, zerval_bots (a2s), zerval_info{name,map,game,game_dir,protocol};
with players=1 zerval_player_frags{player} and zerval_player_connected_seconds{player};
with a console password for the server zerval_rcon_up and, from the console's
"status", zerval_player_ping_seconds{player,userid} and zerval_player_loss_ratio.
A failed probe adds zerval_probe_failure_info{reason} (timeout, refused,
unreadable, console-refused) and logs a line to standard error, once a minute
per target at most. A probe names at most 256 series after players
(zerval_players_truncated). debug=true returns the probe's log instead.
/metrics gives the exporter's own metrics, / a page with links.

Options:
      --listen ADDR:PORT      where to listen (default 127.0.0.1:9550); IPv6 as
                              [ADDR]:PORT
      --allowed-targets FILE  probe only the servers of this list (a .zsl list, or
                              one HOST[:PORT] a line); others get HTTP 403. Required
                              when the listen address is not a loopback address
      --rcon-passwords FILE   console passwords: a .zsl list whose entries carry
                              them, or lines "HOST[:PORT] PASSWORD" ("#" comments).
                              Passwords never come from a request. A refused
                              password is not sent to that server again for 60 s
      --timeout MS            the longest a probe takes (default 5000); the
                              scraper's X-Prometheus-Scrape-Timeout-Seconds less
                              0.5 s shortens it
      --retries N             sends of a request without an answer (default 2)
      --interval MS           at most this long between them (default 500)
  -h, --help                  this text
      --version               the version

A malformed request gets HTTP 400 with a one-line reason, other paths 404.
Only GET and HEAD (405), a request line of 8 KiB (414), header lines of 32 KiB
and 100 (431), no body (413), the whole request within 5 s (408); 64
connections per client address, and 503 when too many probes wait.
Exit status: 0 stopped by SIGTERM or SIGINT, 1 cannot listen, 2 bad input.
)";
}
