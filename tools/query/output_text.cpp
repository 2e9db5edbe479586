#include "output_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/display_text.h"

namespace {

constexpr char TimeoutText[] = "timeout";

std::string Milliseconds(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", ms);
  return text;
}

// Characters of a UTF-8 text: its bytes without the continuation bytes.
std::size_t CharacterCount(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string Padded(const std::string& text, std::size_t width) {
  const std::size_t characters = CharacterCount(text);
  return text + std::string(width > characters ? width - characters : 0, ' ');
}

const char* YesNo(std::uint8_t flag) {
  return flag == 1 ? "Yes" : "No";
}

std::string ServerKind(const TDetailInfo& info) {
  return std::string(info.ServerType == 'd' ? "Dedicated" : "Listen") +
         (info.ServerOS == 'l' ? " / Linux" : " / Windows");
}

std::string PlayersOfMax(const TDetailInfo& info) {
  return std::to_string(info.PlayerCount) + "/" + std::to_string(info.MaxPlayers);
}

void PrintField(std::ostream& out, const std::string& title, const std::string& value) {
  out << "  " << Padded(title + ":", 25) << value << '\n';
}

void PrintDetails(std::ostream& out, const TDetailInfo& info) {
  PrintField(out, "Server Name", TerminalText(info.ServerName));
  PrintField(out, "Server IP", TerminalText(info.ServerAddress));
  PrintField(out, "Game", TerminalText(info.GameName));
  PrintField(out, "running Map", TerminalText(info.MapName));
  PrintField(out, "Player connected / max", PlayersOfMax(info));
  PrintField(out, "Password", YesNo(info.HasPassword));
  PrintField(out, "Server Type / OS", ServerKind(info));
  if (info.IsMod != 1) return;
  PrintField(out, "Mod URL / Download URL",
             TerminalText(info.ModInfoUrl) + " / " + TerminalText(info.ModDownloadUrl));
  PrintField(out, "Mod Size", std::to_string(info.ModSize));
  PrintField(out, "Mod Version", std::to_string(info.ModVersion));
  PrintField(out, "\"Serveronly\" Mod", YesNo(info.ModServerOnly));
  PrintField(out, "Clientside Mod", YesNo(info.ModClientDll));
}

void PrintPlayers(std::ostream& out, const TPlayerList& list) {
  std::vector<std::string> names;
  std::size_t width = CharacterCount("Nick");
  for (const TPlayerItem& item : list.Items) {
    names.push_back(TerminalText(item.Name));
    width = std::max(width, CharacterCount(names.back()));
  }
  out << "  " << Padded("Nick", width) << "  Frags\n";
  for (std::size_t i = 0; i < names.size(); ++i)
    out << "  " << Padded(names[i], width) << "  " << list.Items[i].Frags << '\n';
}

void PrintRules(std::ostream& out, const TRuleList& list) {
  for (const TRuleItem& item : list.Items)
    out << "  " << TerminalText(item.Name) << " = " << TerminalText(item.Value) << '\n';
}

std::string ListOutcome(const ListResult& result) {
  switch (result.status) {
    case ListStatus::Answered:
      return Milliseconds(result.roundTripMs);
    case ListStatus::TimedOut:
      return result.error.empty()
                 ? TimeoutText
                 : std::string(TimeoutText) + " (" + TerminalText(result.error) + ")";
    case ListStatus::BadAddress:
      return "bad address: " + TerminalText(result.error);
    case ListStatus::SendFailed:
      return "send failed: " + TerminalText(result.error);
  }
  return {};
}

using ListRow = std::array<std::string, 5>;

ListRow ListColumns(const ListResult& result) {
  const bool answered = result.status == ListStatus::Answered;
  return {TerminalText(result.name), TerminalText(result.address),
          answered ? TerminalText(result.details.MapName) : "-",
          answered ? PlayersOfMax(result.details) : "-", ListOutcome(result)};
}

}  // namespace

void PrintServerText(std::ostream& out, const ServerReport& report) {
  out << FormatServerAddress(report.address);
  if (report.details || report.players || report.rules)
    out << " answered in " << Milliseconds(report.roundTripMs) << '\n';
  else
    out << ": " << TimeoutText << '\n';
  out << "\nDetails";
  if (report.details) {
    out << '\n';
    PrintDetails(out, *report.details);
  } else {
    out << ": " << TimeoutText << '\n';
  }
  out << "\nPlayers";
  if (report.players) {
    out << " (" << report.players->Items.size() << ")\n";
    PrintPlayers(out, *report.players);
  } else {
    out << ": " << TimeoutText << '\n';
  }
  out << "\nRules";
  if (report.rules) {
    out << " (" << report.rules->Items.size() << ")\n";
    PrintRules(out, *report.rules);
  } else {
    out << ": " << TimeoutText << '\n';
  }
}

void PrintConsoleText(std::ostream& out, const ConsoleReport& report) {
  if (!report.lines) return;
  for (const std::string& line : *report.lines) out << TerminalText(line) << '\n';
}

void PrintListText(std::ostream& out, const std::vector<ListResult>& results) {
  std::vector<ListRow> rows{{"Name", "Address", "Map", "Players", "Round trip"}};
  for (const ListResult& result : results) rows.push_back(ListColumns(result));
  std::array<std::size_t, 5> widths{};
  for (const ListRow& row : rows)
    for (std::size_t column = 0; column < row.size(); ++column)
      widths[column] = std::max(widths[column], CharacterCount(row[column]));
  for (const ListRow& row : rows) {
    for (std::size_t column = 0; column + 1 < row.size(); ++column)
      out << Padded(row[column], widths[column]) << "  ";
    out << row.back() << '\n';
  }
}
