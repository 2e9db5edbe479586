// One full selection cycle through the window's exchange class against the simulator on
// loopback, beside the raw UDP round trips that the same requests need, in one run.
#include <benchmark/benchmark.h>
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
#include "raw_client.h"
#include "simulator_launch.h"
#include "store/mytypes.h"

namespace {

const std::string Host = "127.0.0.1";
const std::string Password = "benchpw";
// challenge rcon, its console follow-up, details, players, rules, status
constexpr int RoundTripsPerCycle = 6;
// Few enough that the status listing stays under 1,000 bytes: a longer console reply makes the
// exchange wait a quiet time for further parts, which is measured in the README, not here.
constexpr int Players = 10;
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

  TDetailInfo details;
  TPlayerList players;
  TRuleList rules;
  int consoleLines = 0;
};

// The window's side: its exchange class with quiet stand-ins for the dialogs and the views.
class WindowClient {
 public:
  WindowClient() : exchange_(server_, ui_, target_) {
    server_.HostIP = Host;
    server_.Port = SimulatorPort;
    server_.RconPassword = Password;
    server_.RconEnabled = true;
    exchange_.SetReceiveTimeout(2000);
  }

  // What selecting a server with a console password does: the quiet challenge (whose reply
  // sends the console line with the empty command), details, players and rules, then the
  // "status" listing into the player table. False when a request was not answered.
  bool SelectionCycle() {
    if (!exchange_.QueryChallenge(server_.HostIP, server_.Port, nullptr, false, "")) return false;
    for (const char* command : {"details", "players", "rules"})
      if (!exchange_.QueryServer(server_.HostIP, server_.Port, command, nullptr, true))
        return false;
    const std::optional<Datagram> status = exchange_.QueryQuiet(
        server_.HostIP, server_.Port,
        "rcon " + server_.Challenge + " " + server_.RconPassword + " status", true);
    if (!status) return false;
    playerInfo_.Clear();
    if (const auto lines = ParseRconReply(status->Bytes)) playerInfo_.ParseStatus(*lines);
    return ui_.timeouts == 0;
  }

  // Whether the cycles filled what the window shows.
  bool FilledViews() const {
    return playerInfo_.Count() == Players && !target_.rules.Items.empty();
  }

 private:
  TCurrentServer server_;
  QuietUi ui_;
  KeepingTarget target_;
  TPlayerInfo playerInfo_;
  UdpExchange exchange_;
};

void BM_SelectionCycle(benchmark::State& state) {
  WindowClient client;
  for (auto _ : state)
    if (!client.SelectionCycle()) {
      state.SkipWithError("a request of the cycle was not answered");
      break;
    }
  if (!client.FilledViews()) state.SkipWithError("the cycle did not fill the views");
}
BENCHMARK(BM_SelectionCycle)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RawRoundTrip(benchmark::State& state) {
  RawClient client(SimulatorPort);
  for (auto _ : state)
    if (client.RoundTrip("details").empty()) {
      state.SkipWithError("no reply");
      break;
    }
}
BENCHMARK(BM_RawRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RawCycleRoundTrips(benchmark::State& state) {
  RawClient client(SimulatorPort);
  for (auto _ : state)
    if (!client.CycleRoundTrips(Password)) {
      state.SkipWithError("a request was not answered");
      break;
    }
}
BENCHMARK(BM_RawCycleRoundTrips)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The ratio itself: each iteration runs the raw round trips and the selection cycle right
// after each other, so both see the same load on the machine; the median of the pairs' ratios
// is the figure.
void BM_CycleOverRawRoundTrips(benchmark::State& state) {
  WindowClient window;
  RawClient raw(SimulatorPort);
  MeasurePaired(
      state, [&] { return raw.CycleRoundTrips(Password); },
      [&] { return window.SelectionCycle(); });
}
BENCHMARK(BM_CycleOverRawRoundTrips)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Prints the usual table, then the ratio of the paired benchmark beside the plain figures.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so a saved log stays plain text.
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration)
        runs_[run.run_name.function_name] = run;
  }

  // False when a benchmark is missing or failed.
  bool PrintRatios() const {
    const auto cycle = runs_.find("BM_SelectionCycle");
    const auto raw = runs_.find("BM_RawRoundTrip");
    const auto rawCycle = runs_.find("BM_RawCycleRoundTrips");
    const auto paired = runs_.find("BM_CycleOverRawRoundTrips");
    if (cycle == runs_.end() || raw == runs_.end() || rawCycle == runs_.end() ||
        paired == runs_.end())
      return false;
    const benchmark::UserCounters& counters = paired->second.counters;
    std::printf(
        "\nselection cycle %.1f us (%d round trips); raw round trip %.1f us; the same %d raw "
        "round trips %.1f us\n",
        cycle->second.GetAdjustedRealTime(), RoundTripsPerCycle, raw->second.GetAdjustedRealTime(),
        RoundTripsPerCycle, rawCycle->second.GetAdjustedRealTime());
    std::printf("paired: cycle %.1f us, its raw round trips %.1f us (medians)\n",
                counters.at("cycle_us").value, counters.at("raw_us").value);
    std::printf("RATIO selection cycle / the raw round trips it needs: %.2f (target < 2)\n",
                counters.at("ratio").value);
    return true;
  }

 private:
  std::map<std::string, Run> runs_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  QCoreApplication app(argc, argv);
  SimulatorLaunch simulator({"--password", QString::fromStdString(Password), "--players",
                             QString::number(Players), "--bots", "0", "--max", "32"});
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
