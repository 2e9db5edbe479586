// One full selection cycle through the window's exchange class against the simulator on
// loopback, beside the raw UDP round trips that the same requests need, in one run.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/UDPIOfuncs.h"
#include "protocol/datafuncs.h"
#include "protocol/player_class.h"
#include "simulator_launch.h"
#include "store/mytypes.h"

namespace {

const std::string Host = "127.0.0.1";
const std::string Password = "benchpw";
const std::string ConsoleCommand = "say bench";
// challenge rcon, its console follow-up, details, players, rules, status
constexpr int CycleRoundTrips = 6;
std::uint16_t SimulatorPort = 0;

class QuietUi : public ExchangeUi {
 public:
  std::shared_ptr<void> OpenWaitDialog() override { return nullptr; }
  void PlayTimeoutSound() override {}
  void ShowTimeoutDialog() override { ++timeouts; }
  void UpdateByteCounter() override {}
  int timeouts = 0;
};

// Keeps what the views would show.
class KeepingTarget : public ReplyTarget {
 public:
  void ShowDetails(const TDetailInfo& info) override { details = info; }
  void ShowPlayers(const TPlayerList& list) override { players = list; }
  void ShowRules(const TRuleList& list) override { rules = list; }
  void AppendConsoleLine(const std::string&) override { ++consoleLines; }
  std::string RconCommandText() override { return ConsoleCommand; }

  TDetailInfo details;
  TPlayerList players;
  TRuleList rules;
  int consoleLines = 0;
};

// What selecting a server with a console password does: the quiet challenge (whose reply sends
// the command edit's text), details, players and rules, then the "status" listing into the
// player table.
bool SelectionCycle(UdpExchange& exchange, TCurrentServer& server, TPlayerInfo& playerInfo) {
  if (!exchange.QueryServer(server.HostIP, server.Port, "challenge rcon", nullptr, false))
    return false;
  for (const char* command : {"details", "players", "rules"})
    if (!exchange.QueryServer(server.HostIP, server.Port, command, nullptr, true)) return false;
  const std::optional<Datagram> status =
      exchange.QueryQuiet(server.HostIP, server.Port,
                          "rcon " + server.Challenge + " " + server.RconPassword + " status", true);
  if (!status) return false;
  playerInfo.Clear();
  if (const auto lines = ParseRconReply(status->Bytes)) playerInfo.ParseStatus(*lines);
  return true;
}

void BM_SelectionCycle(benchmark::State& state) {
  TCurrentServer server;
  server.HostIP = Host;
  server.Port = SimulatorPort;
  server.RconPassword = Password;
  server.RconEnabled = true;
  QuietUi ui;
  KeepingTarget target;
  TPlayerInfo playerInfo;
  UdpExchange exchange(server, ui, target);
  exchange.SetReceiveTimeout(2000);
  for (auto _ : state)
    if (!SelectionCycle(exchange, server, playerInfo) || ui.timeouts > 0) {
      state.SkipWithError("a request of the cycle was not answered");
      break;
    }
  if (playerInfo.Count() != 32 || target.rules.Items.empty())
    state.SkipWithError("the cycle did not fill the player table and the rules");
}
BENCHMARK(BM_SelectionCycle)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A plain blocking socket connected to the simulator: send, then wait for the one reply.
class RawClient {
 public:
  RawClient() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(SimulatorPort);
    inet_pton(AF_INET, Host.c_str(), &to.sin_addr);
    connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    timeval timeout{2, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  }
  ~RawClient() { close(fd_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  // The reply, empty when none came.
  std::string RoundTrip(const std::string& command) {
    const std::string request = std::string(4, '\xFF') + command + '\0';
    if (send(fd_, request.data(), request.size(), 0) < 0) return {};
    const ssize_t count = recv(fd_, buffer_, sizeof buffer_, 0);
    return count > 0 ? std::string(buffer_, static_cast<std::size_t>(count)) : std::string();
  }

 private:
  int fd_ = -1;
  char buffer_[8192];
};

void BM_RawRoundTrip(benchmark::State& state) {
  RawClient client;
  for (auto _ : state)
    if (client.RoundTrip("details").empty()) {
      state.SkipWithError("no reply");
      break;
    }
}
BENCHMARK(BM_RawRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same six requests as the selection cycle, without decoding anything.
void BM_RawCycleRoundTrips(benchmark::State& state) {
  RawClient client;
  for (auto _ : state) {
    const std::string challenge = ExtractChallenge(client.RoundTrip("challenge rcon"));
    const std::string prefix = "rcon " + challenge + " " + Password + " ";
    const bool answered =
        !client.RoundTrip(prefix + ConsoleCommand).empty() &&
        !client.RoundTrip("details").empty() && !client.RoundTrip("players").empty() &&
        !client.RoundTrip("rules").empty() && !client.RoundTrip(prefix + "status").empty();
    if (challenge.empty() || !answered) {
      state.SkipWithError("a request was not answered");
      break;
    }
  }
}
BENCHMARK(BM_RawCycleRoundTrips)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Prints the usual table and keeps each benchmark's real time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        microseconds_[run.run_name.function_name] = run.GetAdjustedRealTime();
  }

  // False when a benchmark is missing.
  bool PrintRatios() const {
    const auto cycle = microseconds_.find("BM_SelectionCycle");
    const auto raw = microseconds_.find("BM_RawRoundTrip");
    const auto rawCycle = microseconds_.find("BM_RawCycleRoundTrips");
    if (cycle == microseconds_.end() || raw == microseconds_.end() ||
        rawCycle == microseconds_.end())
      return false;
    std::printf(
        "\nselection cycle %.1f us; raw round trip %.1f us; the cycle's %d raw round "
        "trips %.1f us\n",
        cycle->second, raw->second, CycleRoundTrips, rawCycle->second);
    std::printf("RATIO selection cycle / its raw round trips: %.2f (target < 2)\n",
                cycle->second / rawCycle->second);
    std::printf("RATIO selection cycle / (%d x raw round trip): %.2f\n", CycleRoundTrips,
                cycle->second / (CycleRoundTrips * raw->second));
    return true;
  }

 private:
  std::map<std::string, double> microseconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  QCoreApplication app(argc, argv);
  SimulatorLaunch simulator({"--password", QString::fromStdString(Password), "--players", "32",
                             "--bots", "0", "--max", "32"});
  if (simulator.port() == 0) {
    std::fprintf(stderr, "the simulator did not start\n");
    return 1;
  }
  SimulatorPort = simulator.port();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return reporter.PrintRatios() ? 0 : 1;
}
