#include "output_json.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "engine/query_protocol.h"
#include "json_writer.h"
#include "protocol/wireprotocol.h"
#include "report_words.h"

namespace {

std::string Decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

const char* Bool(bool value) {
  return value ? "true" : "false";
}

void WriteNumber(JsonWriter& json, const char* key, std::int64_t value) {
  json.Key(key).Literal(std::to_string(value));
}

void WriteMilliseconds(JsonWriter& json, const std::optional<double>& ms) {
  json.Key("roundTripMs").Literal(ms ? Decimal(*ms) : "null");
}

void WriteProtocol(JsonWriter& json, const std::optional<WireProtocol>& protocol) {
  json.Key("protocol");
  if (protocol)
    json.String(WireProtocolName(*protocol));
  else
    json.Literal("null");
}

void WriteMod(JsonWriter& json, const TDetailInfo& info) {
  json.BeginObject();
  json.Key("infoUrl").String(info.ModInfoUrl);
  json.Key("downloadUrl").String(info.ModDownloadUrl);
  WriteNumber(json, "version", info.ModVersion);
  WriteNumber(json, "size", info.ModSize);
  json.Key("serverOnly").Literal(Bool(info.ModServerOnly == 1));
  json.Key("clientDll").Literal(Bool(info.ModClientDll == 1));
  json.EndObject();
}

void WriteDetails(JsonWriter& json, const TDetailInfo& info,
                  const std::optional<A2sInfo>& a2sInfo) {
  json.BeginObject();
  json.Key("serverAddress").String(info.ServerAddress);
  json.Key("serverName").String(info.ServerName);
  json.Key("map").String(info.MapName);
  json.Key("gameDir").String(info.GameDir);
  json.Key("game").String(info.GameName);
  WriteNumber(json, "players", info.PlayerCount);
  WriteNumber(json, "maxPlayers", info.MaxPlayers);
  WriteNumber(json, "protocol", info.Protocol);
  const std::string serverType = ServerTypeWord(info, a2sInfo);
  json.Key("serverType").String(serverType);
  json.Key("dedicated").Literal(Bool(serverType == "dedicated"));
  json.Key("os").String(OperatingSystemWord(info, a2sInfo));
  json.Key("password").Literal(Bool(info.HasPassword == 1));
  json.Key("mod");
  if (info.IsMod == 1)
    WriteMod(json, info);
  else
    json.Literal("null");
  json.EndObject();
}

void WriteBigNumber(JsonWriter& json, const char* key, const std::optional<std::uint64_t>& value) {
  // As a text: a JSON number holds no 64-bit integer exactly.
  if (value) json.Key(key).String(std::to_string(*value));
}

// The fields of an info reply that the details record has no room for, where present.
void WriteA2sInfo(JsonWriter& json, const std::optional<A2sInfo>& info) {
  json.Key("a2s");
  if (!info) {
    json.Literal("null");
    return;
  }
  json.BeginObject();
  WriteNumber(json, "appId", info->appId);
  WriteNumber(json, "bots", info->bots);
  if (info->vac) json.Key("vac").Literal(Bool(*info->vac == 1));
  if (info->version) json.Key("version").String(*info->version);
  if (info->gamePort) WriteNumber(json, "gamePort", *info->gamePort);
  WriteBigNumber(json, "steamId", info->steamId);
  if (info->relayPort) WriteNumber(json, "relayPort", *info->relayPort);
  if (info->relayName) json.Key("relayName").String(*info->relayName);
  if (info->keywords) json.Key("keywords").String(*info->keywords);
  WriteBigNumber(json, "gameId", info->gameId);
  json.EndObject();
}

void WritePlayers(JsonWriter& json, const std::vector<PlayerEntry>& players) {
  json.BeginArray();
  for (const PlayerEntry& player : players) {
    json.BeginObject();
    json.Key("name").String(player.name);
    WriteNumber(json, "frags", player.frags);
    const std::optional<double> seconds = ConnectedSeconds(player);
    json.Key("time").Literal(seconds ? Decimal(*seconds) : "null");
    json.EndObject();
  }
  json.EndArray();
}

void WriteRules(JsonWriter& json, const std::vector<RuleEntry>& rules) {
  json.BeginArray();
  for (const RuleEntry& rule : rules) {
    json.BeginObject();
    json.Key("name").String(rule.name);
    json.Key("value").String(rule.value);
    json.EndObject();
  }
  json.EndArray();
}

std::string ErrorText(const std::vector<Problem>& problems) {
  std::string text;
  for (const Problem& problem : problems) {
    if (!text.empty()) text += "; ";
    text += problem.part.empty() ? problem.reason : problem.part + ": " + problem.reason;
  }
  return text;
}

void WriteServer(JsonWriter& json, const ServerReport& report, bool a2s) {
  json.BeginObject();
  json.Key("target").String(report.target);
  json.Key("address");
  if (report.address)
    json.String(FormatServerAddress(*report.address));
  else
    json.Literal("null");
  WriteProtocol(json, report.protocol);
  WriteMilliseconds(json, report.roundTripMs);
  json.Key("details");
  if (report.details)
    WriteDetails(json, *report.details, report.a2sInfo);
  else
    json.Literal("null");
  if (a2s || report.protocol == WireProtocol::A2s) WriteA2sInfo(json, report.a2sInfo);
  json.Key("players");
  if (report.players)
    WritePlayers(json, *report.players);
  else
    json.Literal("null");
  json.Key("rules");
  if (report.rules)
    WriteRules(json, *report.rules);
  else
    json.Literal("null");
  if (!report.problems.empty()) json.Key("error").String(ErrorText(report.problems));
  json.EndObject();
}

void WriteListEntry(JsonWriter& json, const ListResult& result) {
  json.BeginObject();
  json.Key("name").String(result.target.name);
  json.Key("address").String(result.target.address);
  WriteProtocol(json, result.protocol);
  json.Key("status").String(OutcomeWord(result.outcome));
  if (result.details) {
    json.Key("serverName").String(result.details->ServerName);
    json.Key("map").String(result.details->MapName);
    WriteNumber(json, "players", result.details->PlayerCount);
    WriteNumber(json, "maxPlayers", result.details->MaxPlayers);
  }
  WriteMilliseconds(json, result.roundTripMs);
  if (result.protocol == WireProtocol::A2s) WriteA2sInfo(json, result.a2sInfo);
  if (!result.error.empty()) json.Key("error").String(result.error);
  json.EndObject();
}

}  // namespace

void PrintServersJson(std::string& out, const std::vector<ServerReport>& reports, bool a2s,
                      bool pretty) {
  JsonWriter json(out, pretty);
  json.BeginObject();
  json.Key("servers").BeginArray();
  for (const ServerReport& report : reports) WriteServer(json, report, a2s);
  json.EndArray();
  json.EndObject();
  json.Finish();
}

void PrintConsoleJson(std::string& out, const std::string& target, const ConsoleReport& report,
                      bool pretty) {
  JsonWriter json(out, pretty);
  json.BeginObject();
  json.Key("servers").BeginArray();
  json.BeginObject();
  json.Key("target").String(target);
  json.Key("address").String(FormatServerAddress(report.address));
  json.Key("challenge").Literal(Bool(report.challengeAnswered));
  WriteMilliseconds(json, report.roundTripMs);
  json.Key("lines");
  if (report.lines) {
    json.BeginArray();
    for (const std::string& line : *report.lines) json.String(line);
    json.EndArray();
  } else {
    json.Literal("null");
  }
  json.Key("truncated").Literal(Bool(report.truncated));
  if (!report.error.empty()) json.Key("error").String(report.error);
  json.EndObject();
  json.EndArray();
  json.EndObject();
  json.Finish();
}

ListJson::ListJson(std::string& out, bool pretty) : json_(out, pretty) {
  json_.BeginObject();
  json_.Key("servers").BeginArray();
}

void ListJson::Add(const ListResult& result) {
  WriteListEntry(json_, result);
}

void ListJson::Finish() {
  json_.EndArray();
  json_.EndObject();
  json_.Finish();
}
