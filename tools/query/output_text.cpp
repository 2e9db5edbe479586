#include "output_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/display_text.h"
#include "engine/query_protocol.h"
#include "protocol/wireprotocol.h"
#include "report_words.h"

namespace {

constexpr char TimeoutText[] = "timeout";

std::string Milliseconds(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", ms);
  return text;
}

std::string Padded(const std::string& text, std::size_t width) {
  const std::size_t columns = TerminalColumns(text);
  return text + std::string(width > columns ? width - columns : 0, ' ');
}

// An outcome's word with the reason, unless the reason says the word already.
std::string WordAndReason(Outcome outcome, const std::string& reason) {
  const std::string word = OutcomeWord(outcome);
  if (reason.rfind(word, 0) == 0) return TerminalText(reason);
  return word + " (" + TerminalText(reason) + ")";
}

const char* YesNo(std::uint8_t flag) {
  return flag == 1 ? "Yes" : "No";
}

std::string Capitalized(std::string word) {
  if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 32);
  return word;
}

std::string ServerKind(const TDetailInfo& info, const std::optional<A2sInfo>& a2sInfo) {
  std::string os = Capitalized(OperatingSystemWord(info, a2sInfo));
  if (os == "Macos") os = "macOS";
  return TerminalText(Capitalized(ServerTypeWord(info, a2sInfo))) + " / " + TerminalText(os);
}

std::string PlayersOfMax(const TDetailInfo& info) {
  return std::to_string(info.PlayerCount) + "/" + std::to_string(info.MaxPlayers);
}

// "m:ss", or "h:mm:ss" from an hour on; "-" for a time that is no number.
std::string ConnectedTime(const PlayerEntry& player) {
  const std::optional<double> seconds = ConnectedSeconds(player);
  if (!seconds || *seconds < 0 || *seconds >= 1e9) return "-";
  const auto whole = static_cast<long>(*seconds);
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

void PrintField(std::string& out, const std::string& title, const std::string& value) {
  out += "  " + Padded(title + ":", 25) + value + '\n';
}

void PrintDetails(std::string& out, const TDetailInfo& info,
                  const std::optional<A2sInfo>& a2sInfo) {
  PrintField(out, "Server Name", TerminalText(info.ServerName));
  PrintField(out, "Server IP", TerminalText(info.ServerAddress));
  PrintField(out, "Game", TerminalText(info.GameName));
  PrintField(out, "running Map", TerminalText(info.MapName));
  PrintField(out, "Player connected / max", PlayersOfMax(info));
  if (a2sInfo) PrintField(out, "Bots", std::to_string(a2sInfo->bots));
  PrintField(out, "Password", YesNo(info.HasPassword));
  PrintField(out, "Server Type / OS", ServerKind(info, a2sInfo));
  if (a2sInfo && a2sInfo->version) PrintField(out, "Version", TerminalText(*a2sInfo->version));
  if (info.IsMod != 1) return;
  PrintField(out, "Mod URL / Download URL",
             TerminalText(info.ModInfoUrl) + " / " + TerminalText(info.ModDownloadUrl));
  PrintField(out, "Mod Size", std::to_string(info.ModSize));
  PrintField(out, "Mod Version", std::to_string(info.ModVersion));
  PrintField(out, "\"Serveronly\" Mod", YesNo(info.ModServerOnly));
  PrintField(out, "Clientside Mod", YesNo(info.ModClientDll));
}

void PrintPlayers(std::string& out, const std::vector<PlayerEntry>& players) {
  std::vector<std::array<std::string, 3>> rows{{"Nick", "Frags", "Time"}};
  for (const PlayerEntry& player : players)
    rows.push_back(
        {TerminalText(player.name), std::to_string(player.frags), ConnectedTime(player)});
  std::array<std::size_t, 2> widths{};
  for (const auto& row : rows)
    for (std::size_t column = 0; column < widths.size(); ++column)
      widths[column] = std::max(widths[column], TerminalColumns(row[column]));
  for (const auto& row : rows)
    out += "  " + Padded(row[0], widths[0]) + "  " +
           std::string(widths[1] - TerminalColumns(row[1]), ' ') + row[1] + "  " + row[2] + '\n';
}

void PrintRules(std::string& out, const std::vector<RuleEntry>& rules) {
  for (const RuleEntry& rule : rules)
    out += "  " + TerminalText(rule.name) + " = " + TerminalText(rule.value) + '\n';
}

// Why a part is missing: the outcome's word, with the reason when it says more.
std::string Missing(const ServerReport& report, const char* part) {
  for (const Problem& problem : report.problems) {
    if (problem.part != part && !problem.part.empty()) continue;
    if (problem.outcome == Outcome::TimedOut || problem.outcome == Outcome::PortRefused)
      return OutcomeWord(problem.outcome);
    return WordAndReason(problem.outcome, problem.reason);
  }
  return TimeoutText;
}

std::string ListOutcome(const ListResult& result) {
  if (result.outcome == Outcome::Answered && result.roundTripMs)
    return Milliseconds(*result.roundTripMs);
  if (result.outcome == Outcome::TimedOut || result.outcome == Outcome::PortRefused ||
      result.error.empty())
    return OutcomeWord(result.outcome);
  return WordAndReason(result.outcome, result.error);
}

constexpr char NoValue[] = "-";

ListTable::Row ListColumns(const ListResult& result) {
  const ListTarget& target = result.target;
  const bool answered = result.outcome == Outcome::Answered && result.details;
  // A text list names a server by its address alone: it has no name of its own to show.
  const bool named = target.name != target.address;
  return {named ? TerminalText(target.name) : NoValue,
          answered ? TerminalText(result.details->ServerName) : NoValue,
          TerminalText(target.address),
          answered && result.protocol ? WireProtocolName(*result.protocol) : NoValue,
          answered ? TerminalText(result.details->MapName) : NoValue,
          answered ? PlayersOfMax(*result.details) : NoValue,
          ListOutcome(result)};
}

void PrintServerText(std::string& out, const ServerReport& report) {
  out += TerminalText(report.address ? FormatServerAddress(*report.address) : report.target);
  if (report.roundTripMs)
    out += " answered in " + Milliseconds(*report.roundTripMs) +
           (report.protocol
                ? std::string(" with the ") + WireProtocolName(*report.protocol) + " protocol"
                : std::string()) +
           '\n';
  else
    out += ": " + Missing(report, "details") + '\n';
  if (!report.address) return;
  out += "\nDetails";
  if (report.details) {
    out += '\n';
    PrintDetails(out, *report.details, report.a2sInfo);
  } else {
    out += ": " + Missing(report, "details") + '\n';
  }
  out += "\nPlayers";
  if (report.players) {
    out += " (" + std::to_string(report.players->size()) + ")\n";
    PrintPlayers(out, *report.players);
  } else {
    out += ": " + Missing(report, "players") + '\n';
  }
  out += "\nRules";
  if (report.rules) {
    out += " (" + std::to_string(report.rules->size()) + ")\n";
    PrintRules(out, *report.rules);
  } else {
    out += ": " + Missing(report, "rules") + '\n';
  }
}

}  // namespace

void PrintServersText(std::string& out, const std::vector<ServerReport>& reports) {
  for (std::size_t i = 0; i < reports.size(); ++i) {
    if (i > 0) out += '\n';
    PrintServerText(out, reports[i]);
  }
}

void PrintConsoleText(std::string& out, const ConsoleReport& report) {
  if (!report.lines) return;
  for (const std::string& line : *report.lines) out += TerminalText(line) + '\n';
}

ListTable::ListTable(std::size_t entries) {
  rows_.reserve(entries + 1);
  Remember(Title);
}

const ListTable::Row ListTable::Title = {"Name", "Server",  "Address",   "Protocol",
                                         "Map",  "Players", "Round trip"};

void ListTable::Add(const ListResult& result) {
  Remember(ListColumns(result));
}

// Cells hold no zero byte (TerminalText leaves no control character), so one separates them.
void ListTable::Remember(const Row& row) {
  std::size_t bytes = row.size() - 1;
  for (std::size_t column = 0; column < row.size(); ++column) {
    widths_[column] = std::max(widths_[column], TerminalColumns(row[column]));
    bytes += row[column].size();
  }
  // A block never grows beyond the room it was given, so the rows in it stay where they are.
  if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < bytes)
    blocks_.emplace_back().reserve(std::max(BlockBytes, bytes));
  std::string& block = blocks_.back();
  const std::size_t start = block.size();
  for (std::size_t column = 0; column < row.size(); ++column) {
    if (column > 0) block += '\0';
    block += row[column];
  }
  rows_.emplace_back(block.data() + start, bytes);
}

void ListTable::AppendLine(std::string& out, std::size_t index) const {
  std::string_view cells = rows_[index];
  for (std::size_t column = 0; column + 1 < widths_.size(); ++column) {
    const std::size_t end = cells.find('\0');
    out += Padded(std::string(cells.substr(0, end)), widths_[column]) + "  ";
    cells.remove_prefix(end + 1);
  }
  out += cells;
  out += '\n';
}
