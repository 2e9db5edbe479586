#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/protocolrace.h"

// A first contact's race told any sequence of events at any times. Each event is three bytes: what
// happened (bits 0-1: the server answered, an exchange ended, the clock alone; bit 2: the classic
// request, else the info request), the reply's kind (0: no reply, else the kind byte of a reply of
// a few bytes), and the clock's step in milliseconds.
//
// Checked on every input: no crash or sanitizer report; a decision never changes; classic is
// found only from a readable classic reply; A2S only from a readable info reply once classic has
// ended or the grace's floor has passed; nothing is found only when both have ended; the race
// asks to be woken only while it waits.

namespace {

constexpr Micros Ms = 1000;

bool Readable(char kind) {
  return kind == 'm' || kind == 'I';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ProtocolRace race(0);
  Micros now = 0;
  bool ended[2] = {false, false};
  bool readable[2] = {false, false};
  std::optional<Micros> firstA2sAnswer;
  std::optional<WireProtocol> decided;
  for (std::size_t at = 0; at + 3 <= size; at += 3) {
    const std::uint8_t what = data[at];
    const char kind = static_cast<char>(data[at + 1]);
    now += data[at + 2] * Ms;
    const WireProtocol protocol = (what & 4) ? WireProtocol::Classic : WireProtocol::A2s;
    const int side = protocol == WireProtocol::Classic ? 0 : 1;
    const bool waiting = race.state() == ProtocolRace::State::Waiting;
    switch (what & 3) {
      case 0:
        if (waiting && side == 1 && !firstA2sAnswer) firstA2sAnswer = now;
        race.Answered(protocol, now);
        break;
      case 1: {
        const std::string reply = std::string(4, '\xFF') + kind + "reply";
        if (waiting && !ended[side]) {
          ended[side] = true;
          readable[side] = kind != '\0' && Readable(kind);
          if (readable[side] && side == 1 && !firstA2sAnswer) firstA2sAnswer = now;
        }
        race.Ended(protocol, kind ? std::optional<std::string_view>(reply) : std::nullopt, now);
        break;
      }
      default:
        race.Advance(now);
    }
    if (race.WakeAt() && race.state() != ProtocolRace::State::Waiting) std::abort();
    if (race.state() == ProtocolRace::State::Unanswered && !(ended[0] && ended[1])) std::abort();
    const std::optional<WireProtocol> found = race.Found();
    if (decided && found != decided) std::abort();
    if (!found) continue;
    decided = found;
    if (*found == WireProtocol::Classic && !readable[0]) std::abort();
    if (*found == WireProtocol::A2s &&
        (!readable[1] || !(ended[0] || now - *firstA2sAnswer >= ProtocolRace::MinGrace)))
      std::abort();
  }
  return 0;
}
