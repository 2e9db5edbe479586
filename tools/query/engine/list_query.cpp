#include "engine/list_query.h"

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/query_protocol.h"
#include "engine/server_address.h"
#include "engine/udp_socket.h"
#include "protocol/a2s.h"
#include "protocol/splitreply.h"
#include "store/mytypes.h"

namespace {

struct PendingRequest {
  std::size_t index = 0;
  // The first request; its answer is due within the time-out from here, resends included.
  Clock::time_point sentAt;
  int challengeResends = 0;
};

// What one server address is still asked for, and the pieces of its split replies.
struct PendingServer {
  // A list may name one server twice; its replies then go to those entries in the order they
  // were asked.
  std::deque<PendingRequest> requests;
  SplitReassembler pieces;
};

// Requests in flight, found by the address a reply comes from. A server is forgotten, pieces
// and all, once every request to it is answered.
class PendingReplies {
 public:
  void Add(const ServerAddress& address, std::size_t index, Clock::time_point sentAt) {
    waiting_[AddressKey(address)].requests.push_back(PendingRequest{index, sentAt, 0});
    ++count_;
  }
  // None when no request to `source` is in flight.
  PendingServer* Find(const ServerAddress& source) {
    const auto found = waiting_.find(AddressKey(source));
    return found == waiting_.end() ? nullptr : &found->second;
  }
  // The oldest request to `source`, which must be in flight.
  PendingRequest Take(const ServerAddress& source) {
    const auto found = waiting_.find(AddressKey(source));
    const PendingRequest request = found->second.requests.front();
    found->second.requests.pop_front();
    if (found->second.requests.empty()) waiting_.erase(found);
    --count_;
    return request;
  }
  bool Empty() const { return count_ == 0; }

 private:
  std::unordered_map<std::string, PendingServer> waiting_;
  std::size_t count_ = 0;
};

std::string DetailsRequest(WireProtocol protocol, const std::string& challenge = {}) {
  return protocol == WireProtocol::A2s ? A2sRequest(A2sQuery::Info, challenge)
                                       : RequestDatagram("details");
}

// The details requests of a whole list, on one socket per address family.
class ListExchange {
 public:
  ListExchange(const QuerySettings& settings, std::vector<ListResult>& results)
      : timeout_(settings.timeout), results_(results) {}

  // Sends the request of entry `index`, then takes the replies already waiting: those of the
  // first servers arrive while later ones are still being asked, and taking them now keeps the
  // receive buffer from overflowing on long lists.
  void Ask(std::size_t index, const ServerAddress& address) {
    lastSent_ = Clock::now();
    ListResult& result = results_[index];
    const std::string failure =
        SocketFor(address.Family())
            .SendTo(address, DetailsRequest(result.protocol), lastSent_ + timeout_);
    if (failure.empty()) {
      pending_.Add(address, index, lastSent_);
    } else {
      result.outcome = Outcome::SendFailed;
      result.error = "cannot send: " + failure;
    }
    TakeWaitingReplies();
  }

  // Waits for the replies still missing, until the time-out of the last request.
  void AwaitRest() {
    const Clock::time_point deadline = lastSent_ + timeout_;
    std::vector<UdpSocket*> sockets;
    for (const std::unique_ptr<UdpSocket>& socket : sockets_)
      if (socket) sockets.push_back(socket.get());
    while (!pending_.Empty() && UdpSocket::WaitAnyReadable(sockets, deadline)) TakeWaitingReplies();
    for (ListResult& result : results_)
      if (result.outcome == Outcome::TimedOut && result.error.empty())
        result.error = "no reply within " + std::to_string(timeout_.count()) + " ms";
  }

 private:
  UdpSocket& SocketFor(int family) {
    std::unique_ptr<UdpSocket>& socket = sockets_[family == AF_INET6 ? 1 : 0];
    if (!socket) socket = std::make_unique<UdpSocket>(family, UdpSocket::A2sBufferSize);
    return *socket;
  }

  void TakeWaitingReplies() {
    for (const std::unique_ptr<UdpSocket>& socket : sockets_)
      if (socket)
        while (std::optional<ReceivedDatagram> datagram = socket->TryReceive())
          Take(*socket, *datagram);
  }

  void Take(UdpSocket& socket, ReceivedDatagram& datagram) {
    PendingServer* server = pending_.Find(datagram.source);
    if (!server) return;
    if (datagram.portRefused) {
      while (pending_.Find(datagram.source)) {
        ListResult& result = results_[pending_.Take(datagram.source).index];
        result.outcome = Outcome::PortRefused;
        result.error = "refused (port unreachable)";
      }
      return;
    }
    ListResult& first = results_[server->requests.front().index];
    std::string refusal;
    const std::optional<std::string> reply =
        WholeReply(server->pieces, std::move(datagram.bytes), refusal);
    if (!refusal.empty()) {
      first.outcome = Outcome::Unreadable;
      first.error = "reply refused: " + refusal;
    }
    if (!reply) return;
    if (first.protocol == WireProtocol::A2s) {
      if (const std::optional<std::string> challenge = A2sChallenge(*reply)) {
        AnswerChallenge(socket, *server, datagram.source, *challenge, datagram.receivedAt);
        return;
      }
    }
    if (!IsInfoReply(*reply) ||
        (first.protocol == WireProtocol::Classic && ReplyKind(*reply) != 'm'))
      return;
    const PendingRequest request = pending_.Take(datagram.source);
    const auto elapsed = datagram.receivedAt - request.sentAt;
    if (elapsed > timeout_) return;
    ListResult& result = results_[request.index];
    ReadDetailsReply(*reply, datagram.source, result.details, result.a2sInfo);
    result.outcome = Outcome::Answered;
    result.error.clear();
    result.roundTripMs = std::chrono::duration<double, std::milli>(elapsed).count();
  }

  // Sends the info request again with the challenge, for the oldest request to that server that
  // may still be resent, so only that server is asked again.
  void AnswerChallenge(UdpSocket& socket, PendingServer& server, const ServerAddress& source,
                       const std::string& challenge, Clock::time_point receivedAt) {
    for (PendingRequest& request : server.requests) {
      if (request.challengeResends >= MaxChallengeResends) continue;
      const Clock::time_point due = request.sentAt + timeout_;
      if (receivedAt > due) return;
      ++request.challengeResends;
      const std::string failure =
          socket.SendTo(source, DetailsRequest(WireProtocol::A2s, challenge), due);
      if (!failure.empty()) {
        results_[request.index].outcome = Outcome::SendFailed;
        results_[request.index].error = "cannot send: " + failure;
      }
      return;
    }
  }

  const std::chrono::milliseconds timeout_;
  std::vector<ListResult>& results_;
  std::unique_ptr<UdpSocket> sockets_[2];
  PendingReplies pending_;
  Clock::time_point lastSent_ = Clock::now();
};

}  // namespace

std::vector<ListResult> QueryServerList(const std::vector<ListTarget>& targets,
                                        const QuerySettings& settings) {
  std::vector<ListResult> results(targets.size());
  ListExchange exchange(settings, results);
  for (std::size_t i = 0; i < targets.size(); ++i) {
    ListResult& result = results[i];
    result.target = targets[i];
    result.protocol = targets[i].protocol.value_or(settings.protocol);
    ServerAddress address;
    try {
      address = ResolveServerAddress(result.target.address);
    } catch (const EZerval& error) {
      result.outcome = Outcome::BadAddress;
      result.error = error.what();
      continue;
    }
    exchange.Ask(i, address);
  }
  exchange.AwaitRest();
  return results;
}
