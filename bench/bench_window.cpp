// The selection cycle as the operator gets it: the real main window (offscreen), with its wait
// dialog, views and debug log, against the simulator on loopback. Once on a small server and
// once on a 32-player server whose status listing comes as two console datagrams back to back,
// each beside the raw UDP round trips that the same requests need, paired in one run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "main.h"
#include "platform/dialogs.h"
#include "raw_client.h"
#include "simulator_launch.h"

namespace {

const std::string Password = "benchpw";

// Counts the dialogs instead of showing them: a dialog in a cycle means it failed.
class CountingDialogs : public OperatorDialogs {
 public:
  DialogResult Message(DialogKind, const QString&, const QString&, DialogButtons) override {
    ++shown;
    return DialogResult::Ok;
  }
  QString ChooseFile(QFileDialog&) override { return {}; }
  int shown = 0;
};

// The window with one list entry, selected again for every cycle.
class WindowClient {
 public:
  WindowClient(std::uint16_t port, int players) : players_(players) {
    SetDialogs(&dialogs_);
    window_.show();
    TServerEntry entry;
    entry.Name = "bench";
    entry.Address = "127.0.0.1:" + std::to_string(port);
    entry.HasPassword = 1;
    entry.Password = Password;
    window_.ServerList = {entry};
    window_.FillServerCombo();
    window_.UDPClient.SetReceiveTimeout(2000);
  }
  ~WindowClient() { SetDialogs(nullptr); }
  WindowClient(const WindowClient&) = delete;
  WindowClient& operator=(const WindowClient&) = delete;

  bool SelectionCycle() {
    window_.ui.cb_servers->setCurrentIndex(0);
    window_.cb_serversChange();
    return dialogs_.shown == 0 && window_.CurrentServer.ServerSelected &&
           window_.PlayerInfo.Count() == players_;
  }

 private:
  CountingDialogs dialogs_;
  Tfrm_main window_;
  int players_;
};

// Each iteration runs the raw round trips and the window's cycle right after each other, so
// both see the same load; the medians of both and of their ratios are the figures.
void BM_WindowCycle(benchmark::State& state, int players, int statusDatagrams) {
  SimulatorLaunch simulator({"--password", QString::fromStdString(Password), "--players",
                             QString::number(players), "--bots", "0", "--max", "32"});
  if (simulator.port() == 0) {
    state.SkipWithError("the simulator did not start");
    return;
  }
  WindowClient window(simulator.port(), players);
  RawClient raw(simulator.port());
  MeasurePaired(
      state, [&] { return raw.CycleRoundTrips(Password, statusDatagrams); },
      [&] { return window.SelectionCycle(); });
}
BENCHMARK_CAPTURE(BM_WindowCycle, small_server, 10, 1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_WindowCycle, players_32, 32, 2)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Prints the table, then each server's figures and the goals beside them.
class GoalReporter : public benchmark::ConsoleReporter {
 public:
  GoalReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration) runs_.push_back(run);
  }

  bool PrintGoals() const {
    if (runs_.size() != 2) return false;
    for (const Run& run : runs_) {
      const double raw = run.counters.at("raw_us").value;
      const double cycle = run.counters.at("cycle_us").value;
      std::printf("%s: window cycle %.0f us, its raw round trips %.0f us (medians)\n",
                  run.run_name.args.c_str(), cycle, raw);
    }
    const benchmark::UserCounters& small = runs_[0].counters;
    const benchmark::UserCounters& busy = runs_[1].counters;
    std::printf(
        "RATIO window selection cycle / raw round trips, small server: %.2f (target <= 1.3)\n",
        small.at("ratio").value);
    std::printf(
        "RATIO window selection cycle, 32 players: %.2f ms against 2 x raw + 2 ms = %.2f ms "
        "(target: below)\n",
        busy.at("cycle_us").value / 1000, (2 * busy.at("raw_us").value + 2000) / 1000);
    return true;
  }

 private:
  std::vector<Run> runs_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  GoalReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return reporter.PrintGoals() ? 0 : 1;
}
