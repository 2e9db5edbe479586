#pragma once

#include <chrono>

#include "protocol/replypolicy.h"

// The microseconds of the steady clock, on which the window's exchanges and the console race and
// session of the window and the chat companion count their times.
inline Micros SteadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
