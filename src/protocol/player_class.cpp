#include "protocol/player_class.h"

#include <cstddef>
#include <cstdint>
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
