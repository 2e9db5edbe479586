#include "options.h"

#include <QFile>

namespace {

const ServerSetup Defaults;
const WireSetup WireDefaults;

QCommandLineOption Valued(const QString& name, const QString& description, const QString& value,
                          const QString& defaultValue = {}) {
  const QString shown =
      defaultValue.isEmpty() ? description : description + " Default: " + defaultValue + ".";
  return QCommandLineOption(name, shown, value, defaultValue);
}

// An integer option within [low, high]; sets `error` and returns `low` otherwise.
int Bounded(const QCommandLineParser& parser, const QString& name, int low, int high,
            QString& error) {
  bool ok = false;
  const int value = parser.value(name).toInt(&ok);
  if (ok && value >= low && value <= high) return value;
  if (error.isEmpty())
    error = QString("--%1 wants a number from %2 to %3, not \"%4\"")
                .arg(name)
                .arg(low)
                .arg(high)
                .arg(parser.value(name));
  return low;
}

// One of `names` (the option's value); sets `error` and returns the first otherwise.
int Choice(const QCommandLineParser& parser, const QString& name, const QStringList& names,
           QString& error) {
  const int index = int(names.indexOf(parser.value(name)));
  if (index >= 0) return index;
  if (error.isEmpty())
    error = QString("--%1 wants %2, not \"%3\"").arg(name, names.join(" or "), parser.value(name));
  return 0;
}

void ReadWireSetup(const QCommandLineParser& parser, WireSetup& wire, QString& error) {
  wire.protocol = QueryProtocol(Choice(parser, "protocol", {"classic", "steam", "both"}, error));
  wire.infoChallenge = parser.isSet("info-challenge");
  wire.bothInfo = parser.isSet("both-info");
  wire.split.layout =
      SplitLayout(Choice(parser, "split", {"source", "packed", "older-source"}, error));
  wire.split.maxDatagram = Bounded(parser, "split-size", 200, 65507, error);
  wire.split.compress = parser.isSet("compress");
  wire.challengeLifetimeSeconds = Bounded(parser, "challenge-lifetime", 0, 86400, error);
  wire.banAfter = Bounded(parser, "ban-after", 0, 1000, error);
  wire.console = ConsoleMode(Choice(parser, "console", {"udp", "tcp", "both"}, error));
  if (wire.split.compress && wire.split.layout != SplitLayout::Source && error.isEmpty())
    error = "--compress needs the source layout of --split";
}

bool ReadScenario(const QString& path, std::vector<FaultRule>& faults, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = "cannot read the scenario " + path + ": " + file.errorString();
    return false;
  }
  std::string why;
  std::optional<std::vector<FaultRule>> rules = ParseScenario(file.readAll().toStdString(), why);
  if (!rules) {
    error = path + ", " + QString::fromStdString(why);
    return false;
  }
  faults = std::move(*rules);
  return true;
}

}  // namespace

void DefineOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      "Simulated game server for tests and demos: answers the classic or the Steam-era query "
      "protocol and the remote console on UDP, and misbehaves on demand.\n"
      "Replies longer than --split-size go out in pieces; console output goes out as several "
      "console replies of at most 1400 bytes, each holding whole lines.\n"
      "Fault targets: \"all\" (the default) or a comma list of details, players, rules (the "
      "requests of either protocol), challenge, rcon (every console line) and rcon:<command> (one "
      "console command).\n"
      "On start it prints \"listening <address>:<first port>\".");
  parser.addHelpOption();
  parser.addOptions({
      Valued("address", "IPv4 or IPv6 address to listen on.", "ip", "127.0.0.1"),
      Valued("port", "UDP port; 0 picks a free one.", "port", "27015"),
      Valued("count", "Number of servers, on consecutive ports.", "n", "1"),
      Valued("password", "Console password; without one the console refuses every line.", "text"),
      Valued("name", "Server name.", "text", QString::fromStdString(Defaults.name)),
      Valued("map", "Map name.", "text", QString::fromStdString(Defaults.map)),
      Valued("players", "Human players at start.", "n", QString::number(Defaults.humans)),
      Valued("bots", "Bots.", "n", QString::number(Defaults.bots)),
      Valued("max", "Player slots.", "n", QString::number(Defaults.maxPlayers)),
      Valued("rules", "Rules published (0 to 60).", "n", QString::number(Defaults.rules)),
      QCommandLineOption("mod", "Details carry a mod block."),
      Valued("join-password", "Password players must give to join; the replies flag it.", "text"),
      Valued("protocol",
             "Query requests answered: classic (\"details\", \"players\", \"rules\"), steam "
             "(the Steam-era requests; player names in UTF-8, else in Latin-1) or both. The "
             "console answers in every mode.",
             "name", "classic"),
      QCommandLineOption("info-challenge",
                         "Steam-era info requests need the challenge, as current servers want."),
      QCommandLineOption("both-info", "A Steam-era info request is answered with 'm', then 'I'."),
      Valued("split",
             "Layout of the pieces of long replies: source, packed, or older-source (the "
             "source layout without its size field, as servers of protocol 7 send it).",
             "layout", "source"),
      Valued("split-size", "Largest query reply datagram, piece headers included (200 to 65507).",
             "bytes", QString::number(WireDefaults.split.maxDatagram)),
      QCommandLineOption("compress", "Split replies are bzip2-compressed (source layout only)."),
      Valued("challenge-lifetime",
             "Seconds a challenge (console or Steam-era) stays good; 0 = as long as the server "
             "runs.",
             "seconds", "0"),
      Valued("console",
             "Remote console: udp (\"challenge rcon\", then console lines), tcp (packets on a TCP "
             "connection to the same port number, as today's servers: \"status\" in today's "
             "layout, \"cvarlist\" of about 25 KB, kickid, banid, writeid, say, logaddress_add "
             "and logaddress_del, log lines in the 'R' form, or 'S' with sv_logsecret) or both.",
             "mode", "udp"),
      Valued("ban-after",
             "Wrong console passwords after which the client's address is banned from the "
             "console; 0 = never.",
             "n", "0"),
      Valued("seed", "Seed of the generated players and challenges.", "n", "1"),
      Valued("churn", "Mean seconds between players joining or leaving; 0 = never.", "seconds",
             "0"),
      Valued("chat",
             "Mean seconds between bot chat lines while the console has the log going to an "
             "address of this machine (\"logaddress IP PORT\", \"log on\", \"mp_logmessages "
             "1\"); 0 = never. Log lines also tell of players entering and leaving and of every "
             "console \"say\". Any other log address is kept, and nothing is sent there.",
             "seconds", QString::number(Defaults.chatSeconds)),
      Valued("scenario", "File of fault directives, one per line.", "file"),
      Valued("log", "Append every request received to this file.", "file"),
  });
  for (const FaultHelp& fault : FaultDirectives())
    parser.addOption(Valued(QString::fromStdString(fault.name),
                            "Fault: " + QString::fromStdString(fault.meaning),
                            QString::fromStdString(fault.arguments)));
}

std::optional<SimOptions> ReadOptions(const QCommandLineParser& parser, QString& error) {
  SimOptions options;
  if (!options.address.setAddress(parser.value("address"))) {
    error = "--address wants an IPv4 or IPv6 address, not \"" + parser.value("address") + "\"";
    return std::nullopt;
  }
  options.port = std::uint16_t(Bounded(parser, "port", 0, 65535, error));
  options.count = Bounded(parser, "count", 1, 5000, error);
  options.seed = std::uint32_t(Bounded(parser, "seed", 0, 2147483647, error));
  ServerSetup& setup = options.setup;
  setup.password = parser.value("password").toLocal8Bit().toStdString();
  setup.name = parser.value("name").toLocal8Bit().toStdString();
  setup.map = parser.value("map").toLocal8Bit().toStdString();
  setup.maxPlayers = Bounded(parser, "max", 1, 255, error);
  setup.humans = Bounded(parser, "players", 0, setup.maxPlayers, error);
  setup.bots = Bounded(parser, "bots", 0, setup.maxPlayers - setup.humans, error);
  setup.rules = Bounded(parser, "rules", 0, MaxRules, error);
  setup.mod = parser.isSet("mod");
  setup.churnSeconds = Bounded(parser, "churn", 0, 86400, error);
  setup.chatSeconds = Bounded(parser, "chat", 0, 86400, error);
  setup.joinPassword = parser.value("join-password").toLocal8Bit().toStdString();
  ReadWireSetup(parser, options.wire, error);
  setup.utf8Nicks =
      options.wire.protocol == QueryProtocol::Steam || options.wire.console == ConsoleMode::Tcp;
  if (options.port != 0 && options.port + options.count - 1 > 65535 && error.isEmpty())
    error = "--count runs past port 65535";
  if (!error.isEmpty()) return std::nullopt;
  if (parser.isSet("scenario") && !ReadScenario(parser.value("scenario"), options.faults, error))
    return std::nullopt;
  for (const FaultHelp& fault : FaultDirectives()) {
    const QString name = QString::fromStdString(fault.name);
    for (const QString& args : parser.values(name)) {
      std::string why;
      std::optional<FaultRule> rule =
          ParseFaultDirective(fault.name + " " + args.toStdString(), why);
      if (!rule) {
        error = "--" + name + ": " + QString::fromStdString(why);
        return std::nullopt;
      }
      options.faults.push_back(std::move(*rule));
    }
  }
  options.logPath = parser.value("log");
  return options;
}
