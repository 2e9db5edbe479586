#pragma once

#include <chrono>

#include "protocol/replypolicy.h"
#include "protocol/steadyclock.h"

// The engine's clock, and the reply policy's microseconds on it.
using Clock = std::chrono::steady_clock;

inline Micros MicrosOf(Clock::time_point time) {
  return std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
}

inline Micros MicrosOf(std::chrono::milliseconds duration) {
  return std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
}

inline Clock::time_point AtMicros(Micros micros) {
  return Clock::time_point(
      std::chrono::duration_cast<Clock::duration>(std::chrono::microseconds(micros)));
}

inline Micros NowMicros() {
  return SteadyMicros();
}
