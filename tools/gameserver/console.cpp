#include "console.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>
#include <vector>

#include "log_lines.h"

namespace {

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

// The text after the first word, without the blanks in front of it.
std::string Arguments(const std::string& command) {
  const std::size_t wordStart = command.find_first_not_of(' ');
  const std::size_t wordEnd = command.find(' ', wordStart);
  const std::size_t argsStart = command.find_first_not_of(' ', wordEnd);
  return argsStart == std::string::npos ? std::string() : command.substr(argsStart);
}

std::optional<int> ParseCount(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

// A player reference "#12" or "# 12" starting at words[at]; `next` is set to the word after it.
std::optional<int> UserIdRef(const std::vector<std::string>& words, std::size_t at,
                             std::size_t& next) {
  if (at >= words.size() || words[at][0] != '#') return std::nullopt;
  if (words[at] != "#") {
    next = at + 1;
    return ParseCount(words[at].substr(1));
  }
  if (at + 1 >= words.size()) return std::nullopt;
  next = at + 2;
  return ParseCount(words[at + 1]);
}

std::string NoSuchPlayer(int userId) {
  return "Couldn't find player #" + std::to_string(userId) + ".";
}

std::string KickUser(GameState& state, int userId) {
  const SimPlayer* player = FindPlayer(state, userId);
  if (!player) return NoSuchPlayer(userId);
  const std::string answer = "Kicked " + player->nick;
  state.logEvents.push_back({DisconnectedLine(*player)});
  RemovePlayer(state, userId);
  return answer;
}

std::string KickId(GameState& state, const std::vector<std::string>& words) {
  const std::optional<int> userId = words.size() == 2 ? ParseCount(words[1]) : std::nullopt;
  return userId ? KickUser(state, *userId) : "Usage:  kickid < userid >";
}

std::string Kick(GameState& state, const std::vector<std::string>& words) {
  std::size_t next = 0;
  const std::optional<int> userId = UserIdRef(words, 1, next);
  return userId ? KickUser(state, *userId) : "Usage:  kick < # userid >";
}

// "banid <minutes> <#userid | userid | uniqueid> [kick]"; 0 minutes bans for good. A bare
// number is a user id when a player has it, as today's servers read it.
std::string Ban(GameState& state, const std::vector<std::string>& words) {
  const std::string usage = "Usage:  banid <minutes> <# userid | uniqueid> { kick }";
  const std::optional<int> minutes = words.size() > 2 ? ParseCount(words[1]) : std::nullopt;
  if (!minutes) return usage;
  std::size_t next = 3;
  std::string uniqueId = words[2];
  const std::optional<int> bareUserId = ParseCount(words[2]);
  const SimPlayer* player = bareUserId ? FindPlayer(state, *bareUserId) : nullptr;
  if (player) uniqueId = player->uniqueId;
  if (words[2][0] == '#') {
    const std::optional<int> userId = UserIdRef(words, 2, next);
    if (!userId) return usage;
    player = FindPlayer(state, *userId);
    if (!player) return NoSuchPlayer(*userId);
    uniqueId = player->uniqueId;
  }
  const bool kick = next < words.size() && Lower(words[next]) == "kick";
  const auto known = std::find_if(state.bans.begin(), state.bans.end(),
                                  [&](const SimBan& ban) { return ban.uniqueId == uniqueId; });
  if (known != state.bans.end())
    known->minutes = *minutes;
  else
    state.bans.push_back({uniqueId, *minutes});
  std::string answer =
      "banid:  " + uniqueId + " banned " +
      (*minutes == 0 ? "permanently" : "for " + std::to_string(*minutes) + " minutes");
  if (kick && player) answer += "\n" + KickUser(state, player->userId);
  return answer;
}

std::string ListBans(const GameState& state) {
  if (state.bans.empty()) return "ID filter list: empty";
  const std::size_t count = state.bans.size();
  std::string answer =
      "ID filter list: " + std::to_string(count) + (count == 1 ? " entry" : " entries");
  int number = 1;
  for (const SimBan& ban : state.bans)
    answer += "\n" + std::to_string(number++) + " " + ban.uniqueId + " : " +
              (ban.minutes == 0 ? "permanent" : std::to_string(ban.minutes) + " min");
  return answer;
}

std::string Log(GameState& state, const std::vector<std::string>& words) {
  const std::string setting = words.size() == 2 ? Lower(words[1]) : std::string();
  if (setting != "on" && setting != "off") return "Usage:  log < on | off >";
  state.logging = setting == "on";
  return state.logging ? "Server logging enabled." : "Server logging disabled.";
}

bool IsIpv4(const std::string& text) {
  std::istringstream in(text);
  int parts = 0;
  for (std::string part; std::getline(in, part, '.'); ++parts) {
    const std::optional<int> value = part.size() <= 3 ? ParseCount(part) : std::nullopt;
    if (!value || *value > 255) return false;
  }
  return parts == 4 && text.back() != '.';
}

std::string LogAddress(GameState& state, const std::vector<std::string>& words) {
  const std::optional<int> port = words.size() == 3 ? ParseCount(words[2]) : std::nullopt;
  if (!port || *port == 0 || *port > 65535 || !IsIpv4(words[1]))
    return "Usage:  logaddress ip port";
  state.logAddress = words[1] + ":" + std::to_string(*port);
  state.todaysLog = false;
  return "logaddress:  " + state.logAddress;
}

// "logaddress_add IP:PORT" and "logaddress_del IP:PORT"; the last address added gets the log.
std::string LogAddressList(GameState& state, const std::vector<std::string>& words, bool add) {
  const std::size_t colon = words.size() == 2 ? words[1].rfind(':') : std::string::npos;
  const std::optional<int> port =
      colon == std::string::npos ? std::nullopt : ParseCount(words[1].substr(colon + 1));
  if (!port || *port == 0 || *port > 65535 || !IsIpv4(words[1].substr(0, colon)))
    return add ? "Usage:  logaddress_add ip:port" : "Usage:  logaddress_del ip:port";
  if (!add) {
    if (state.logAddress != words[1]) return "logaddress_del:  " + words[1] + " not found";
    state.logAddress.clear();
    return "logaddress_del:  " + words[1];
  }
  state.logAddress = words[1];
  state.todaysLog = true;
  return "logaddress_add:  " + words[1];
}

// Prints the value, or sets it (surrounding quotes are not part of it) and prints nothing.
std::string Cvar(SimCvar& cvar, const std::string& arguments) {
  if (arguments.empty()) return "\"" + cvar.name + "\" is \"" + cvar.value + "\"";
  const bool quoted = arguments.size() >= 2 && arguments.front() == '"' && arguments.back() == '"';
  cvar.value = quoted ? arguments.substr(1, arguments.size() - 2) : arguments;
  return {};
}

std::string PlayerLine(const SimPlayer& player, std::int64_t nowMs) {
  std::string slot = std::to_string(player.slot);
  slot.insert(0, slot.size() < 3 ? 3 - slot.size() : 0, ' ');
  return "#" + slot + " \"" + player.nick + "\" " + std::to_string(player.userId) + " " +
         player.uniqueId + " " + std::to_string(player.frags) + " " +
         ConnectedTimeText(SecondsConnected(player, nowMs)) + " " + std::to_string(player.ping) +
         " " + std::to_string(player.loss) + " " + player.address;
}

std::string TableRow(const SimPlayer& player, std::int64_t nowMs) {
  std::string userId = std::to_string(player.userId);
  userId.insert(0, userId.size() < 3 ? 3 - userId.size() : 0, ' ');
  const std::string head = "#" + userId + " \"" + player.nick + "\" " + player.uniqueId + " ";
  if (player.bot) return head + "active 64";
  return head + ConnectedTimeText(SecondsConnected(player, nowMs)) + " " +
         std::to_string(player.ping) + " " + std::to_string(player.loss) + " active 196608 " +
         player.address;
}

std::string Padded(std::string text, std::size_t width) {
  text.resize(std::max(text.size(), width), ' ');
  return text;
}

// Made-up commands that fill the list to the size of a real server's.
constexpr int ListedCommands = 170;

// What "say" says: its arguments, without the double quotes around them, as game servers take
// them off.
std::string SaidText(const std::string& arguments) {
  if (arguments.size() >= 2 && arguments.front() == '"' && arguments.back() == '"')
    return arguments.substr(1, arguments.size() - 2);
  return arguments;
}

}  // namespace

ConsoleLine ReadConsoleLine(const std::string& line, const std::string& password) {
  ConsoleLine read;
  const std::size_t blank = line.find(' ');
  const std::string word = line.substr(0, blank);
  std::uint32_t number = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), number);
  if (error == std::errc() && end == word.data() + word.size() && std::to_string(number) == word)
    read.challenge = number;
  if (blank == std::string::npos || password.empty()) return read;
  const std::string rest = line.substr(blank + 1);
  if (rest == password)
    read.command = std::string();
  else if (rest.size() > password.size() && rest.compare(0, password.size(), password) == 0 &&
           rest[password.size()] == ' ')
    read.command = rest.substr(password.size() + 1);
  return read;
}

std::string CommandWord(const std::string& command) {
  const std::vector<std::string> words = Words(command);
  return words.empty() ? std::string() : Lower(words[0]);
}

std::string RunConsoleCommand(GameState& state, const std::string& command, std::int64_t nowMs,
                              StatusLayout layout) {
  const std::vector<std::string> words = Words(command);
  if (words.empty()) return {};
  const std::string name = Lower(words[0]);
  if (name == "status")
    return layout == StatusLayout::Table ? StatusTable(state, nowMs) : StatusListing(state, nowMs);
  if (name == "cvarlist") return CvarList(state);
  if (name == "kickid") return KickId(state, words);
  if (name == "logaddress_add" || name == "logaddress_del")
    return LogAddressList(state, words, name == "logaddress_add");
  if (name == "sv_logsecret") {
    if (words.size() == 1) return "\"sv_logsecret\" is \"" + state.logSecret + "\"";
    state.logSecret = words[1];
    return {};
  }
  if (name == "kick") return Kick(state, words);
  if (name == "banid") return Ban(state, words);
  if (name == "listid") return ListBans(state);
  if (name == "writeid") return {};
  if (name == "log") return Log(state, words);
  if (name == "logaddress") return LogAddress(state, words);
  if (name == "say") {
    const std::string text = SaidText(Arguments(command));
    state.logEvents.push_back({ServerSayLine(text), true});
    return "Console: " + text;
  }
  if (SimCvar* cvar = FindCvar(state, name)) return Cvar(*cvar, Arguments(command));
  return "Unknown command: " + words[0];
}

std::string StatusListing(const GameState& state, std::int64_t nowMs) {
  const std::string count = std::to_string(state.players.size());
  std::string listing = "hostname:  " + state.setup.name + "\n" + "version :  47/1.0.2.0 secure\n" +
                        "tcp/ip  :  " + state.address + "\n" + "map     :  " + state.setup.map +
                        " at: 0 x, 0 y, 0 z\n" + "players :  " + count + " active (max " +
                        std::to_string(state.setup.maxPlayers) + ")\n" + "\n" +
                        "#      name userid uniqueid frag time ping loss adr\n";
  for (const SimPlayer& player : state.players) listing += PlayerLine(player, nowMs) + "\n";
  return listing + count + " users";
}

std::string StatusTable(const GameState& state, std::int64_t nowMs) {
  int bots = 0;
  for (const SimPlayer& player : state.players) bots += player.bot;
  const int humans = int(state.players.size()) - bots;
  std::string table = "hostname: " + state.setup.name + "\n" + "version : 1.0.0.0/10 1 secure\n" +
                      "udp/ip  : " + state.address + "\n" + "os      :  Linux\n" +
                      "type    :  community dedicated\n" + "map     : " + state.setup.map + "\n" +
                      "players : " + std::to_string(humans) + " humans, " + std::to_string(bots) +
                      " bots (" + std::to_string(state.setup.maxPlayers) + " max)\n\n" +
                      "# userid name uniqueid connected ping loss state rate adr\n";
  for (const SimPlayer& player : state.players) table += TableRow(player, nowMs) + "\n";
  return table + "#end";
}

std::string CvarList(const GameState& state) {
  std::string list = "cvar list\n--------------";
  for (const SimCvar& cvar : state.cvars)
    list += "\n" + Padded(cvar.name, 40) + " : " + Padded(cvar.value, 8) + " : , \"sv\"" +
            Padded("", 18) + " : " + cvar.name + " of the game";
  for (int i = 1; i <= ListedCommands; ++i) {
    const std::string number = std::to_string(1000 + i).substr(1);
    list += "\n" + Padded("zs_command_" + number, 40) + " : cmd      :" + Padded("", 25) +
            " : simulated console command " + number;
  }
  return list + "\n--------------\n" + std::to_string(state.cvars.size() + ListedCommands) +
         " total convars/concommands";
}
