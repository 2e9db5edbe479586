#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

// One connected player (or bot) of a simulated server.
struct SimPlayer {
  int slot = 0;  // 1-based; listings are ordered by it
  int userId = 0;
  std::string nick;
  std::string uniqueId;  // "STEAM_0:x:n", a plain number, or "BOT"
  std::int32_t frags = 0;
  std::int64_t joinedMs = 0;  // on the process clock; before 0 for players present at start
  int ping = 0;
  int loss = 0;
  std::string address;  // "ip:port", or "loopback" for bots
  bool bot = false;
};

struct SimBan {
  std::string uniqueId;
  int minutes = 0;  // 0 = permanent
};

// A log line waiting to go to the log address. Chat lines go only with mp_logmessages set.
struct LogEvent {
  std::string line;
  bool chat = false;
};

struct SimCvar {
  std::string name;
  std::string value;
};

// How a server is set up; every field comes from a command line option.
struct ServerSetup {
  std::string name = "Zerval Test Server";
  std::string map = "dm_canyon";
  std::string password;      // console password; empty = the console refuses every line
  std::string joinPassword;  // what players must give to join; only whether there is one shows
  int humans = 6;
  int bots = 2;
  int maxPlayers = 16;
  int rules = 40;  // how many cvars the rules reply publishes
  bool mod = false;
  int churnSeconds = 0;  // mean time between a player joining or leaving; 0 = never
  int chatSeconds = 5;   // mean time between bot chat lines in the log; 0 = never
  // Nicks in UTF-8, as Steam-era servers send them; else in Latin-1, as older servers do.
  bool utf8Nicks = false;
};

constexpr int MaxRules = 60;

struct GameState {
  ServerSetup setup;
  std::string address;             // "ip:port" as the server announces itself
  std::vector<SimPlayer> players;  // ordered by slot
  std::vector<SimCvar> cvars;      // the first setup.rules of them are the public rules
  std::vector<SimBan> bans;
  std::string logAddress;  // "ip:port" set by the console, empty when none
  bool logging = false;
  // Set with "logaddress_add": log lines in today's form ('R', or 'S' with the secret).
  bool todaysLog = false;
  std::string logSecret;            // sv_logsecret; empty or "0" = none
  std::vector<LogEvent> logEvents;  // since the server last sent its log
  int nextUserId = 1;
  int joinedCount = 0;  // humans ever joined, for their names and ids
  std::int64_t nextChurnMs = 0;
  std::mt19937 random;
};

GameState NewGameState(const ServerSetup& setup, const std::string& address, std::uint32_t seed,
                       std::int64_t nowMs);

int SecondsConnected(const SimPlayer& player, std::int64_t nowMs);
// "mm:ss", or "h:mm:ss" from an hour on.
std::string ConnectedTimeText(int seconds);

const SimPlayer* FindPlayer(const GameState& state, int userId);
bool RemovePlayer(GameState& state, int userId);
SimCvar* FindCvar(GameState& state, std::string_view name);

// Once the churn interval has passed: a human leaves or a new one joins (each logged), and
// someone scores.
void ChurnStep(GameState& state, std::int64_t nowMs);
