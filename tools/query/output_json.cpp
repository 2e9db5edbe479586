#include "output_json.h"

#include <cstddef>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "engine/display_text.h"

namespace {

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

const char* Bool(bool value) {
  return value ? "true" : "false";
}

// Writes `"key":` before a value, with a comma after the first member of an object.
class JsonObject {
 public:
  explicit JsonObject(std::ostream& out) : out_(out) { out_ << '{'; }
  ~JsonObject() { out_ << '}'; }
  JsonObject(const JsonObject&) = delete;
  JsonObject& operator=(const JsonObject&) = delete;

  std::ostream& Key(const char* key) {
    if (!first_) out_ << ',';
    first_ = false;
    return out_ << '"' << key << "\":";
  }

 private:
  std::ostream& out_;
  bool first_ = true;
};

void WriteMod(std::ostream& out, const TDetailInfo& info) {
  JsonObject mod(out);
  mod.Key("infoUrl") << JsonString(info.ModInfoUrl);
  mod.Key("downloadUrl") << JsonString(info.ModDownloadUrl);
  mod.Key("version") << info.ModVersion;
  mod.Key("size") << info.ModSize;
  mod.Key("serverOnly") << Bool(info.ModServerOnly == 1);
  mod.Key("clientDll") << Bool(info.ModClientDll == 1);
}

void WriteDetails(std::ostream& out, const TDetailInfo& info) {
  JsonObject details(out);
  details.Key("serverAddress") << JsonString(info.ServerAddress);
  details.Key("serverName") << JsonString(info.ServerName);
  details.Key("map") << JsonString(info.MapName);
  details.Key("gameDir") << JsonString(info.GameDir);
  details.Key("game") << JsonString(info.GameName);
  details.Key("players") << static_cast<int>(info.PlayerCount);
  details.Key("maxPlayers") << static_cast<int>(info.MaxPlayers);
  details.Key("protocol") << static_cast<int>(info.Protocol);
  details.Key("dedicated") << Bool(info.ServerType == 'd');
  details.Key("os") << (info.ServerOS == 'l' ? "\"linux\"" : "\"windows\"");
  details.Key("password") << Bool(info.HasPassword == 1);
  if (info.IsMod == 1)
    WriteMod(details.Key("mod"), info);
  else
    details.Key("mod") << "null";
}

void WritePlayers(std::ostream& out, const TPlayerList& list) {
  out << '[';
  for (std::size_t i = 0; i < list.Items.size(); ++i) {
    if (i > 0) out << ',';
    JsonObject player(out);
    player.Key("name") << JsonString(list.Items[i].Name);
    player.Key("frags") << list.Items[i].Frags;
  }
  out << ']';
}

void WriteRules(std::ostream& out, const TRuleList& list) {
  out << '[';
  for (std::size_t i = 0; i < list.Items.size(); ++i) {
    if (i > 0) out << ',';
    JsonObject rule(out);
    rule.Key("name") << JsonString(list.Items[i].Name);
    rule.Key("value") << JsonString(list.Items[i].Value);
  }
  out << ']';
}

const char* StatusName(ListStatus status) {
  switch (status) {
    case ListStatus::Answered:
      return "\"ok\"";
    case ListStatus::TimedOut:
      return "\"timeout\"";
    case ListStatus::BadAddress:
      return "\"bad address\"";
    case ListStatus::SendFailed:
      return "\"send failed\"";
  }
  return "null";
}

void WriteListEntry(std::ostream& out, const ListResult& result) {
  JsonObject entry(out);
  entry.Key("name") << JsonString(result.name);
  entry.Key("address") << JsonString(result.address);
  entry.Key("status") << StatusName(result.status);
  if (result.status == ListStatus::Answered) {
    entry.Key("serverName") << JsonString(result.details.ServerName);
    entry.Key("map") << JsonString(result.details.MapName);
    entry.Key("players") << static_cast<int>(result.details.PlayerCount);
    entry.Key("maxPlayers") << static_cast<int>(result.details.MaxPlayers);
    entry.Key("roundTripMs") << Number(result.roundTripMs);
  } else if (!result.error.empty()) {
    entry.Key("error") << JsonString(result.error);
  }
}

}  // namespace

void PrintServerJson(std::ostream& out, const ServerReport& report) {
  {
    JsonObject server(out);
    server.Key("address") << JsonString(FormatServerAddress(report.address));
    server.Key("roundTripMs") << Number(report.roundTripMs);
    if (report.details)
      WriteDetails(server.Key("details"), *report.details);
    else
      server.Key("details") << "null";
    if (report.players)
      WritePlayers(server.Key("players"), *report.players);
    else
      server.Key("players") << "null";
    if (report.rules)
      WriteRules(server.Key("rules"), *report.rules);
    else
      server.Key("rules") << "null";
  }
  out << '\n';
}

void PrintConsoleJson(std::ostream& out, const ConsoleReport& report) {
  {
    JsonObject console(out);
    console.Key("address") << JsonString(FormatServerAddress(report.address));
    console.Key("challenge") << Bool(report.challengeAnswered);
    if (report.lines) {
      console.Key("roundTripMs") << Number(report.roundTripMs);
      std::ostream& lines = console.Key("lines");
      lines << '[';
      for (std::size_t i = 0; i < report.lines->size(); ++i)
        lines << (i > 0 ? "," : "") << JsonString((*report.lines)[i]);
      lines << ']';
    } else {
      console.Key("lines") << "null";
    }
  }
  out << '\n';
}

void PrintListJson(std::ostream& out, const std::vector<ListResult>& results) {
  out << "{\"servers\":[";
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (i > 0) out << ',';
    out << '\n';
    WriteListEntry(out, results[i]);
  }
  out << "\n]}\n";
}
