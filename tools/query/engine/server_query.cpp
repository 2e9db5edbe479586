#include "engine/server_query.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/query_protocol.h"
#include "engine/udp_socket.h"
#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "protocol/splitreply.h"

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

void SendDatagram(UdpSocket& socket, const ServerAddress& address, const std::string& datagram,
                  Clock::time_point deadline) {
  const std::string failure = socket.SendTo(address, datagram, deadline);
  if (!failure.empty())
    throw EZerval("cannot send to " + FormatServerAddress(address) + ": " + failure);
}

void Send(UdpSocket& socket, const ServerAddress& address, const std::string& command,
          Clock::time_point deadline) {
  SendDatagram(socket, address, RequestDatagram(command), deadline);
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

ServerReport QueryClassic(const ServerAddress& address, std::chrono::milliseconds timeout) {
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

// One Steam-era request of a server query, on a socket of its own.
struct A2sExchange {
  explicit A2sExchange(A2sQuery kind) : query(kind) {}

  A2sQuery query;
  UdpSocket socket{UdpSocket::A2sBufferSize};
  SplitReassembler pieces;
  int challengeResends = 0;
};

const char* PartName(A2sQuery query) {
  switch (query) {
    case A2sQuery::Info:
      return "details";
    case A2sQuery::Players:
      return "players";
    case A2sQuery::Rules:
      return "rules";
  }
  return "";
}

// Stores a whole reply to `query` unless that part is there already: of an 'm' and an 'I' reply
// to one info request the first counts. True when it was stored.
bool StoreA2sReply(A2sQuery query, const std::string& reply, ServerReport& report) {
  switch (query) {
    case A2sQuery::Info:
      if (report.details || !IsInfoReply(reply)) return false;
      ParseDetailsReply(reply, report.address, report.details.emplace());
      return true;
    case A2sQuery::Players:
      if (report.players || ReplyKind(reply) != 'D') return false;
      ParsePlayers(reply, report.players.emplace());
      return true;
    case A2sQuery::Rules:
      if (report.rules || ReplyKind(reply) != 'E') return false;
      ParseRules(reply, report.rules.emplace());
      return true;
  }
  return false;
}

// The three Steam-era requests of one server query, all in flight together.
class A2sServerQuery {
 public:
  A2sServerQuery(const ServerAddress& address, std::chrono::milliseconds timeout)
      : start_(Clock::now()), deadline_(start_ + timeout) {
    report_.address = address;
  }

  ServerReport Run() {
    for (A2sExchange& exchange : exchanges_)
      SendDatagram(exchange.socket, report_.address, A2sRequest(exchange.query), deadline_);
    const std::vector<UdpSocket*> sockets{&exchanges_[0].socket, &exchanges_[1].socket,
                                          &exchanges_[2].socket};
    while (!report_.Complete() && UdpSocket::WaitAnyReadable(sockets, deadline_))
      for (A2sExchange& exchange : exchanges_)
        while (std::optional<ReceivedDatagram> datagram = exchange.socket.TryReceive())
          Take(exchange, std::move(*datagram));
    return std::move(report_);
  }

 private:
  void Take(A2sExchange& exchange, ReceivedDatagram datagram) {
    if (!SameAddress(datagram.source, report_.address)) return;
    std::string refusal;
    const std::optional<std::string> reply =
        WholeReply(exchange.pieces, std::move(datagram.bytes), refusal);
    if (!refusal.empty())
      report_.refusals.push_back(std::string(PartName(exchange.query)) +
                                 " reply refused: " + refusal);
    if (!reply) return;
    if (const std::optional<std::string> challenge = A2sChallenge(*reply)) {
      if (exchange.challengeResends < MaxChallengeResends) {
        ++exchange.challengeResends;
        SendDatagram(exchange.socket, report_.address, A2sRequest(exchange.query, *challenge),
                     deadline_);
      }
      return;
    }
    if (StoreA2sReply(exchange.query, *reply, report_))
      report_.roundTripMs = MillisecondsBetween(start_, datagram.receivedAt);
  }

  // A challenge reply does not say which request it answers; the socket it comes on does. Set up
  // before the clock starts.
  std::array<A2sExchange, 3> exchanges_{A2sExchange(A2sQuery::Info), A2sExchange(A2sQuery::Players),
                                        A2sExchange(A2sQuery::Rules)};
  const Clock::time_point start_;
  const Clock::time_point deadline_;
  ServerReport report_;
};

}  // namespace

ServerReport QueryServerReport(const ServerAddress& address, WireProtocol protocol,
                               std::chrono::milliseconds timeout) {
  if (protocol == WireProtocol::Classic) return QueryClassic(address, timeout);
  return A2sServerQuery(address, timeout).Run();
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
