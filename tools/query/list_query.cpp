#include "list_query.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "protocol/datafuncs.h"
#include "query_protocol.h"
#include "udp_socket.h"

namespace {

struct PendingRequest {
  std::size_t index = 0;
  Clock::time_point sentAt;
};

std::uint64_t AddressKey(const ServerAddress& address) {
  return (static_cast<std::uint64_t>(address.ip) << 16) | address.port;
}

// Requests in flight, found by the address a reply comes from. A list may name one server
// twice; its replies then go to those entries in the order they were asked.
class PendingReplies {
 public:
  void Add(const ServerAddress& address, std::size_t index, Clock::time_point sentAt) {
    waiting_[AddressKey(address)].push_back(PendingRequest{index, sentAt});
    ++count_;
  }
  std::optional<PendingRequest> Take(const ServerAddress& source) {
    const auto found = waiting_.find(AddressKey(source));
    if (found == waiting_.end() || found->second.empty()) return std::nullopt;
    const PendingRequest request = found->second.front();
    found->second.pop_front();
    --count_;
    return request;
  }
  bool Empty() const { return count_ == 0; }

 private:
  std::unordered_map<std::uint64_t, std::deque<PendingRequest>> waiting_;
  std::size_t count_ = 0;
};

// Takes every reply already waiting on the socket, without blocking.
void TakeWaitingReplies(UdpSocket& socket, PendingReplies& pending,
                        std::chrono::milliseconds timeout, std::vector<ListResult>& results) {
  while (std::optional<ReceivedDatagram> reply = socket.TryReceive()) {
    if (ReplyKind(reply->bytes) != 'm') continue;
    const std::optional<PendingRequest> request = pending.Take(reply->source);
    if (!request) continue;
    ListResult& result = results[request->index];
    const auto elapsed = reply->receivedAt - request->sentAt;
    if (elapsed > timeout) continue;
    ParseDetails(reply->bytes, result.details);
    result.status = ListStatus::Answered;
    result.roundTripMs = std::chrono::duration<double, std::milli>(elapsed).count();
  }
}

}  // namespace

std::vector<ListResult> QueryServerList(const TServerList& list,
                                        std::chrono::milliseconds timeout) {
  std::vector<ListResult> results(list.size());
  UdpSocket socket;
  PendingReplies pending;
  const std::string request = RequestDatagram("details");
  Clock::time_point lastSent = Clock::now();
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
    lastSent = Clock::now();
    const std::string failure = socket.SendTo(address, request, lastSent + timeout);
    if (!failure.empty()) {
      result.status = ListStatus::SendFailed;
      result.error = failure;
      continue;
    }
    pending.Add(address, i, lastSent);
    // Replies of the first servers arrive while the later ones are still being asked; taking
    // them now keeps the receive buffer from overflowing on long lists.
    TakeWaitingReplies(socket, pending, timeout, results);
  }
  const Clock::time_point deadline = lastSent + timeout;
  while (!pending.Empty() && socket.WaitReadable(deadline))
    TakeWaitingReplies(socket, pending, timeout, results);
  return results;
}
