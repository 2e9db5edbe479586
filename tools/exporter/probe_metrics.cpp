#include "probe_metrics.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/query_protocol.h"
#include "metrics_text.h"
#include "protocol/datafuncs.h"
#include "protocol/player_class.h"
#include "protocol/wireprotocol.h"

namespace {

void ServerMetrics(const ProbeResult& probe, MetricsText& out) {
  const ServerReport& report = probe.report;
  const TDetailInfo& details = *report.details;
  out.Family("zerval_round_trip_seconds", "Time from the first request to the server's reply.");
  out.Sample("zerval_round_trip_seconds", report.roundTripMs.value_or(0) / 1000);
  out.Family("zerval_players", "Players on the server, as its details reply counts them.");
  out.Sample("zerval_players", details.PlayerCount);
  out.Family("zerval_max_players", "Player slots of the server.");
  out.Sample("zerval_max_players", details.MaxPlayers);
  if (report.a2sInfo) {
    out.Family("zerval_bots", "Bots among the players.");
    out.Sample("zerval_bots", report.a2sInfo->bots);
  }
  out.Family("zerval_info",
             "The server's name, map, game, game folder, protocol version and the query protocol "
             "it answered in.");
  out.Sample("zerval_info", 1,
             {{"name", details.ServerName},
              {"map", details.MapName},
              {"game", details.GameName},
              {"game_dir", details.GameDir},
              {"protocol", std::to_string(details.Protocol)},
              {"query_protocol", report.protocol ? WireProtocolName(*report.protocol) : ""}});
}

void PlayerMetrics(const std::vector<PlayerEntry>& players, MetricsText& out) {
  std::vector<std::string> names;
  for (const PlayerEntry& player : players) names.push_back(player.name);
  names = UniqueNames(names);
  out.Family("zerval_player_frags", "Frags of each player.");
  for (std::size_t i = 0; i < players.size(); ++i)
    out.Sample("zerval_player_frags", players[i].frags, {{"player", names[i]}});
  out.Family("zerval_player_connected_seconds", "How long each player has been connected.");
  for (std::size_t i = 0; i < players.size(); ++i)
    if (const std::optional<double> seconds = ConnectedSeconds(players[i]))
      out.Sample("zerval_player_connected_seconds", *seconds, {{"player", names[i]}});
}

// The nick of a status line without the listing's quotes.
std::string_view BareNick(std::string_view nick) {
  if (!nick.empty() && nick.front() == '"') nick.remove_prefix(1);
  if (!nick.empty() && nick.back() == '"') nick.remove_suffix(1);
  return nick;
}

void ConsoleMetrics(const ConsoleResult& console, MetricsText& out) {
  out.Family("zerval_rcon_up", "Whether the console answered \"status\" with the password (1).");
  out.Sample("zerval_rcon_up", console.up ? 1 : 0);
  if (console.players.empty()) return;
  // Nick and user id together name a series; a repeated pair gets its number after the nick.
  std::vector<std::string> keys;
  for (const TPlayerRecord& player : console.players)
    keys.push_back(std::string(BareNick(player.Nick.view())) + '\n' +
                   std::to_string(player.UserId));
  const std::vector<std::string> unique = UniqueNames(keys);
  std::vector<Labels> labels;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const TPlayerRecord& player = console.players[i];
    const std::string number = unique[i].substr(keys[i].size());
    labels.push_back({{"player", std::string(BareNick(player.Nick.view())) + number},
                      {"userid", std::to_string(player.UserId)}});
  }
  out.Family("zerval_player_ping_seconds", "Ping of each player, from the console's status.");
  for (std::size_t i = 0; i < labels.size(); ++i)
    out.Sample("zerval_player_ping_seconds", console.players[i].Ping / 1000.0, labels[i]);
  out.Family("zerval_player_loss_ratio", "Packet loss of each player, from the console's status.");
  for (std::size_t i = 0; i < labels.size(); ++i)
    out.Sample("zerval_player_loss_ratio", console.players[i].Loss / 100.0, labels[i]);
}

}  // namespace

std::string ProbeMetrics(const ProbeResult& probe) {
  MetricsText out;
  const bool up = probe.report.details.has_value();
  out.Family("zerval_up", "Whether the server answered (1) or not (0).");
  out.Sample("zerval_up", up ? 1 : 0);
  out.Family("zerval_probe_duration_seconds", "How long the probe took.");
  out.Sample("zerval_probe_duration_seconds", probe.durationSeconds);
  if (up) ServerMetrics(probe, out);
  if (up && probe.report.players) PlayerMetrics(*probe.report.players, out);
  if (probe.console) ConsoleMetrics(*probe.console, out);
  return out.Text();
}
