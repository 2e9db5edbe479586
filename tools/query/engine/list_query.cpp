#include "engine/list_query.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/query_protocol.h"
#include "engine/udp_socket.h"
#include "protocol/a2s.h"
#include "protocol/splitreply.h"

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

std::uint64_t AddressKey(const ServerAddress& address) {
  return (static_cast<std::uint64_t>(address.ip) << 16) | address.port;
}

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
  std::unordered_map<std::uint64_t, PendingServer> waiting_;
  std::size_t count_ = 0;
};

// The details requests of a whole list on one socket.
class ListExchange {
 public:
  ListExchange(WireProtocol protocol, std::chrono::milliseconds timeout,
               std::vector<ListResult>& results)
      : protocol_(protocol),
        timeout_(timeout),
        results_(results),
        socket_(protocol == WireProtocol::A2s ? UdpSocket::A2sBufferSize
                                              : UdpSocket::ClassicBufferSize),
        request_(protocol == WireProtocol::A2s ? A2sRequest(A2sQuery::Info)
                                               : RequestDatagram("details")) {}

  // Sends the request of entry `index`, then takes the replies already waiting: those of the
  // first servers arrive while later ones are still being asked, and taking them now keeps the
  // receive buffer from overflowing on long lists.
  void Ask(std::size_t index, const ServerAddress& address) {
    lastSent_ = Clock::now();
    const std::string failure = socket_.SendTo(address, request_, lastSent_ + timeout_);
    if (failure.empty()) {
      pending_.Add(address, index, lastSent_);
    } else {
      results_[index].status = ListStatus::SendFailed;
      results_[index].error = failure;
    }
    TakeWaitingReplies();
  }

  // Waits for the replies still missing, until the time-out of the last request.
  void AwaitRest() {
    const Clock::time_point deadline = lastSent_ + timeout_;
    while (!pending_.Empty() && socket_.WaitReadable(deadline)) TakeWaitingReplies();
  }

 private:
  void TakeWaitingReplies() {
    while (std::optional<ReceivedDatagram> datagram = socket_.TryReceive()) Take(*datagram);
  }

  void Take(ReceivedDatagram& datagram) {
    PendingServer* server = pending_.Find(datagram.source);
    if (!server) return;
    std::optional<std::string> reply = std::move(datagram.bytes);
    if (protocol_ == WireProtocol::A2s) {
      std::string refusal;
      reply = WholeReply(server->pieces, std::move(*reply), refusal);
      if (!refusal.empty())
        results_[server->requests.front().index].error = "reply refused: " + refusal;
      if (!reply) return;
      if (const std::optional<std::string> challenge = A2sChallenge(*reply)) {
        AnswerChallenge(*server, datagram.source, *challenge, datagram.receivedAt);
        return;
      }
    }
    if (!IsDetailsReply(protocol_, *reply)) return;
    const PendingRequest request = pending_.Take(datagram.source);
    const auto elapsed = datagram.receivedAt - request.sentAt;
    if (elapsed > timeout_) return;
    ListResult& result = results_[request.index];
    ParseDetailsReply(*reply, datagram.source, result.details);
    result.status = ListStatus::Answered;
    result.roundTripMs = std::chrono::duration<double, std::milli>(elapsed).count();
  }

  // Sends the info request again with the challenge, for the oldest request to that server that
  // may still be resent, so only that server is asked again.
  void AnswerChallenge(PendingServer& server, const ServerAddress& source,
                       const std::string& challenge, Clock::time_point receivedAt) {
    for (PendingRequest& request : server.requests) {
      if (request.challengeResends >= MaxChallengeResends) continue;
      const Clock::time_point due = request.sentAt + timeout_;
      if (receivedAt > due) return;
      ++request.challengeResends;
      const std::string failure =
          socket_.SendTo(source, A2sRequest(A2sQuery::Info, challenge), due);
      if (!failure.empty()) {
        results_[request.index].status = ListStatus::SendFailed;
        results_[request.index].error = failure;
      }
      return;
    }
  }

  const WireProtocol protocol_;
  const std::chrono::milliseconds timeout_;
  std::vector<ListResult>& results_;
  UdpSocket socket_;
  const std::string request_;
  PendingReplies pending_;
  Clock::time_point lastSent_ = Clock::now();
};

}  // namespace

std::vector<ListResult> QueryServerList(const TServerList& list, WireProtocol protocol,
                                        std::chrono::milliseconds timeout) {
  std::vector<ListResult> results(list.size());
  ListExchange exchange(protocol, timeout, results);
  for (std::size_t i = 0; i < list.size(); ++i) {
    ListResult& result = results[i];
    result.name = list[i].Name;
    result.address = list[i].Address;
    ServerAddress address;
    try {
      address = ParseServerAddress(result.address.view());
    } catch (const EZerval& error) {
      result.status = ListStatus::BadAddress;
      result.error = error.what();
      continue;
    }
    exchange.Ask(i, address);
  }
  exchange.AwaitRest();
  return results;
}
