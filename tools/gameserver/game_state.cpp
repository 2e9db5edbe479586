#include "game_state.h"

#include <algorithm>
#include <array>
#include <utility>

#include "log_lines.h"

namespace {

// Nicks with blanks, quotes, an 8-bit character and the longest length a client may pick.
constexpr std::array<std::string_view, 16> HumanNicks = {"Dr. Frag",
                                                         "[ZX] Viper",
                                                         "\"Sniper\" Joe",
                                                         "x_Slayer_x",
                                                         "M\xFCller",
                                                         "Quick Silver",
                                                         "The Very Long Named Player 0031",
                                                         "Shadow",
                                                         "ProGamer99",
                                                         "Ice Cube",
                                                         "O'Brien",
                                                         "<Tank>",
                                                         "Nightfall",
                                                         "Mr. Pink",
                                                         "Rookie",
                                                         "Lucky Shot"};

constexpr std::array<std::string_view, 8> BotNicks = {"[BOT] Alpha", "[BOT] Bravo", "[BOT] Charlie",
                                                      "[BOT] Delta", "[BOT] Echo",  "[BOT] Foxtrot",
                                                      "[BOT] Golf",  "[BOT] Hotel"};

// The first entries are published as rules; sv_contact is empty on purpose (an unset rule).
constexpr std::array<std::pair<std::string_view, std::string_view>, MaxRules> Cvars = {{
    {"mp_timelimit", "30"},
    {"mp_fraglimit", "0"},
    {"mp_maxrounds", "0"},
    {"mp_winlimit", "0"},
    {"mp_roundtime", "5"},
    {"mp_freezetime", "6"},
    {"mp_buytime", "1.5"},
    {"mp_startmoney", "800"},
    {"mp_friendlyfire", "0"},
    {"mp_footsteps", "1"},
    {"mp_flashlight", "1"},
    {"mp_forcechasecam", "0"},
    {"mp_fadetoblack", "0"},
    {"mp_autokick", "1"},
    {"mp_autoteambalance", "1"},
    {"mp_limitteams", "2"},
    {"mp_tkpunish", "0"},
    {"mp_mapvoteratio", "0.66"},
    {"mp_playerid", "0"},
    {"mp_consistency", "1"},
    {"mp_allowspectators", "1"},
    {"mp_chattime", "10"},
    {"mp_kickpercent", "0.66"},
    {"mp_falldamage", "0"},
    {"mp_weaponstay", "0"},
    {"mp_teamplay", "0"},
    {"coop", "0"},
    {"deathmatch", "1"},
    {"sv_contact", ""},
    {"sv_gravity", "800"},
    {"sv_friction", "4"},
    {"sv_maxspeed", "320"},
    {"sv_accelerate", "10"},
    {"sv_airaccelerate", "10"},
    {"sv_wateraccelerate", "10"},
    {"sv_stopspeed", "100"},
    {"sv_stepsize", "18"},
    {"sv_bounce", "1"},
    {"sv_cheats", "0"},
    {"sv_aim", "0"},
    {"sv_clienttrace", "1"},
    {"sv_maxrate", "20000"},
    {"sv_minrate", "0"},
    {"sv_proxies", "1"},
    {"sv_voiceenable", "1"},
    {"sv_password", "0"},
    {"sv_region", "3"},
    {"sv_restart", "0"},
    {"sv_waterfriction", "1"},
    {"sv_wateramp", "0"},
    {"sv_skyname", "desert"},
    {"decalfrequency", "30"},
    {"pausable", "0"},
    {"allow_spectators", "1"},
    {"mp_logdetail", "3"},
    {"mp_logfile", "1"},
    {"mp_logmessages", "0"},
    {"sv_logblocks", "0"},
    {"sv_lan", "0"},
    {"max_queries_sec", "3"},
}};

int Uniform(std::mt19937& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

// Names repeat with a running number once the list is used up.
std::string NthNick(std::string_view base, int round) {
  if (round == 0) return std::string(base);
  return std::string(base) + " (" + std::to_string(round + 1) + ")";
}

int LowestFreeSlot(const GameState& state) {
  int slot = 1;
  for (const SimPlayer& player : state.players) {
    if (player.slot != slot) break;
    ++slot;
  }
  return slot;
}

void Seat(GameState& state, SimPlayer player) {
  player.slot = LowestFreeSlot(state);
  player.userId = state.nextUserId++;
  const auto at = std::find_if(state.players.begin(), state.players.end(),
                               [&](const SimPlayer& p) { return p.slot > player.slot; });
  state.players.insert(at, std::move(player));
}

void JoinHuman(GameState& state, std::int64_t joinedMs, std::int32_t frags) {
  const int n = state.joinedCount++;
  SimPlayer player;
  player.nick = NthNick(HumanNicks[n % HumanNicks.size()], n / int(HumanNicks.size()));
  if (state.setup.utf8Nicks) player.nick = Latin1ToUtf8(player.nick);
  // Every fourth player still has an old numeric id.
  player.uniqueId = n % 4 == 3 ? std::to_string(Uniform(state.random, 100000, 999999))
                               : "STEAM_0:" + std::to_string(Uniform(state.random, 0, 1)) + ":" +
                                     std::to_string(Uniform(state.random, 10000, 99999999));
  player.frags = frags;
  player.joinedMs = joinedMs;
  player.ping = Uniform(state.random, 5, 180);
  player.loss = Uniform(state.random, 0, 9) == 0 ? Uniform(state.random, 1, 3) : 0;
  // Documentation addresses: these are texts only, nothing is ever sent to them.
  player.address = "192.0.2." + std::to_string(Uniform(state.random, 1, 254)) + ":" +
                   std::to_string(Uniform(state.random, 27005, 27030));
  Seat(state, std::move(player));
}

void JoinBot(GameState& state, int n, std::int64_t joinedMs) {
  SimPlayer bot;
  bot.nick = NthNick(BotNicks[n % BotNicks.size()], n / int(BotNicks.size()));
  bot.uniqueId = "BOT";
  bot.frags = Uniform(state.random, 0, 25);
  bot.joinedMs = joinedMs;
  bot.address = "loopback";
  bot.bot = true;
  Seat(state, std::move(bot));
}

void ScheduleChurn(GameState& state, std::int64_t nowMs) {
  const int meanMs = state.setup.churnSeconds * 1000;
  state.nextChurnMs = nowMs + Uniform(state.random, meanMs / 2, meanMs + meanMs / 2);
}

}  // namespace

GameState NewGameState(const ServerSetup& setup, const std::string& address, std::uint32_t seed,
                       std::int64_t nowMs) {
  GameState state;
  state.setup = setup;
  state.address = address;
  state.random.seed(seed);
  for (const auto& [name, value] : Cvars)
    state.cvars.push_back({std::string(name), std::string(value)});
  if (!setup.joinPassword.empty()) FindCvar(state, "sv_password")->value = "1";
  for (int i = 0; i < setup.humans; ++i)
    JoinHuman(state, nowMs - 1000 * Uniform(state.random, 30, 3600), Uniform(state.random, -1, 40));
  for (int i = 0; i < setup.bots; ++i)
    JoinBot(state, i, nowMs - 1000 * Uniform(state.random, 30, 3600));
  if (setup.churnSeconds > 0) ScheduleChurn(state, nowMs);
  return state;
}

int SecondsConnected(const SimPlayer& player, std::int64_t nowMs) {
  return static_cast<int>(std::max<std::int64_t>(0, (nowMs - player.joinedMs) / 1000));
}

std::string ConnectedTimeText(int seconds) {
  const auto two = [](int value) { return (value < 10 ? "0" : "") + std::to_string(value); };
  const int hours = seconds / 3600;
  const std::string minutesSeconds = two(seconds / 60 % 60) + ":" + two(seconds % 60);
  return hours > 0 ? std::to_string(hours) + ":" + minutesSeconds : minutesSeconds;
}

const SimPlayer* FindPlayer(const GameState& state, int userId) {
  for (const SimPlayer& player : state.players)
    if (player.userId == userId) return &player;
  return nullptr;
}

bool RemovePlayer(GameState& state, int userId) {
  const auto at = std::find_if(state.players.begin(), state.players.end(),
                               [&](const SimPlayer& p) { return p.userId == userId; });
  if (at == state.players.end()) return false;
  state.players.erase(at);
  return true;
}

SimCvar* FindCvar(GameState& state, std::string_view name) {
  for (SimCvar& cvar : state.cvars)
    if (cvar.name == name) return &cvar;
  return nullptr;
}

void ChurnStep(GameState& state, std::int64_t nowMs) {
  if (state.setup.churnSeconds <= 0 || nowMs < state.nextChurnMs) return;
  ScheduleChurn(state, nowMs);
  std::vector<int> humans;
  for (const SimPlayer& player : state.players)
    if (!player.bot) humans.push_back(player.userId);
  const bool full = int(state.players.size()) >= state.setup.maxPlayers;
  if (!humans.empty() && (full || Uniform(state.random, 0, 1) == 0)) {
    const int userId = humans[Uniform(state.random, 0, int(humans.size()) - 1)];
    state.logEvents.push_back({DisconnectedLine(*FindPlayer(state, userId))});
    RemovePlayer(state, userId);
  } else if (!full) {
    JoinHuman(state, nowMs, 0);
    state.logEvents.push_back({EnteredLine(*FindPlayer(state, state.nextUserId - 1))});
  }
  if (!state.players.empty())
    state.players[Uniform(state.random, 0, int(state.players.size()) - 1)].frags +=
        Uniform(state.random, 1, 3);
}
