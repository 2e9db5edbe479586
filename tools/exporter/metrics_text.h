#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Writes metrics in the Prometheus text format (version 0.0.4).

// A label value: wire bytes as UTF-8 (or Latin-1 when they are no UTF-8), with backslash,
// double quote and line feed escaped.
std::string LabelValue(std::string_view bytes);

// A sample value: integers without a fraction, "NaN", "+Inf" and "-Inf" as the format spells them.
std::string SampleValue(double value);

// Repeated names made unique by " (2)", " (3)" and so on: one scrape must not hold a series twice.
std::vector<std::string> UniqueNames(const std::vector<std::string>& names);

using Labels = std::vector<std::pair<std::string, std::string>>;

class MetricsText {
 public:
  // Starts a metric family with its help and type lines ("gauge", "counter", "histogram").
  void Family(std::string_view name, std::string_view help, std::string_view type = "gauge");
  // One sample; label values are taken as wire bytes and escaped.
  void Sample(std::string_view name, double value, const Labels& labels = {});

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The content type of the text format.
constexpr const char* MetricsContentType = "text/plain; version=0.0.4; charset=utf-8";
