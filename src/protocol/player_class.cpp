#include "protocol/player_class.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

// The listing's head (server name, version, address, map, player count, a blank line and the
// column titles) and its one closing line ("n users").
constexpr std::size_t HeadLines = 7;
constexpr std::size_t TailLines = 1;
// "#  1 " style slot column in front of the nick, dropped unread.
constexpr std::size_t SlotPrefixLength = 4;

// Cuts the rightmost field off `reversed` (a player line read backwards) and returns it the
// right way round. Without a blank left, the field is empty and `reversed` stays as it is.
std::string TakeFieldFromRight(std::string& reversed) {
  const std::size_t blank = reversed.find(' ');
  if (blank == std::string::npos) return {};
  std::string field = Trim(TPlayerInfo::ReverseString(std::string_view(reversed).substr(0, blank)));
  reversed = Trim(std::string_view(reversed).substr(blank));
  return field;
}

// Fields sit at the right end of the line, so a nick with blanks in it stays whole.
TPlayerRecord ParsePlayerLine(std::string_view line) {
  std::string reversed = Trim(TPlayerInfo::ReverseString(line));
  if (reversed.size() >= SlotPrefixLength) reversed.resize(reversed.size() - SlotPrefixLength);
  reversed = Trim(reversed);

  TPlayerRecord record;
  record.Address = TakeFieldFromRight(reversed);
  record.Loss = StrToInt(TakeFieldFromRight(reversed));
  record.Ping = StrToInt(TakeFieldFromRight(reversed));
  record.Time = TakeFieldFromRight(reversed);
  record.Frags = StrToInt(TakeFieldFromRight(reversed));
  record.WonId = TakeFieldFromRight(reversed);
  record.UserId = StrToInt(TakeFieldFromRight(reversed));
  record.Nick = Trim(TPlayerInfo::ReverseString(reversed));
  return record;
}

constexpr char Quote = '"';

// Today's status table: a header row that names its columns, userid first.
constexpr std::string_view UserIdColumn = "userid";
constexpr std::string_view NameColumn = "name";
constexpr std::string_view TableEnd = "#end";
// Columns of a connection, which bot rows leave out.
constexpr std::string_view ConnectionColumns[] = {"connected", "ping", "loss", "adr"};

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  for (;;) {
    const std::size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return words;
    text.remove_prefix(begin);
    const std::size_t end = std::min(text.find_first_of(" \t\r\n"), text.size());
    words.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
}

// The column names of a table header "# userid name uniqueid ...", none for another line.
std::optional<std::vector<std::string_view>> TableColumns(std::string_view line) {
  const std::string_view row = TrimView(line);
  if (row.empty() || row.front() != '#') return std::nullopt;
  std::vector<std::string_view> columns = Words(row.substr(1));
  if (columns.empty() || columns.front() != UserIdColumn ||
      std::find(columns.begin(), columns.end(), NameColumn) == columns.end())
    return std::nullopt;
  return columns;
}

bool IsConnectionColumn(std::string_view column) {
  return std::find(std::begin(ConnectionColumns), std::end(ConnectionColumns), column) !=
         std::end(ConnectionColumns);
}

// False for a number column whose value is no number.
bool SetColumn(TPlayerRecord& record, std::string_view column, std::string_view value) {
  if (column == UserIdColumn) return TryStrToInt(value, record.UserId);
  if (column == "ping") return TryStrToInt(value, record.Ping);
  if (column == "loss") return TryStrToInt(value, record.Loss);
  if (column == "uniqueid") record.WonId = value;
  if (column == "connected") record.Time = value;
  if (column == "adr") record.Address = value;
  return true;
}

// A row "# USERID "NAME" UNIQUEID CONNECTED PING LOSS STATE [RATE] ADR" read by the header's
// columns; a bot's row has no connection columns. The name runs from the first quote to the last,
// so blanks and quotes inside it stay. None for a row that does not fit the header.
std::optional<TPlayerRecord> ReadTableRow(std::string_view line,
                                          const std::vector<std::string_view>& columns) {
  const std::string_view row = TrimView(line);
  const std::size_t open = row.find(Quote);
  const std::size_t close = row.rfind(Quote);
  if (row.empty() || row.front() != '#' || open == close || close == std::string_view::npos)
    return std::nullopt;
  const auto name = std::find(columns.begin(), columns.end(), NameColumn);
  const std::vector<std::string_view> before(columns.begin(), name);
  std::vector<std::string_view> after(name + 1, columns.end());
  const std::vector<std::string_view> leading = Words(row.substr(1, open - 1));
  const std::vector<std::string_view> trailing = Words(row.substr(close + 1));
  if (trailing.size() != after.size())
    after.erase(std::remove_if(after.begin(), after.end(), IsConnectionColumn), after.end());
  if (leading.size() < before.size() || trailing.size() != after.size()) return std::nullopt;
  TPlayerRecord record;
  record.Nick = row.substr(open, close - open + 1);
  for (std::size_t i = 0; i < before.size(); ++i)
    if (!SetColumn(record, before[i], leading[i])) return std::nullopt;
  for (std::size_t i = 0; i < after.size(); ++i)
    if (!SetColumn(record, after[i], trailing[i])) return std::nullopt;
  return record;
}

// The rows after the header, up to "#end" when the table has one; rows that do not fit are left
// out.
std::vector<TPlayerRecord> ReadTable(std::vector<std::string>::const_iterator header,
                                     std::vector<std::string>::const_iterator end,
                                     const std::vector<std::string_view>& columns) {
  std::vector<TPlayerRecord> records;
  for (auto line = header + 1; line != end && TrimView(*line) != TableEnd; ++line)
    if (std::optional<TPlayerRecord> record = ReadTableRow(*line, columns))
      records.push_back(std::move(*record));
  return records;
}

bool IsQuoted(std::string_view nick) {
  return nick.size() >= 2 && nick.front() == Quote && nick.back() == Quote;
}

// The listing's quotes around the nick: one in front and, unless the cut took it, one behind.
std::string_view WithoutQuotes(std::string_view nick) {
  if (IsQuoted(nick)) return nick.substr(1, nick.size() - 2);
  if (!nick.empty() && nick.front() == Quote) return nick.substr(1);
  return nick;
}

}  // namespace

void TPlayerInfo::ParseStatus(const std::vector<std::string>& lines) {
  for (auto line = lines.begin(); line != lines.end(); ++line) {
    if (const std::optional<std::vector<std::string_view>> columns = TableColumns(*line)) {
      Players = ReadTable(line, lines.end(), *columns);
      return;
    }
  }
  if (lines.size() <= HeadLines + TailLines) return;
  // Every record exists before the first line is read, so when a line fails, it and the ones
  // after it stay empty and harmless to read.
  Players.assign(lines.size() - HeadLines - TailLines, TPlayerRecord{});
  for (std::size_t i = HeadLines; i < lines.size() - TailLines; ++i)
    Players[i - HeadLines] = ParsePlayerLine(lines[i]);
}

TPlayerRecord TPlayerInfo::GetPlayer(std::int32_t index) const {
  if (index < 0 || index >= Count()) throw EZerval("TPlayerInfo: Zugriff hinter dem Array");
  return Players[static_cast<std::size_t>(index)];
}

std::string TPlayerInfo::ReverseString(std::string_view text) {
  return std::string(text.rbegin(), text.rend());
}

bool StatusNickMatches(std::string_view statusNick, std::string_view playerName) {
  const std::string_view bare = WithoutQuotes(statusNick);
  const bool mayBeCut =
      statusNick.size() >= decltype(TPlayerRecord::Nick)::Capacity && !IsQuoted(statusNick);
  if (!mayBeCut) return bare == playerName;
  return playerName.substr(0, bare.size()) == bare;
}

std::int32_t MatchStatusRecord(const TPlayerInfo& info, std::int32_t row,
                               std::string_view playerName) {
  if (row >= 0 && row < info.Count() &&
      StatusNickMatches(info.GetPlayer(row).Nick.view(), playerName))
    return row;
  std::int32_t match = -1;
  for (std::int32_t i = 0; i < info.Count(); ++i) {
    if (!StatusNickMatches(info.GetPlayer(i).Nick.view(), playerName)) continue;
    if (match >= 0) return -1;
    match = i;
  }
  return match;
}
