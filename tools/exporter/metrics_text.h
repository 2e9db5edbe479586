#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Writes metrics in the Prometheus text format (version 0.0.4).

// Label values at most this long, in bytes of UTF-8: servers choose names, and Prometheus keeps
// every value it is given.
constexpr std::size_t MaxLabelValueBytes = 128;

// A label value as written: the wire bytes as UTF-8 (as Latin-1 when they are no UTF-8),
// control characters as U+FFFD, cut to MaxLabelValueBytes between characters. A value made so
// stays as it is.
std::string LabelText(std::string_view bytes);

// LabelText with backslash and double quote escaped.
std::string LabelValue(std::string_view bytes);

// A sample value: integers without a fraction, "NaN", "+Inf" and "-Inf" as the format spells them.
std::string SampleValue(double value);

// Label values (made by LabelText) that repeat an earlier one of the same group get " (2)",
// " (3)" and so on, their text shortened to leave room for it: one scrape must not hold a series
// twice. No groups: all values are of one.
std::vector<std::string> UniqueLabelValues(const std::vector<std::string>& values,
                                           const std::vector<std::string>& groups = {});

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
