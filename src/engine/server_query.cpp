#include "engine/server_query.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/exchange_driver.h"
#include "engine/first_contact.h"
#include "engine/query_protocol.h"
#include "engine/reply_reading.h"
#include "engine/udp_socket.h"
#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "protocol/protocolrace.h"
#include "protocol/replypolicy.h"
#include "protocol/wireprotocol.h"
#include "store/mytypes.h"

namespace {

// A request is never given less than this, so one that starts at the deadline still goes out.
constexpr Micros ShortestWait = 1000;

// One server's exchanges. Each part's request has a socket of its own: a Steam-era challenge
// reply does not say which request it answers, the socket it comes on does.
struct ServerRun {
  std::vector<std::unique_ptr<UdpSocket>> sockets;
  // When its protocol is to be found.
  std::optional<FirstContact> contact;
  // The protocol that the parts are asked in; none before they are.
  std::optional<WireProtocol> asking;
  // The exchange of each part, when it is asked; the first contact stands for the details.
  std::vector<std::optional<std::size_t>> exchanges;
  // When the first request and the parts' requests went out, and when all must have ended.
  Micros start = 0;
  Micros partsStart = 0;
  Micros deadline = 0;
  bool settled = false;
};

UdpSocket& NewSocket(ServerRun& run, const ServerAddress& address, WireProtocol protocol) {
  run.sockets.push_back(std::make_unique<UdpSocket>(
      address.Family(),
      protocol == WireProtocol::A2s ? UdpSocket::A2sBufferSize : UdpSocket::ClassicBufferSize));
  return *run.sockets.back();
}

// Asks for every part in `protocol`, the details too unless the first contact brings them, all
// ending by the server's deadline. Parts asked before in the other protocol are given up.
void AskParts(ExchangeDriver& driver, ServerRun& run, const ServerAddress& address,
              WireProtocol protocol, const std::vector<A2sQuery>& parts,
              const QuerySettings& settings) {
  for (const std::optional<std::size_t>& exchange : run.exchanges)
    if (exchange) driver.Abandon(*exchange);
  run.asking = protocol;
  run.partsStart = run.contact ? NowMicros() : run.start;
  std::vector<UdpSocket*> sockets;
  // Every socket is ready before the first request goes out, so the requests follow each other
  // closely.
  for (const A2sQuery part : parts)
    sockets.push_back(run.contact && part == A2sQuery::Info ? nullptr
                                                            : &NewSocket(run, address, protocol));
  for (std::size_t p = 0; p < parts.size(); ++p) {
    if (!sockets[p]) continue;
    ExchangeRequest request = PartRequest(parts[p], protocol, settings);
    // After a first contact the parts have what is left of the server's time. The time-out is
    // all that a server may take: a part that starts later, after the work that earlier replies
    // brought, gets what is left of it.
    if (run.contact)
      request.timeout = request.budget = std::max(run.deadline - run.partsStart, ShortestWait);
    else
      request.budget = std::max(run.deadline - NowMicros(), ShortestWait);
    run.exchanges[p] = driver.Start(*sockets[p], address, std::move(request));
  }
}

// Follows a first contact: the parts are asked in the protocol that answered first, and again
// when the race finds the other. Returns when to look again at the latest, if ever.
std::optional<Micros> FollowContact(ExchangeDriver& driver, ServerRun& run,
                                    const ServerAddress& address,
                                    const std::vector<A2sQuery>& parts,
                                    const QuerySettings& settings, Micros now) {
  const std::optional<Micros> wake = run.contact->Follow(now);
  const ProtocolRace& race = run.contact->Race();
  // Asking the rest of an A2S server at its first answer saves waiting out the grace.
  std::optional<WireProtocol> wanted = race.Found();
  if (!wanted && race.FirstToAnswer() == WireProtocol::A2s) wanted = WireProtocol::A2s;
  if (wanted && run.asking != wanted) AskParts(driver, run, address, *wanted, parts, settings);
  run.settled = race.state() != ProtocolRace::State::Waiting;
  return wake;
}

// Stores a readable reply as its part.
void StoreReply(A2sQuery part, const std::string& reply, const ServerAddress& source,
                ServerReport& report) {
  switch (part) {
    case A2sQuery::Info:
      ReadDetailsReply(reply, source, report.details, report.a2sInfo);
      return;
    case A2sQuery::Players:
      report.players = DecodePlayers(reply);
      return;
    case A2sQuery::Rules:
      report.rules = DecodeRules(reply);
      return;
  }
}

// `sentAt`: how long after the server's first request this exchange's went out.
void Conclude(A2sQuery part, const Exchange& exchange, Micros sentAt, ServerReport& report) {
  Failure failure;
  if (exchange.policy.state() == ReplyPolicy::State::Replied) {
    const std::string& reply = exchange.policy.Reply();
    const double ms = double(sentAt + exchange.policy.RoundTrip().value_or(0)) / 1000;
    report.roundTripMs = std::max(report.roundTripMs.value_or(0), ms);
    failure = {Outcome::Unreadable, WhyUnreadable(part, reply)};
    if (failure.reason.empty()) {
      StoreReply(part, reply, exchange.address, report);
      return;
    }
  } else {
    failure = FailureOf(exchange);
  }
  report.outcome = std::max(report.outcome, failure.outcome);
  report.problems.push_back(Problem{PartName(part), failure.outcome, failure.reason});
}

void ConcludeServer(ExchangeDriver& driver, const ServerRun& run,
                    const std::vector<A2sQuery>& parts, ServerReport& report) {
  std::optional<Problem> unfound;
  if (run.contact) {
    Conclude(A2sQuery::Info, run.contact->Deciding(), 0, report);
    if (!report.problems.empty()) unfound = report.problems.back();
  }
  for (std::size_t p = 0; p < parts.size(); ++p) {
    if (run.exchanges[p]) {
      Conclude(parts[p], driver[*run.exchanges[p]], run.partsStart - run.start, report);
    } else if (!(run.contact && parts[p] == A2sQuery::Info) && unfound) {
      // Never asked, as the first contact found no protocol: its reason stands for the part.
      report.problems.push_back(Problem{PartName(parts[p]), unfound->outcome, unfound->reason});
    }
  }
  const std::optional<WireProtocol> found =
      run.contact ? run.contact->Race().Found() : std::nullopt;
  if (found)
    report.protocol = found;
  else if (report.details || report.players || report.rules)
    report.protocol = run.asking;
}

}  // namespace

std::vector<ServerReport> QueryServers(const std::vector<std::string>& targets,
                                       const QuerySettings& settings,
                                       const std::vector<A2sQuery>& parts) {
  std::vector<ServerReport> reports(targets.size());
  std::vector<ServerRun> runs(targets.size());
  ExchangeDriver driver;
  driver.Observe(settings.observer);
  for (std::size_t i = 0; i < targets.size(); ++i) {
    ServerReport& report = reports[i];
    report.target = targets[i];
    try {
      report.address = ResolveServerAddress(targets[i]);
    } catch (const EZerval& error) {
      report.outcome = Outcome::BadAddress;
      report.problems.push_back(Problem{{}, Outcome::BadAddress, error.what()});
      continue;
    }
    report.outcome = Outcome::Answered;
  }
  // Names are looked up before the first request goes out, so that no lookup holds up replies.
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const std::optional<ServerAddress>& address = reports[i].address;
    if (!address) continue;
    ServerRun& run = runs[i];
    run.exchanges.resize(parts.size());
    run.start = NowMicros();
    run.deadline = run.start + std::chrono::microseconds(settings.timeout).count();
    if (settings.protocol) {
      AskParts(driver, run, *address, *settings.protocol, parts, settings);
      continue;
    }
    UdpSocket& classic = NewSocket(run, *address, WireProtocol::Classic);
    UdpSocket& a2s = NewSocket(run, *address, WireProtocol::A2s);
    run.contact.emplace(driver, classic, a2s, *address, settings);
  }
  const auto followContacts = [&]() -> std::optional<Micros> {
    const Micros now = NowMicros();
    std::optional<Micros> wake;
    for (std::size_t i = 0; i < runs.size(); ++i) {
      if (!runs[i].contact || runs[i].settled) continue;
      const std::optional<Micros> at =
          FollowContact(driver, runs[i], *reports[i].address, parts, settings, now);
      if (at) wake = std::min(wake.value_or(*at), *at);
    }
    return wake;
  };
  if (settings.protocol)
    driver.Run();
  else
    driver.Run(followContacts);
  for (std::size_t i = 0; i < targets.size(); ++i)
    if (reports[i].address) ConcludeServer(driver, runs[i], parts, reports[i]);
  return reports;
}
