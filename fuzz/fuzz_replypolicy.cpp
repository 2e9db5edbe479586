#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/datafuncs.h"
#include "protocol/replypolicy.h"
#include "protocol/splitreply.h"

// Two modes, chosen by the top bit of the first byte.
//
// Events: one exchange fed any sequence of datagrams, from the server and from elsewhere, at any
// times. The first byte chooses the request (bits 0-1: text, Steam info, Steam rules, console
// line; bits 2-3: retries), the next its time-out in milliseconds (x 4). Then events: a kind byte
// (low two bits: from the server, from another source, held from an earlier exchange, the clock
// alone), a 2-byte step of the clock in 64 µs units, a 2-byte length and the datagram. A kind
// byte with its top bit set makes the datagram a kind of reply the policy acts on, by putting
// FF FF FF FF and a kind letter before the bytes.
//
// Checked on every input: no crash or sanitizer report; the exchange is decided by its hard
// deadline; it never asks to be woken at a time already past; it sends a bounded number of
// datagrams; it keeps no more bytes than its caps allow and inflates no more than its budget.
//
// Listing: a status listing whose player names come from the input (the second byte says how
// many), cut into console datagrams of the lengths that the rest of the input gives (16 bytes
// and up, so they stay within the datagrams an exchange takes), the first one holding at least
// the listing's first line. The exchange must end with the datagram that completes the listing,
// not before and without a quiet time, and its reply must be the listing.

namespace {

// Pieces of the replies kept, console text, replies held, and the refusal a renewal keeps (console
// text too, trailing zero bytes and all).
constexpr std::size_t MaxKept =
    SplitReassembler::MaxPendingReplies * SplitReassembler::MaxReplySize +
    2 * ReplyPolicy::MaxConsoleText + ReplyPolicy::MaxHeldBytes;

ExchangeRequest RequestFrom(std::uint8_t choice, std::uint8_t timeout) {
  ExchangeRequest request;
  request.timeout = (static_cast<Micros>(timeout) + 1) * 4000;
  request.retries = (choice >> 2) & 3;
  request.retryInterval = request.timeout / 3;
  switch (choice & 3) {
    case 0:
      request.command = "details";
      break;
    case 1:
      request.a2s = A2sQuery::Info;
      break;
    case 2:
      request.a2s = A2sQuery::Rules;
      break;
    default:
      request.console = ConsoleLine{"111", "pw", "status"};
      break;
  }
  return request;
}

std::uint16_t TwoBytes(std::string_view bytes) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[0]) |
                                    static_cast<std::uint8_t>(bytes[1]) << 8);
}

void Check(const ReplyPolicy& policy, Micros now, int maxSent) {
  if (policy.SentCount() > maxSent) __builtin_trap();
  if (policy.BytesKept() > MaxKept) __builtin_trap();
  if (policy.BytesInflated() > SplitReassembler::MaxInflatedBytes) __builtin_trap();
  if (policy.state() != ReplyPolicy::State::Waiting) return;
  if (now >= policy.HardDeadline()) __builtin_trap();
  if (policy.WakeAt() <= now || policy.WakeAt() > policy.HardDeadline()) __builtin_trap();
}

std::string ConsoleDatagram(std::string_view text) {
  return std::string(4, '\xFF') + 'l' + std::string(text) + std::string(2, '\0');
}

// Names of up to 16 bytes each, without the bytes that end a line or a datagram's text.
std::vector<std::string> StatusLines(std::size_t players, std::string_view names) {
  std::vector<std::string> lines = {"hostname:  Arena One", "map     :  dm_canyon", "",
                                    "#      name userid uniqueid frag time ping loss adr"};
  for (std::size_t i = 0; i < players; ++i) {
    std::string name(names.substr(std::min(16 * i, names.size()), 16));
    std::replace(name.begin(), name.end(), '\n', ' ');
    std::replace(name.begin(), name.end(), '\0', ' ');
    lines.push_back("# " + std::to_string(i + 1) + " \"" + name + "\" " + std::to_string(i + 7) +
                    " BOT 0 1:00 0 0 127.0.0.1:27005");
  }
  lines.push_back(std::to_string(players) + " users");
  return lines;
}

void FeedListing(std::string_view input) {
  if (input.empty()) return;
  const std::size_t players = static_cast<std::uint8_t>(input[0]) % 64;
  input.remove_prefix(1);
  const std::size_t namesLength = std::min(input.size(), 16 * players);
  const std::vector<std::string> lines = StatusLines(players, input.substr(0, namesLength));
  input.remove_prefix(namesLength);
  std::string text;
  for (const std::string& line : lines) text += line + "\n";

  Micros now = 1'000'000;
  ReplyPolicy policy(RequestFrom(3, 255), now);
  std::size_t at = 0;
  std::size_t length = text.find('\n') + 1;
  for (std::size_t i = 0; at < text.size(); ++i) {
    if (i > 0) length = i - 1 < input.size() ? 16 + static_cast<std::uint8_t>(input[i - 1]) : 1000;
    const std::string part = ConsoleDatagram(std::string_view(text).substr(at, length));
    at += length;
    policy.Receive(part, true, now += 1000);
    const bool last = at >= text.size();
    if ((policy.state() == ReplyPolicy::State::Waiting) == last) __builtin_trap();
  }
  if (ParseRconReply(policy.Reply()) != lines) __builtin_trap();
}

void FeedEvents(std::string_view input) {
  if (input.size() < 2) return;
  const ExchangeRequest request =
      RequestFrom(static_cast<std::uint8_t>(input[0]), static_cast<std::uint8_t>(input[1]));
  input.remove_prefix(2);
  const int maxSent = 1 + request.retries + ReplyPolicy::MaxChallengeResends + 2;
  Micros now = 1'000'000;
  ReplyPolicy policy(request, now);
  static const char Kinds[] = "lcmDEAIl";

  while (input.size() >= 5 && policy.state() == ReplyPolicy::State::Waiting) {
    const auto kind = static_cast<std::uint8_t>(input[0]);
    now += static_cast<Micros>(TwoBytes(input.substr(1))) * 64;
    const std::size_t length = std::min<std::size_t>(TwoBytes(input.substr(3)), input.size() - 5);
    std::string datagram(input.substr(5, length));
    input.remove_prefix(5 + length);
    if (kind & 0x80) datagram = std::string(4, '\xFF') + Kinds[(kind >> 4) & 7] + datagram;

    policy.Advance(now);
    Check(policy, now, maxSent);
    if (policy.state() != ReplyPolicy::State::Waiting) break;
    switch (kind & 3) {
      case 0:
        policy.Receive(datagram, true, now);
        break;
      case 1:
        policy.Receive(datagram, false, now);
        break;
      case 2:
        policy.Receive(datagram, true, now, true);
        break;
      default:
        break;
    }
    policy.TakeOutgoing();
    policy.TakeNotes();
    Check(policy, now, maxSent);
  }
  policy.Advance(std::max(now, policy.HardDeadline()));
  if (policy.state() == ReplyPolicy::State::Waiting) __builtin_trap();
  Check(policy, now, maxSent);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.empty()) return 0;
  if (data[0] & 0x80)
    FeedListing(input.substr(1));
  else
    FeedEvents(input);
  return 0;
}
