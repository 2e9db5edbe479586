#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "options.h"
#include "request_log.h"
#include "server.h"

namespace {

using Servers = std::vector<std::unique_ptr<SimServer>>;

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char wake = 1;
  const ssize_t written = write(signalPipe[1], &wake, 1);
  static_cast<void>(written);
}

// SIGTERM and SIGINT end the event loop, so sockets and the log are closed in order.
void QuitOnSignals(QCoreApplication& app) {
  if (pipe(signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

// A thousand servers need a thousand sockets, more than the usual soft limit leaves.
void RaiseOpenFileLimit() {
  rlimit limit = {};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

ServerSetup SetupOf(const SimOptions& options, int index) {
  ServerSetup setup = options.setup;
  if (options.count > 1) setup.name += " " + std::to_string(index + 1);
  return setup;
}

// All servers on consecutive ports from `first`; empty when one of the ports is taken.
Servers OpenRun(const SimOptions& options, std::uint16_t first, RequestLog& log, QString& error) {
  Servers servers;
  for (int i = 0; i < options.count; ++i) {
    const std::uint16_t port = i == 0 ? first : std::uint16_t(servers.front()->port() + i);
    if (i > 0 && servers.front()->port() + i > 65535) {
      error = "the ports run past 65535";
      return {};
    }
    std::unique_ptr<SimServer> server =
        SimServer::Open(options.address, port, SetupOf(options, i), options.wire,
                        options.seed + std::uint32_t(i), options.faults, log, error);
    if (!server) return {};
    servers.push_back(std::move(server));
  }
  return servers;
}

// With port 0 the system picks the first port; the run is tried again elsewhere when a later
// port of it is taken.
Servers OpenServers(const SimOptions& options, RequestLog& log, QString& error) {
  const int attempts = options.port == 0 ? 50 : 1;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    Servers servers = OpenRun(options, options.port, log, error);
    if (!servers.empty()) return servers;
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  DefineOptions(parser);
  parser.process(app);
  QString error;
  const std::optional<SimOptions> options = ReadOptions(parser, error);
  RequestLog log;
  if (!options || (!options->logPath.isEmpty() && !log.Open(options->logPath, error))) {
    std::fprintf(stderr, "zerval-gameserver: %s\n", qPrintable(error));
    return 2;
  }
  RaiseOpenFileLimit();
  const Servers servers = OpenServers(*options, log, error);
  if (servers.empty()) {
    std::fprintf(stderr, "zerval-gameserver: cannot listen on %s:%u: %s\n",
                 qPrintable(options->address.toString()), unsigned(options->port),
                 qPrintable(error));
    return 1;
  }
  // Whoever waits for the line below may stop us at once: the handlers must be in place first.
  QuitOnSignals(app);
  std::printf("listening %s\n", qPrintable(HostAndPort(options->address, servers.front()->port())));
  std::fflush(stdout);

  QTimer churn;
  if (options->setup.churnSeconds > 0) {
    QObject::connect(&churn, &QTimer::timeout, [&servers] {
      for (const std::unique_ptr<SimServer>& server : servers) server->tick(NowMs());
    });
    churn.start(250);
  }
  return app.exec();
}
