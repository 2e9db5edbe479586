#include "server_query.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "protocol/datafuncs.h"
#include "query_protocol.h"
#include "udp_socket.h"

namespace {

// A console reply this long may have been flushed for lack of room, so more may follow...
constexpr std::size_t ConsoleReplyFullBytes = 1024;
// ...within this time after it.
constexpr std::chrono::milliseconds ConsoleReplyGap{100};

bool SameAddress(const ServerAddress& a, const ServerAddress& b) {
  return a.ip == b.ip && a.port == b.port;
}

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

ServerReport QueryServerReport(const ServerAddress& address, std::chrono::milliseconds timeout) {
  UdpSocket socket;
  ServerReport report;
  report.address = address;
  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + timeout;
  for (const char* command : {"details", "players", "rules"})
    Send(socket, address, command, deadline);
  while (!report.Complete() && socket.WaitReadable(deadline)) {
    while (std::optional<ReceivedDatagram> reply = socket.TryReceive()) {
      if (!SameAddress(reply->source, address)) continue;
      const char kind = ReplyKind(reply->bytes);
      if (kind == 'm' && !report.details) {
        ParseDetails(reply->bytes, report.details.emplace());
      } else if (kind == 'D' && !report.players) {
        ParsePlayers(reply->bytes, report.players.emplace());
      } else if (kind == 'E' && !report.rules) {
        ParseRules(reply->bytes, report.rules.emplace());
      } else {
        continue;
      }
      report.roundTripMs = MillisecondsBetween(start, reply->receivedAt);
    }
  }
  return report;
}

ConsoleReport RunConsoleCommand(const ServerAddress& address, const std::string& password,
                                const std::string& command, std::chrono::milliseconds timeout) {
  UdpSocket socket;
  ConsoleReport report;
  report.address = address;
  const Clock::time_point start = Clock::now();
  const std::optional<ReceivedDatagram> challenge =
      Exchange(socket, address, "challenge rcon", 'c', timeout);
  if (!challenge) return report;
  report.challengeAnswered = true;
  const std::string line =
      "rcon " + ExtractChallenge(challenge->bytes) + " " + password + " " + command;
  std::optional<ReceivedDatagram> piece = Exchange(socket, address, line, 'l', timeout);
  if (!piece) return report;
  report.roundTripMs = MillisecondsBetween(start, piece->receivedAt);
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
