#pragma once

#include <chrono>
#include <string>

#include "exporter_metrics.h"
#include "failure_log.h"
#include "probe.h"
#include "server_table.h"

namespace httplib {
class Server;
}

struct ExporterConfig {
  // The longest a probe takes; a shorter scrape time-out shortens it.
  std::chrono::milliseconds timeout{5000};
  ProbeSetup setup;
  // Servers that may be probed; none: any.
  const ServerTable* allowed = nullptr;
  std::string version;
};

// Serves /probe, /metrics and a page at / on `server`; every other path answers 404, and every
// refusal is one line of text. Failed probes go to `failures`.
void InstallRoutes(httplib::Server& server, const ExporterConfig& config, ExporterMetrics& metrics,
                   FailureLog& failures);
