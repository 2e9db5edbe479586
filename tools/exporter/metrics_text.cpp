#include "metrics_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/display_text.h"

namespace {

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD";

// LabelText within `capacity` bytes.
std::string LabelTextWithin(std::string_view bytes, std::size_t capacity) {
  const std::string text = Utf8Text(bytes);
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<std::uint8_t>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const bool control = lead < 0x20 || lead == 0x7F ||
                         (lead == 0xC2 && static_cast<std::uint8_t>(text[at + 1]) < 0xA0);
    const std::string_view character =
        control ? ReplacementCharacter : std::string_view(text).substr(at, length);
    if (out.size() + character.size() > capacity) break;
    out += character;
    at += length;
  }
  return out;
}

}  // namespace

std::string LabelText(std::string_view bytes) {
  return LabelTextWithin(bytes, MaxLabelValueBytes);
}

std::string LabelValue(std::string_view bytes) {
  std::string out;
  for (const char c : LabelText(bytes)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

std::string SampleValue(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  // 15 digits keep a start time in seconds to the tick, and hide the binary fraction's noise.
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

std::vector<std::string> UniqueLabelValues(const std::vector<std::string>& values,
                                           const std::vector<std::string>& groups) {
  // Label values hold no line feed.
  const auto key = [&groups](const std::string& value, std::size_t i) {
    return groups.empty() ? value : value + '\n' + groups[i];
  };
  std::unordered_set<std::string> taken;
  for (std::size_t i = 0; i < values.size(); ++i) taken.insert(key(values[i], i));
  std::unordered_set<std::string> seen;
  std::vector<std::string> unique;
  unique.reserve(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (seen.insert(key(values[i], i)).second) {
      unique.push_back(values[i]);
      continue;
    }
    // A number that no value of the group has and no earlier repeat took.
    std::string renamed;
    for (int number = 2;; ++number) {
      const std::string suffix = " (" + std::to_string(number) + ")";
      renamed = LabelTextWithin(values[i], MaxLabelValueBytes - suffix.size()) + suffix;
      if (taken.insert(key(renamed, i)).second) break;
    }
    unique.push_back(renamed);
  }
  return unique;
}

void MetricsText::Family(std::string_view name, std::string_view help, std::string_view type) {
  text_.append("# HELP ").append(name).append(" ").append(help).append("\n");
  text_.append("# TYPE ").append(name).append(" ").append(type).append("\n");
}

void MetricsText::Sample(std::string_view name, double value, const Labels& labels) {
  text_.append(name);
  if (!labels.empty()) {
    text_ += '{';
    for (std::size_t i = 0; i < labels.size(); ++i) {
      if (i > 0) text_ += ',';
      text_.append(labels[i].first).append("=\"").append(LabelValue(labels[i].second)) += '"';
    }
    text_ += '}';
  }
  text_.append(" ").append(SampleValue(value)).append("\n");
}
