#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/a2s.h"
#include "store/mytypes.h"

// What the result views show, as 8-bit texts; the views convert them for display. Titles, and
// values that are the program's own words, are source texts of the translations (context
// "Tfrm_main"); other values are what the server sent.

struct TitledValue {
  std::string Title;
  std::string Value;
  bool ValueIsOwnText = false;
};

// The rows of the details grid: seven, or twelve when the reply carried a mod block; a server
// that answered an A2S info reply adds its bots, version, anti-cheat flag and keywords.
std::vector<TitledValue> DetailRows(const TDetailInfo& info, const A2sInfo* a2s = nullptr);

// A byte count as the counter label shows it: in full up to 100000, above in thousands, which a
// "k" follows.
struct ByteCount {
  std::int32_t number;
  bool inThousands;
};
ByteCount ByteCountForm(std::int32_t count);
