#include "engine/server_query.h"

#include <algorithm>
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
#include "store/mytypes.h"

namespace {

double MillisecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

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

bool Has(const ServerReport& report, A2sQuery part) {
  switch (part) {
    case A2sQuery::Info:
      return report.details.has_value();
    case A2sQuery::Players:
      return report.players.has_value();
    case A2sQuery::Rules:
      return report.rules.has_value();
  }
  return false;
}

// Stores a whole reply to `part` unless that part is there already: of an 'm' and an 'I' reply
// to one info request the first counts. True when it was stored.
bool StoreReply(A2sQuery part, const std::string& reply, const ServerAddress& source,
                ServerReport& report) {
  if (Has(report, part)) return false;
  switch (part) {
    case A2sQuery::Info:
      if (!IsInfoReply(reply)) return false;
      ReadDetailsReply(reply, source, report.details, report.a2sInfo);
      return true;
    case A2sQuery::Players:
      report.players = DecodePlayers(reply);
      return report.players.has_value();
    case A2sQuery::Rules:
      report.rules = DecodeRules(reply);
      return report.rules.has_value();
  }
  return false;
}

// One request of a server query, on a socket of its own: a challenge reply does not say which
// request it answers, the socket it comes on does.
struct PartExchange {
  PartExchange(A2sQuery kind, int family, WireProtocol protocol)
      : part(kind),
        socket(family, protocol == WireProtocol::A2s ? UdpSocket::A2sBufferSize
                                                     : UdpSocket::ClassicBufferSize) {}

  A2sQuery part;
  UdpSocket socket;
  SplitReassembler pieces;
  int challengeResends = 0;
  std::string refusal;
  bool portRefused = false;
};

class ServerQuery {
 public:
  ServerQuery(const ServerAddress& address, const QuerySettings& settings)
      : settings_(settings),
        parts_{PartExchange(A2sQuery::Info, address.Family(), settings.protocol),
               PartExchange(A2sQuery::Players, address.Family(), settings.protocol),
               PartExchange(A2sQuery::Rules, address.Family(), settings.protocol)},
        start_(Clock::now()),
        deadline_(start_ + settings.timeout) {
    report_.address = address;
  }

  ServerReport Run() {
    for (PartExchange& part : parts_) Send(part, Request(part.part, {}));
    const std::vector<UdpSocket*> sockets{&parts_[0].socket, &parts_[1].socket, &parts_[2].socket};
    while (!Finished() && UdpSocket::WaitAnyReadable(sockets, deadline_))
      for (PartExchange& part : parts_)
        while (std::optional<ReceivedDatagram> datagram = part.socket.TryReceive())
          Take(part, std::move(*datagram));
    Conclude();
    return std::move(report_);
  }

 private:
  std::string Request(A2sQuery part, const std::string& challenge) const {
    if (settings_.protocol == WireProtocol::A2s) return A2sRequest(part, challenge);
    return RequestDatagram(PartName(part));
  }

  void Send(PartExchange& part, const std::string& datagram) {
    const std::string failure = part.socket.SendTo(*report_.address, datagram, deadline_);
    if (!failure.empty()) part.refusal = "cannot send: " + failure;
  }

  bool Finished() const {
    for (const PartExchange& part : parts_)
      if (!Has(report_, part.part) && !part.portRefused) return false;
    return true;
  }

  void Take(PartExchange& part, ReceivedDatagram datagram) {
    if (!SameAddress(datagram.source, *report_.address)) return;
    if (datagram.portRefused) {
      part.portRefused = true;
      return;
    }
    std::string refusal;
    const std::optional<std::string> reply =
        WholeReply(part.pieces, std::move(datagram.bytes), refusal);
    if (!refusal.empty()) part.refusal = "reply refused: " + refusal;
    if (!reply) return;
    if (settings_.protocol == WireProtocol::A2s) {
      if (const std::optional<std::string> challenge = A2sChallenge(*reply)) {
        if (part.challengeResends < MaxChallengeResends) {
          ++part.challengeResends;
          Send(part, Request(part.part, *challenge));
        }
        return;
      }
    }
    if (StoreReply(part.part, *reply, datagram.source, report_))
      report_.roundTripMs = MillisecondsBetween(start_, datagram.receivedAt);
  }

  void Conclude() {
    report_.outcome = Outcome::Answered;
    for (const PartExchange& part : parts_) {
      if (Has(report_, part.part)) continue;
      Outcome outcome = Outcome::TimedOut;
      std::string problem = "no reply within " + std::to_string(settings_.timeout.count()) + " ms";
      if (part.portRefused) {
        outcome = Outcome::PortRefused;
        problem = "refused (port unreachable)";
      } else if (!part.refusal.empty()) {
        outcome =
            part.refusal.rfind("cannot send", 0) == 0 ? Outcome::SendFailed : Outcome::Unreadable;
        problem = part.refusal;
      }
      report_.outcome = std::max(report_.outcome, outcome);
      report_.problems.push_back(Problem{PartName(part.part), outcome, problem});
    }
  }

  const QuerySettings settings_;
  std::array<PartExchange, 3> parts_;
  const Clock::time_point start_;
  const Clock::time_point deadline_;
  ServerReport report_;
};

}  // namespace

std::vector<ServerReport> QueryServers(const std::vector<std::string>& targets,
                                       const QuerySettings& settings) {
  std::vector<ServerReport> reports;
  for (const std::string& target : targets) {
    std::optional<ServerAddress> address;
    ServerReport report;
    try {
      address = ResolveServerAddress(target);
    } catch (const EZerval& error) {
      report.outcome = Outcome::BadAddress;
      report.problems.push_back(Problem{{}, Outcome::BadAddress, error.what()});
    }
    if (address) report = ServerQuery(*address, settings).Run();
    report.target = target;
    reports.push_back(std::move(report));
  }
  return reports;
}
