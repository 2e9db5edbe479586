#include "probe_metrics.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/query_protocol.h"
#include "metrics_text.h"
#include "probe_verdict.h"
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

// The players reply's first `count` players.
void PlayerMetrics(const std::vector<PlayerEntry>& players, std::size_t count, MetricsText& out) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < count; ++i) names.push_back(LabelText(players[i].name));
  names = UniqueLabelValues(names);
  out.Family("zerval_player_frags", "Frags of each player.");
  for (std::size_t i = 0; i < count; ++i)
    out.Sample("zerval_player_frags", players[i].frags, {{"player", names[i]}});
  out.Family("zerval_player_connected_seconds", "How long each player has been connected.");
  for (std::size_t i = 0; i < count; ++i)
    if (const std::optional<double> seconds = ConnectedSeconds(players[i]))
      out.Sample("zerval_player_connected_seconds", *seconds, {{"player", names[i]}});
}

// The nick of a status line without the listing's quotes.
std::string_view BareNick(std::string_view nick) {
  if (!nick.empty() && nick.front() == '"') nick.remove_prefix(1);
  if (!nick.empty() && nick.back() == '"') nick.remove_suffix(1);
  return nick;
}

// The status listing's first `count` players.
void ConsoleMetrics(const ConsoleResult& console, std::size_t count, MetricsText& out) {
  out.Family("zerval_rcon_up", "Whether the console answered \"status\" with the password (1).");
  out.Sample("zerval_rcon_up", console.up ? 1 : 0);
  if (count == 0) return;
  // Nick and user id together name a series; a repeated pair gets its number after the nick.
  std::vector<std::string> nicks;
  std::vector<std::string> userIds;
  for (std::size_t i = 0; i < count; ++i) {
    nicks.push_back(LabelText(BareNick(console.players[i].Nick.view())));
    userIds.push_back(std::to_string(console.players[i].UserId));
  }
  nicks = UniqueLabelValues(nicks, userIds);
  std::vector<Labels> labels;
  for (std::size_t i = 0; i < count; ++i)
    labels.push_back({{"player", nicks[i]}, {"userid", userIds[i]}});
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
  const ProbeVerdict verdict = JudgeProbe(probe);
  out.Family("zerval_up", "Whether the server answered (1) or not (0).");
  out.Sample("zerval_up", verdict.up ? 1 : 0);
  out.Family("zerval_probe_duration_seconds", "How long the probe took.");
  out.Sample("zerval_probe_duration_seconds", probe.durationSeconds);
  if (!verdict.reason.empty()) {
    out.Family("zerval_probe_failure_info",
               "Why the probe failed: timeout, refused, unreadable or console-refused.");
    out.Sample("zerval_probe_failure_info", 1, {{"reason", verdict.reason}});
  }
  if (verdict.up) ServerMetrics(probe, out);
  // Two metrics per list of players share the probe's series that name a player.
  const std::size_t listed = verdict.playersRead ? probe.report.players->size() : 0;
  const std::size_t statusListed = probe.console ? probe.console->players.size() : 0;
  const std::size_t lists = (verdict.playersRead ? 1 : 0) + (statusListed > 0 ? 1 : 0);
  const std::size_t share = lists == 0 ? 0 : MaxPlayerSeries / (2 * lists);
  if (verdict.playersRead) PlayerMetrics(*probe.report.players, std::min(listed, share), out);
  if (probe.console) ConsoleMetrics(*probe.console, std::min(statusListed, share), out);
  if (lists > 0) {
    out.Family(
        "zerval_players_truncated",
        "Whether players were left out (1): a probe names at most 256 series after players.");
    out.Sample("zerval_players_truncated", listed > share || statusListed > share ? 1 : 0);
  }
  return out.Text();
}
