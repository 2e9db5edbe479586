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
  // Raises EConvertError for a malformed number; the records from the failing line on are
  // then empty.
  void ParseStatus(const std::vector<std::string>& lines);
  // Raises EZerval "TPlayerInfo: Zugriff hinter dem Array" outside 0 .. Count - 1.
  TPlayerRecord GetPlayer(std::int32_t index) const;
  static std::string ReverseString(std::string_view text);

 private:
  std::vector<TPlayerRecord> Players;
};
