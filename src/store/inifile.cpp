#include "store/inifile.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace {

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

IniFile IniFile::Parse(std::string_view text) {
  IniFile file;
  std::string section;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const std::string_view line = Trimmed(raw);
    const std::size_t equals = line.find('=');
    Line parsed{section, {}, {}, std::string(raw)};
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = std::string(Trimmed(line.substr(1, line.size() - 2)));
      parsed.section = section;
    } else if (!line.empty() && line.front() != ';' && line.front() != '#' &&
               equals != std::string_view::npos && equals > 0) {
      parsed.key = std::string(Trimmed(line.substr(0, equals)));
      parsed.value = std::string(Trimmed(line.substr(equals + 1)));
    }
    file.lines_.push_back(std::move(parsed));
  }
  return file;
}

std::string IniFile::Text() const {
  std::string text;
  for (const Line& line : lines_) {
    text += line.key.empty() ? line.text : line.key + '=' + line.value;
    text += '\n';
  }
  return text;
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
  for (const Line& line : lines_)
    if (!line.key.empty() && line.section == section && line.key == key) return line.value;
  return std::nullopt;
}

IniFile::Entries IniFile::Section(std::string_view section) const {
  Entries entries;
  for (const Line& line : lines_)
    if (!line.key.empty() && line.section == section) entries.emplace_back(line.key, line.value);
  return entries;
}

std::size_t IniFile::InsertionPoint(std::string_view section) {
  std::size_t at = lines_.size();
  for (std::size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].section == section &&
        (!lines_[i].key.empty() || !Trimmed(lines_[i].text).empty()))
      at = i + 1;
  if (at != lines_.size() || (!lines_.empty() && lines_.back().section == section)) return at;
  lines_.push_back(Line{std::string(section), {}, {}, "[" + std::string(section) + "]"});
  return lines_.size();
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  for (Line& line : lines_)
    if (!line.key.empty() && line.section == section && line.key == key) {
      line.value = std::string(value);
      return;
    }
  const std::size_t at = InsertionPoint(section);
  lines_.insert(lines_.begin() + std::ptrdiff_t(at),
                Line{std::string(section), std::string(key), std::string(value), {}});
}

void IniFile::ReplaceSection(std::string_view section, const Entries& entries) {
  lines_.erase(std::remove_if(lines_.begin(), lines_.end(),
                              [section](const Line& line) {
                                return !line.key.empty() && line.section == section;
                              }),
               lines_.end());
  if (entries.empty()) return;
  const std::size_t at = InsertionPoint(section);
  std::vector<Line> added;
  for (const auto& [key, value] : entries)
    added.push_back(Line{std::string(section), key, value, {}});
  lines_.insert(lines_.begin() + std::ptrdiff_t(at), added.begin(), added.end());
}
