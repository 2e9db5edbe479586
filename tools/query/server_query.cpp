#include "server_query.h"

#include <chrono>
#include <optional>
#include <string>

#include "protocol/datafuncs.h"
#include "query_protocol.h"
#include "udp_socket.h"

namespace {

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

// Sends one request and waits for the first reply of `kind` from `address`.
std::optional<ReceivedDatagram> Exchange(UdpSocket& socket, const ServerAddress& address,
                                         const std::string& command, char kind,
                                         std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  Send(socket, address, command, deadline);
  do {
    while (std::optional<ReceivedDatagram> reply = socket.TryReceive())
      if (SameAddress(reply->source, address) && ReplyKind(reply->bytes) == kind) return reply;
  } while (socket.WaitReadable(deadline));
  return std::nullopt;
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
  const std::optional<ReceivedDatagram> text = Exchange(socket, address, line, 'l', timeout);
  if (!text) return report;
  report.lines = ParseRconReply(text->bytes);
  report.roundTripMs = MillisecondsBetween(start, text->receivedAt);
  return report;
}
