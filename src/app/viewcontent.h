#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/mytypes.h"

// What the result views show, as 8-bit texts; the views convert them for display.

struct TitledValue {
  std::string Title;
  std::string Value;
};

// The rows of the details grid: seven, or twelve when the reply carried a mod block.
std::vector<TitledValue> DetailRows(const TDetailInfo& info);

// A byte count as the counter label shows it: in full up to 100000, above in thousands with "k".
std::string ByteCountForm(std::int32_t count);
std::string ByteCounterCaption(std::int32_t sent, std::int32_t received);
