#include "raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "protocol/datafuncs.h"

RawClient::RawClient(std::uint16_t port) : buffer_(65536) {
  fd_ = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  timeval timeout{2, 0};
  setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

RawClient::~RawClient() {
  close(fd_);
}

std::string RawClient::RoundTrip(const std::string& command, int datagrams) {
  const std::string request = std::string(4, '\xFF') + command + '\0';
  if (send(fd_, request.data(), request.size(), 0) < 0) return {};
  std::string first;
  for (int i = 0; i < datagrams; ++i) {
    const ssize_t count = recv(fd_, buffer_.data(), buffer_.size(), 0);
    if (count <= 0) return {};
    if (i == 0) first.assign(buffer_.data(), static_cast<std::size_t>(count));
  }
  return first;
}

bool RawClient::CycleRoundTrips(const std::string& password, int statusDatagrams) {
  const std::string challenge = ExtractChallenge(RoundTrip("challenge rcon"));
  const std::string prefix = "rcon " + challenge + " " + password + " ";
  return !challenge.empty() && !RoundTrip(prefix).empty() && !RoundTrip("details").empty() &&
         !RoundTrip("players").empty() && !RoundTrip("rules").empty() &&
         !RoundTrip(prefix + "status", statusDatagrams).empty();
}

namespace {

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

void MeasurePaired(benchmark::State& state, const std::function<bool()>& raw,
                   const std::function<bool()>& cycle) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> rawUs, cycleUs, ratios;
  for (auto _ : state) {
    const auto start = Clock::now();
    const bool rawAnswered = raw();
    const auto middle = Clock::now();
    const bool cycleAnswered = cycle();
    const auto end = Clock::now();
    if (!rawAnswered || !cycleAnswered) {
      state.SkipWithError("a request of the cycle was not answered");
      return;
    }
    rawUs.push_back(std::chrono::duration<double, std::micro>(middle - start).count());
    cycleUs.push_back(std::chrono::duration<double, std::micro>(end - middle).count());
    ratios.push_back(cycleUs.back() / rawUs.back());
  }
  state.counters["raw_us"] = Median(rawUs);
  state.counters["cycle_us"] = Median(cycleUs);
  state.counters["ratio"] = Median(ratios);
}
