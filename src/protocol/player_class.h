#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/mytypes.h"

// One player line of the console "status" listing.
struct TPlayerRecord {
  ShortString<25> Nick;
  std::int32_t UserId = 0;
  ShortString<25> WonId;
  std::int32_t Frags = 0;
  ShortString<10> Time;
  std::int32_t Ping = 0;
  std::int32_t Loss = 0;
  ShortString<100> Address;
};

// The per-player details of the last status listing.
class TPlayerInfo {
 public:
  std::int32_t Count() const { return static_cast<std::int32_t>(Players.size()); }
  void Clear() { Players.clear(); }
  // Reads the classic listing (seven lines before the players, one after) by position. Raises
  // EConvertError for a malformed number; the records from the failing line on are then empty.
  // Today's listing, whose table starts with a header row "# userid name uniqueid connected ping
  // loss state [rate] adr", is read by the header's column names instead, up to "#end"; bots
  // have no connection columns, and a row that does not fit is left out.
  void ParseStatus(const std::vector<std::string>& lines);
  // Raises EZerval "TPlayerInfo: Zugriff hinter dem Array" outside 0 .. Count - 1.
  TPlayerRecord GetPlayer(std::int32_t index) const;
  static std::string ReverseString(std::string_view text);

 private:
  std::vector<TPlayerRecord> Players;
};

// Whether a status nick (as stored, the listing's quotes included) names the player that the
// players reply calls `playerName`. The quotes are dropped first. A stored nick that fills its
// 25 bytes without a closing quote may have been cut, so it agrees with every name that begins
// with it; any other nick agrees only with the very same name.
bool StatusNickMatches(std::string_view statusNick, std::string_view playerName);

// The status record of the players list's row `row`, whose name is `playerName`: the record at
// the same index when its nick agrees (the two lists usually share their order), otherwise the
// one record whose nick agrees. -1 when none agrees, or several do and none sits at `row`.
std::int32_t MatchStatusRecord(const TPlayerInfo& info, std::int32_t row,
                               std::string_view playerName);
