#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "store/mytypes.h"

// Wire and file texts are bytes. They are shown as UTF-8 when they are UTF-8, otherwise as
// Latin-1. A UTF-8 character cut in half at the end is dropped when `cutByLimit` says the text
// was cut at a byte limit, or when the rest of the text shows it is UTF-8.
QString ToDisplay(std::string_view bytes, bool cutByLimit = false);

// A short string filled up to its capacity may have been cut there.
template <std::size_t N>
QString ToDisplay(const ShortString<N>& text) {
  return ToDisplay(text.view(), text.size() == N);
}

// Text typed by the operator, back to bytes: Latin-1 when it fits, otherwise UTF-8.
std::string FromDisplay(const QString& text);
