#include "exporter_metrics.h"

#include <cstddef>
#include <mutex>
#include <string>

#include "metrics_text.h"
#include "process_stats.h"

void ExporterMetrics::CountProbe(bool answered, double durationSeconds) {
  const std::lock_guard<std::mutex> lock(mutex_);
  ++probes_;
  if (!answered) ++failures_;
  durationSum_ += durationSeconds;
  for (std::size_t i = 0; i < Buckets.size(); ++i)
    if (durationSeconds <= Buckets[i]) ++bucketCounts_[i];
}

void ExporterMetrics::CountRefusal(int status) {
  const std::lock_guard<std::mutex> lock(mutex_);
  ++refusals_[status];
}

std::string ExporterMetrics::Text(const std::string& version) {
  const std::lock_guard<std::mutex> lock(mutex_);
  MetricsText out;
  out.Family("zerval_exporter_build_info", "The exporter's version.");
  out.Sample("zerval_exporter_build_info", 1, {{"version", version}});
  out.Family("zerval_exporter_probes_total", "Probes run.", "counter");
  out.Sample("zerval_exporter_probes_total", double(probes_));
  out.Family("zerval_exporter_probe_failures_total", "Probes whose server did not answer.",
             "counter");
  out.Sample("zerval_exporter_probe_failures_total", double(failures_));
  out.Family("zerval_exporter_probe_duration_seconds", "How long probes took.", "histogram");
  for (std::size_t i = 0; i < Buckets.size(); ++i)
    out.Sample("zerval_exporter_probe_duration_seconds_bucket", double(bucketCounts_[i]),
               {{"le", SampleValue(Buckets[i])}});
  out.Sample("zerval_exporter_probe_duration_seconds_bucket", double(probes_), {{"le", "+Inf"}});
  out.Sample("zerval_exporter_probe_duration_seconds_sum", durationSum_);
  out.Sample("zerval_exporter_probe_duration_seconds_count", double(probes_));
  out.Family("zerval_exporter_requests_refused_total",
             "Requests answered with an HTTP error, by status.", "counter");
  for (const auto& [status, count] : refusals_)
    out.Sample("zerval_exporter_requests_refused_total", double(count),
               {{"code", std::to_string(status)}});
  const ProcessStats process = ReadProcessStats();
  out.Family("process_cpu_seconds_total", "Total user and system CPU time spent in seconds.",
             "counter");
  out.Sample("process_cpu_seconds_total", process.cpuSeconds);
  out.Family("process_start_time_seconds",
             "Start time of the process since unix epoch in seconds.");
  out.Sample("process_start_time_seconds", process.startTimeSeconds);
  out.Family("process_open_fds", "Number of open file descriptors.");
  out.Sample("process_open_fds", process.openFds);
  out.Family("process_max_fds", "Maximum number of open file descriptors.");
  out.Sample("process_max_fds", process.maxFds);
  out.Family("process_virtual_memory_bytes", "Virtual memory size in bytes.");
  out.Sample("process_virtual_memory_bytes", process.virtualBytes);
  out.Family("process_resident_memory_bytes", "Resident memory size in bytes.");
  out.Sample("process_resident_memory_bytes", process.residentBytes);
  return out.Text();
}
