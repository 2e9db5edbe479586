// zerval-exporter under the load of a Prometheus server: 1,000 simulated servers on 127.0.0.1,
// each probed once per round through the exporter with 32 probes in flight on kept-alive
// connections, for 10 rounds. Prints probes per second, the median and 99th percentile of the
// probe duration as the scraper sees it, its overhead beyond the server's round trip, and the
// exporter's resident memory after each round; then the same servers asked by
// `zerval-query --list` for comparison.
#include <httplib.h>
#include <signal.h>
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "simulator_launch.h"

namespace {

constexpr int Servers = 1000;
constexpr int InFlight = 32;
constexpr int Rounds = 10;

using Clock = std::chrono::steady_clock;

struct Sample {
  double seconds = 0;
  double overheadSeconds = 0;
  bool up = false;
};

double ValueAfter(const std::string& body, const std::string& series) {
  const std::size_t at = body.find("\n" + series + " ");
  return at == std::string::npos ? -1 : std::atof(body.c_str() + at + series.size() + 2);
}

// The exporter as a child process; its port is 0 when it did not start.
class ExporterLaunch {
 public:
  ExporterLaunch() {
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process_.start(ZERVAL_EXPORTER_BIN, {"--listen", "127.0.0.1:0"});
    const QDeadlineTimer deadline(10000);
    while (!process_.canReadLine() && process_.state() != QProcess::NotRunning &&
           !deadline.hasExpired())
      process_.waitForReadyRead(int(deadline.remainingTime()));
    const QByteArray line = process_.readLine().trimmed();
    port = line.mid(line.lastIndexOf(':') + 1).toInt();
  }
  ~ExporterLaunch() {
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
    process_.waitForFinished(5000);
  }
  long ResidentKiB() const {
    std::ifstream status("/proc/" + std::to_string(process_.processId()) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
  }
  int port = 0;

 private:
  QProcess process_;
};

// One round: every server once, `InFlight` clients at a time.
std::vector<Sample> Round(int exporterPort, int firstServerPort, double& wallSeconds) {
  std::vector<Sample> samples(Servers);
  std::atomic<int> next{0};
  const Clock::time_point start = Clock::now();
  std::vector<std::thread> clients;
  for (int c = 0; c < InFlight; ++c) {
    clients.emplace_back([&] {
      httplib::Client client("127.0.0.1", exporterPort);
      client.set_keep_alive(true);
      client.set_tcp_nodelay(true);
      const httplib::Headers headers{{"X-Prometheus-Scrape-Timeout-Seconds", "10"}};
      for (int i; (i = next++) < Servers;) {
        const std::string path =
            "/probe?protocol=classic&target=127.0.0.1:" + std::to_string(firstServerPort + i);
        const Clock::time_point sent = Clock::now();
        const httplib::Result result = client.Get(path.c_str(), headers);
        Sample& sample = samples[std::size_t(i)];
        sample.seconds = std::chrono::duration<double>(Clock::now() - sent).count();
        if (!result || result->status != 200) continue;
        sample.up = ValueAfter("\n" + result->body, "zerval_up") == 1;
        sample.overheadSeconds =
            sample.seconds - ValueAfter(result->body, "zerval_round_trip_seconds");
      }
    });
  }
  for (std::thread& client : clients) client.join();
  wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  return samples;
}

double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, std::size_t(share * double(values.size())))];
}

double Median(std::vector<double> values) {
  return Percentile(std::move(values), 0.5);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  SimulatorLaunch simulator({"--count", QString::number(Servers)});
  ExporterLaunch exporter;
  if (simulator.port() == 0 || exporter.port <= 0) {
    std::fprintf(stderr, "the simulator or the exporter did not start\n");
    return 1;
  }
  std::printf("%d servers on 127.0.0.1:%d.., %d probes in flight, %d rounds\n", Servers,
              simulator.port(), InFlight, Rounds);
  std::vector<double> durations, overheads, rates;
  std::vector<long> resident;
  int down = 0;
  for (int round = 0; round < Rounds; ++round) {
    double wall = 0;
    for (const Sample& sample : Round(exporter.port, simulator.port(), wall)) {
      durations.push_back(sample.seconds * 1000);
      overheads.push_back(sample.overheadSeconds * 1000);
      down += !sample.up;
    }
    rates.push_back(Servers / wall);
    std::printf("round %d: %.3f s\n", round + 1, wall);
    resident.push_back(exporter.ResidentKiB());
  }
  std::printf("probes per second (median round)  %.0f\n", Median(rates));
  std::printf("probe duration     median %.3f ms   p99 %.3f ms   max %.3f ms\n", Median(durations),
              Percentile(durations, 0.99), *std::max_element(durations.begin(), durations.end()));
  std::printf("beyond round trip  median %.3f ms   p99 %.3f ms\n", Median(overheads),
              Percentile(overheads, 0.99));
  std::printf("probes without an answer           %d of %d\n", down, Servers * Rounds);
  std::printf("exporter resident memory (KiB) after each round:");
  for (const long kib : resident) std::printf(" %ld", kib);
  std::printf("\n");

  QTemporaryDir dir;
  QFile list(dir.filePath("servers.txt"));
  list.open(QIODevice::WriteOnly);
  for (int i = 0; i < Servers; ++i)
    list.write("127.0.0.1:" + QByteArray::number(simulator.port() + i) + "\n");
  list.close();
  std::vector<double> listTimes;
  for (int run = 0; run < 5; ++run) {
    QProcess query;
    QElapsedTimer clock;
    clock.start();
    query.start(ZERVAL_QUERY_BIN, {"--list", list.fileName()});
    query.waitForFinished(60000);
    listTimes.push_back(double(clock.nsecsElapsed()) / 1e6);
  }
  const double listMs = Median(listTimes);
  std::printf("zerval-query --list, same %d servers: %.1f ms (%.0f servers per second)\n", Servers,
              listMs, Servers / listMs * 1000);
  std::printf(
      "RESULT exporter: %.0f probes/s, median %.3f ms, p99 %.3f ms, overhead median "
      "%.3f ms p99 %.3f ms (target < 1), RSS %ld..%ld KiB; zerval-query --list %.1f ms\n",
      Median(rates), Median(durations), Percentile(durations, 0.99), Median(overheads),
      Percentile(overheads, 0.99), *std::min_element(resident.begin(), resident.end()),
      *std::max_element(resident.begin(), resident.end()), listMs);
  return down == 0 ? 0 : 1;
}
