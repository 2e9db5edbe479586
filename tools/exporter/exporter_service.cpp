#include "exporter_service.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <variant>

#include "engine/display_text.h"
#include "http_listener.h"
#include "metrics_text.h"
#include "probe_metrics.h"
#include "probe_request.h"
#include "probe_trace.h"
#include "probe_verdict.h"

namespace {

constexpr const char* ScrapeTimeoutHeader = "X-Prometheus-Scrape-Timeout-Seconds";
constexpr const char* PlainText = "text/plain; charset=utf-8";

void Refuse(httplib::Response& response, int status, const std::string& reason) {
  response.status = status;
  response.set_content(reason + "\n", PlainText);
}

void Probe(const httplib::Request& request, httplib::Response& response,
           const ExporterConfig& config, ExporterMetrics& metrics, FailureLog& failures) {
  std::optional<std::string> scrapeTimeout;
  const std::size_t timeouts = request.get_header_value_count(ScrapeTimeoutHeader);
  if (timeouts > 1)
    return Refuse(response, 400, std::string(ScrapeTimeoutHeader) + " is given twice");
  if (timeouts == 1) scrapeTimeout = request.get_header_value(ScrapeTimeoutHeader);
  const std::variant<ProbeRequest, HttpRefusal> admitted =
      AdmitProbe(request.params, scrapeTimeout, config.timeout, config.allowed);
  if (const auto* refusal = std::get_if<HttpRefusal>(&admitted))
    return Refuse(response, refusal->status, refusal->reason);
  // The time that the request waited for a thread is gone from the scraper's time-out.
  ProbeRequest probeRequest = std::get<ProbeRequest>(admitted);
  const auto waited =
      std::chrono::milliseconds(request.get_header_value<std::uint64_t>(WaitedHeader));
  probeRequest.budget = std::max(probeRequest.budget - waited, std::chrono::milliseconds(0));
  ProbeTrace trace;
  const ProbeResult probe =
      RunProbe(probeRequest, config.setup, probeRequest.debug ? &trace : nullptr);
  const ProbeVerdict verdict = JudgeProbe(probe);
  metrics.CountProbe(verdict.up, probe.durationSeconds);
  if (!verdict.reason.empty())
    failures.Note(probeRequest.target, verdict, probe.durationSeconds, FailureLog::Clock::now());
  if (probeRequest.debug)
    response.set_content(DebugPage(probeRequest, trace, probe, verdict), PlainText);
  else
    response.set_content(ProbeMetrics(probe), MetricsContentType);
}

std::string IndexPage(const std::string& version) {
  return R"(<!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8"><title>zerval-exporter</title></head>
<body>
<h1>zerval-exporter )" +
         version + R"(</h1>
<p>Game servers for Prometheus, asked at the moment of each scrape.</p>
<ul>
<li><a href="/metrics">/metrics</a>: the exporter's own metrics</li>
<li><a href="/probe?target=127.0.0.1:27015">/probe?target=127.0.0.1:27015</a>: a probe of one
game server (add <code>protocol=a2s</code> for the Steam-era requests, <code>players=1</code> for
the players)</li>
<li><a href="/probe?target=127.0.0.1:27015&amp;debug=true">/probe?target=127.0.0.1:27015&amp;debug=true</a>:
the same probe's log</li>
</ul>
</body>
</html>
)";
}

}  // namespace

void InstallRoutes(httplib::Server& server, const ExporterConfig& config, ExporterMetrics& metrics,
                   FailureLog& failures) {
  server.Get("/probe", [&config, &metrics, &failures](const httplib::Request& request,
                                                      httplib::Response& response) {
    Probe(request, response, config, metrics, failures);
  });
  server.Get("/", [&config](const httplib::Request&, httplib::Response& response) {
    response.set_content(IndexPage(config.version), "text/html; charset=utf-8");
  });
  server.Get("/metrics", [&config, &metrics](const httplib::Request&, httplib::Response& response) {
    response.set_content(metrics.Text(config.version), MetricsContentType);
  });
  // Called for every answer with an error status, refusals of the handlers included.
  server.set_error_handler([&metrics](const httplib::Request&, httplib::Response& response) {
    metrics.CountRefusal(response.status);
    if (!response.body.empty()) return;
    Refuse(response, response.status,
           response.status == 404 ? "not found: this exporter serves /, /probe and /metrics"
                                  : "refused (HTTP " + std::to_string(response.status) + ")");
  });
  // A probe that cannot even open its socket (no file descriptors left) fails the scrape.
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr failure) {
        std::string reason = "the probe failed";
        try {
          std::rethrow_exception(failure);
        } catch (const std::exception& error) {
          reason += ": " + TerminalText(error.what());
        } catch (...) {
        }
        Refuse(response, 500, reason);
      });
}
