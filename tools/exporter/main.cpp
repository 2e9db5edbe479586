// zerval-exporter: game servers for Prometheus, asked at the moment of each scrape.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "engine/display_text.h"
#include "engine/server_address.h"
#include "exporter_metrics.h"
#include "exporter_options.h"
#include "exporter_service.h"
#include "http_listener.h"
#include "probe.h"
#include "server_table.h"
#include "store/mytypes.h"

namespace {

constexpr std::uint16_t DefaultListenPort = 9550;

enum ExitStatus { Stopped = 0, CannotListen = 1, BadInput = 2 };

bool IsLoopback(const ServerAddress& address) {
  if (address.Family() == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address.storage);
    return (ntohl(v4.sin_addr.s_addr) >> 24) == 127;
  }
  const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address.storage).sin6_addr;
  return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
}

// The address to listen on; its port is 0 when the system is to choose one.
ServerAddress ListenAddress(const std::string& text) {
  // The address reader wants a port from 1 up, so port 0 is read as 1 and replaced.
  const bool anyPort = text.size() > 2 && text.compare(text.size() - 2, 2, ":0") == 0;
  const AddressText parts =
      SplitServerAddress(anyPort ? text.substr(0, text.size() - 1) + "1" : text);
  const std::uint16_t port = anyPort ? 0 : parts.hasPort ? parts.port : DefaultListenPort;
  ServerAddress address = ResolveServerAddress(parts.ipv6 ? "[" + parts.host + "]" : parts.host);
  if (address.Family() == AF_INET)
    reinterpret_cast<sockaddr_in&>(address.storage).sin_port = htons(port);
  else
    reinterpret_cast<sockaddr_in6&>(address.storage).sin6_port = htons(port);
  return address;
}

int Fail(int status, const std::string& message, const char* hint = "") {
  std::fprintf(stderr, "zerval-exporter: %s\n%s", TerminalText(message).c_str(), hint);
  return status;
}

// Every connection and every probe's socket is a file descriptor: as many as the system allows
// this process.
void RaiseFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

// Stops the listener on SIGINT or SIGTERM; the signals are blocked in every other thread.
void StopOnSignal(HttpListener& listener) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals, &listener] {
    int signal = 0;
    sigwait(&signals, &signal);
    listener.Stop();
  }).detach();
}

}  // namespace

int main(int argc, char** argv) {
  ExporterOptions options;
  ServerAddress listenAddress;
  ServerTable allowed;
  ServerTable passwords;
  try {
    options = ParseExporterOptions(argc, argv);
    if (options.help || options.version) {
      std::fputs(options.help ? ExporterUsage().c_str() : "zerval-exporter " ZERVAL_VERSION "\n",
                 stdout);
      return 0;
    }
    listenAddress = ListenAddress(options.listen);
    if (!options.allowedTargets && !IsLoopback(listenAddress))
      throw EZerval("--allowed-targets FILE is required to listen on " +
                    FormatServerAddress(listenAddress) + ", which is not a loopback address");
    if (options.allowedTargets) allowed = ReadAllowedTargets(*options.allowedTargets);
    if (options.rconPasswords) passwords = ReadConsolePasswords(*options.rconPasswords);
  } catch (const EZerval& error) {
    return Fail(BadInput, error.what(), "Try 'zerval-exporter --help'.\n");
  }

  ConsoleMemory consoles;
  ExporterConfig config;
  config.timeout = options.timeout;
  config.setup.retries = options.retries;
  config.setup.interval = options.interval;
  config.setup.passwords = options.rconPasswords ? &passwords : nullptr;
  config.setup.consoles = &consoles;
  config.allowed = options.allowedTargets ? &allowed : nullptr;
  config.version = ZERVAL_VERSION;
  ExporterMetrics metrics;

  signal(SIGPIPE, SIG_IGN);
  RaiseFileLimit();
  RoutingServer routes;
  FailureLog failures(stderr);
  InstallRoutes(routes, config, metrics, failures);
  HttpListener listener(routes, [&metrics](int status) { metrics.CountRefusal(status); });
  StopOnSignal(listener);

  const std::string formatted = FormatServerAddress(listenAddress);
  const int port = listener.Listen(listenAddress);
  if (port <= 0)
    return Fail(CannotListen, "cannot listen on " + formatted + ": " + std::strerror(errno));
  std::printf("listening on %s:%d\n", formatted.substr(0, formatted.rfind(':')).c_str(), port);
  std::fflush(stdout);
  listener.Run();
  return Stopped;
}
