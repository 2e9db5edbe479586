#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/rconsession.h"

// One TCP console session fed any sequence of connection events, bytes and times. The first byte
// chooses the command time-out in milliseconds (x 4), the second how the second run splits the
// server's bytes. Then events: a kind byte (low three bits: raw bytes, a packet built from an id
// byte, a type byte and a body, connected, connect failed, connection lost, a command submitted,
// the opening alone, the clock alone) and a 2-byte step of the clock in 64 µs units; bytes and
// packets bring a 2-byte length and the bytes. The driver takes the actions after every event but a
// submit, so that a close can come between a command and its writing.
//
// Checked on every input: no crash or sanitizer report; no output past the cap; no wake-up in the
// past; no command ended as answered at or after its deadline, or timed out before it; no command
// written twice; no password after a refusal; bounded memory; and the same events with the
// server's bytes split into other reads give the same results.

namespace {

std::uint16_t TwoBytes(std::string_view bytes) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[0]) |
                                    static_cast<std::uint8_t>(bytes[1]) << 8);
}

std::int32_t Int32At(std::string_view bytes) {
  std::uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) bits = bits << 8 | static_cast<std::uint8_t>(bytes[std::size_t(i)]);
  return static_cast<std::int32_t>(bits);
}

struct Outcome {
  std::uint64_t ticket;
  RconEnd end;
  std::string output;
  bool operator==(const Outcome& other) const {
    return ticket == other.ticket && end == other.end && output == other.output;
  }
};

class Harness {
 public:
  Harness(Micros timeout, std::size_t split)
      : session_("pw", timeout), timeout_(timeout), split_(split) {}

  void Receive(std::string_view bytes) {
    const std::size_t step = split_ ? split_ : std::max<std::size_t>(bytes.size(), 1);
    for (std::size_t at = 0; at < bytes.size(); at += step)
      session_.Received(bytes.substr(at, step), now_);
    Check();
  }
  void Submit(bool authOnly) {
    const std::uint64_t ticket = authOnly
                                     ? session_.Authenticate(now_)
                                     : session_.Submit("c" + std::to_string(submitted_++), now_);
    const std::size_t before = outcomes_.size();
    Check();
    const bool refusedAtOnce = outcomes_.size() > before && outcomes_.back().ticket == ticket;
    if (refusedAtOnce) return;
    if (queue_.empty()) headStart_ = now_;
    queue_.push_back(ticket);
  }
  void Act() {
    const RconActions actions = session_.TakeActions(now_);
    std::string_view written = actions.write;
    while (written.size() >= 12) {
      const std::size_t size = std::size_t(Int32At(written));
      const std::int32_t type = Int32At(written.substr(8));
      const std::string body(written.substr(12, size - 10));
      if (type == RconSession::Auth && refused_) __builtin_trap();
      if (type == RconSession::ExecCommand && !commands_.insert(body).second) __builtin_trap();
      written.remove_prefix(4 + size);
    }
    Check();
  }
  void Step(Micros micros) {
    now_ += micros;
    session_.Advance(now_);
    Check();
  }
  void Connected() {
    session_.Connected(now_);
    Check();
  }
  void ConnectFailed() {
    session_.ConnectFailed(now_);
    Check();
  }
  void ConnectionLost() {
    session_.ConnectionLost(now_);
    Check();
  }
  const std::vector<Outcome>& outcomes() const { return outcomes_; }

 private:
  void Check() {
    for (RconResult& result : session_.TakeResults()) {
      if (result.output.size() > RconSession::MaxOutput) __builtin_trap();
      const bool queued = !queue_.empty() && queue_.front() == result.ticket;
      if (queued) {
        const Micros deadline = headStart_ + timeout_;
        const bool answered = result.end == RconEnd::Complete || result.end == RconEnd::Quiet ||
                              result.end == RconEnd::Truncated;
        if (answered && now_ >= deadline) __builtin_trap();
        if (result.end == RconEnd::TimedOut && now_ < deadline) __builtin_trap();
        queue_.pop_front();
        headStart_ = now_;
      }
      outcomes_.push_back({result.ticket, result.end, std::move(result.output)});
    }
    refused_ = refused_ || session_.Refused();
    const std::optional<Micros> wake = session_.WakeAt();
    if (wake && *wake <= now_) __builtin_trap();
    if (wake && !queue_.empty() && *wake > headStart_ + timeout_) __builtin_trap();
    const std::size_t kept = RconSession::MaxOutput +
                             RconSession::MaxWaiting * (RconSession::MaxBodyBytes + 1) +
                             4 * RconSession::MaxPacketSize;
    if (session_.BytesKept() > kept) __builtin_trap();
    session_.TakeNotes();
  }

  RconSession session_;
  Micros timeout_;
  std::size_t split_;
  Micros now_ = 1'000'000;
  std::uint64_t submitted_ = 0;
  std::deque<std::uint64_t> queue_;
  Micros headStart_ = 0;
  std::set<std::string> commands_;
  bool refused_ = false;
  std::vector<Outcome> outcomes_;
};

std::vector<Outcome> Run(std::string_view input, Micros timeout, std::size_t split) {
  Harness harness(timeout, split);
  while (input.size() >= 3) {
    const auto kind = static_cast<std::uint8_t>(input[0]);
    const Micros step = static_cast<Micros>(TwoBytes(input.substr(1))) * 64;
    input.remove_prefix(3);
    harness.Step(step);
    std::string bytes;
    if ((kind & 7) <= 1) {
      const std::size_t header = (kind & 7) == 1 ? 4 : 2;
      if (input.size() < header) break;
      const std::size_t length =
          std::min<std::size_t>(TwoBytes(input.substr(header - 2)), input.size() - header);
      bytes = std::string(input.substr(header, length));
      if ((kind & 7) == 1)
        bytes = EncodeRconPacket(static_cast<std::uint8_t>(input[0]) - 2,
                                 static_cast<std::uint8_t>(input[1]) & 3, bytes);
      input.remove_prefix(header + length);
    }
    switch (kind & 7) {
      case 0:
      case 1:
        harness.Receive(bytes);
        break;
      case 2:
        harness.Connected();
        break;
      case 3:
        harness.ConnectFailed();
        break;
      case 4:
        harness.ConnectionLost();
        break;
      case 5:
      case 6:
        harness.Submit((kind & 7) == 6);
        continue;
      default:
        break;
    }
    harness.Act();
  }
  harness.Step(timeout + RconSession::IdleClose);
  harness.Act();
  return harness.outcomes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.size() < 2) return 0;
  const Micros timeout = (static_cast<Micros>(static_cast<std::uint8_t>(input[0])) + 1) * 4000;
  const std::size_t split = static_cast<std::uint8_t>(input[1]) % 16 + 1;
  input.remove_prefix(2);
  if (!(Run(input, timeout, 0) == Run(input, timeout, split))) __builtin_trap();
  return 0;
}
