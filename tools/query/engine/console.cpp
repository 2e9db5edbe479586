#include "engine/console.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/query_protocol.h"
#include "engine/udp_socket.h"
#include "protocol/datafuncs.h"
#include "store/mytypes.h"

namespace {

// A console reply this long may have been flushed for lack of room, so more may follow...
constexpr std::size_t ConsoleReplyFullBytes = 1024;
// ...within this time after it.
constexpr std::chrono::milliseconds ConsoleReplyGap{100};

double MillisecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

void Send(UdpSocket& socket, const ServerAddress& address, const std::string& command,
          Clock::time_point deadline) {
  const std::string failure = socket.SendTo(address, RequestDatagram(command), deadline);
  if (!failure.empty())
    throw EZerval("cannot send to " + FormatServerAddress(address) + ": " + failure);
}

// The first reply of `kind` from `address` until `deadline`.
std::optional<ReceivedDatagram> AwaitReply(UdpSocket& socket, const ServerAddress& address,
                                           char kind, Clock::time_point deadline) {
  do {
    while (std::optional<ReceivedDatagram> reply = socket.TryReceive())
      if (SameAddress(reply->source, address) && ReplyKind(reply->bytes) == kind) return reply;
  } while (socket.WaitReadable(deadline));
  return std::nullopt;
}

// Sends one request and waits for the first reply of `kind` from `address`.
std::optional<ReceivedDatagram> Exchange(UdpSocket& socket, const ServerAddress& address,
                                         const std::string& command, char kind,
                                         std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  Send(socket, address, command, deadline);
  return AwaitReply(socket, address, kind, deadline);
}

void AppendLines(std::optional<std::vector<std::string>>& lines, const std::string& reply) {
  std::optional<std::vector<std::string>> more = ParseRconReply(reply);
  if (!more) return;
  if (!lines) lines.emplace();
  lines->insert(lines->end(), more->begin(), more->end());
}

}  // namespace

ConsoleReport RunConsoleCommand(const ServerAddress& address, const std::string& password,
                                const std::string& command, const QuerySettings& settings) {
  UdpSocket socket(address.Family());
  ConsoleReport report;
  report.address = address;
  const Clock::time_point start = Clock::now();
  const std::optional<ReceivedDatagram> challenge =
      Exchange(socket, address, "challenge rcon", 'c', settings.timeout);
  if (!challenge) {
    report.error =
        "no console challenge within " + std::to_string(settings.timeout.count()) + " ms";
    return report;
  }
  report.challengeAnswered = true;
  const std::string line =
      "rcon " + ExtractChallenge(challenge->bytes) + " " + password + " " + command;
  std::optional<ReceivedDatagram> piece = Exchange(socket, address, line, 'l', settings.timeout);
  if (!piece) {
    report.error = "no console reply within " + std::to_string(settings.timeout.count()) + " ms";
    return report;
  }
  report.roundTripMs = MillisecondsBetween(start, piece->receivedAt);
  report.outcome = Outcome::Answered;
  AppendLines(report.lines, piece->bytes);
  // Servers send long console output as several replies of whole lines, one right after the
  // other, and mark none as the last. A reply with room left for another line was the last.
  while (piece->bytes.size() >= ConsoleReplyFullBytes) {
    piece = AwaitReply(socket, address, 'l', piece->receivedAt + ConsoleReplyGap);
    if (!piece) break;
    AppendLines(report.lines, piece->bytes);
  }
  return report;
}
