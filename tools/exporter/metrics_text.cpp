#include "metrics_text.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/display_text.h"

std::string LabelValue(std::string_view bytes) {
  const std::string text = Utf8Text(bytes);
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\\':
      case '"':
        out += '\\';
        out += c;
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string SampleValue(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

std::vector<std::string> UniqueNames(const std::vector<std::string>& names) {
  std::unordered_set<std::string> taken(names.begin(), names.end());
  std::unordered_set<std::string> seen;
  std::vector<std::string> unique;
  unique.reserve(names.size());
  for (const std::string& name : names) {
    if (seen.insert(name).second) {
      unique.push_back(name);
      continue;
    }
    // A number that no name of the list has and no earlier repeat took.
    std::string renamed;
    for (int number = 2;
         !taken.insert(renamed = name + " (" + std::to_string(number) + ")").second;)
      ++number;
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
