#include "protocol/statuswatch.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace {

// Longer lines are none of the lines looked for.
constexpr std::size_t LongestWatchedLine = 80;

std::string_view Trimmed(std::string_view line) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!line.empty() && blank(line.front())) line.remove_prefix(1);
  while (!line.empty() && blank(line.back())) line.remove_suffix(1);
  return line;
}

// The next blank-separated word of `line`, taken off it.
std::string_view NextWord(std::string_view& line) {
  line = Trimmed(line);
  const std::size_t end = std::min(line.find_first_of(" \t"), line.size());
  const std::string_view word = line.substr(0, end);
  line.remove_prefix(end);
  return word;
}

// "hostname:  Arena One", or as much of it as has come.
bool BeginsListing(std::string_view line) {
  const std::string_view word = "hostname";
  const std::string_view rest = line.substr(std::min(word.size(), line.size()));
  return line.substr(0, word.size()) == word &&
         (rest.empty() || rest.front() == ' ' || rest.front() == ':');
}

bool IsColumnTitles(std::string_view line) {
  if (Trimmed(line).substr(0, 1) != "#") return false;
  bool name = false;
  bool userid = false;
  for (std::string_view word = NextWord(line); !word.empty(); word = NextWord(line)) {
    name = name || word == "name";
    userid = userid || word == "userid";
  }
  return name && userid;
}

bool IsClosingLine(std::string_view line) {
  const std::string_view count = NextWord(line);
  return !count.empty() &&
         std::all_of(count.begin(), count.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
         NextWord(line) == "users" && Trimmed(line).empty();
}

}  // namespace

void StatusListingWatch::Feed(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view piece = text.substr(0, end);
    const std::size_t room = LongestWatchedLine - std::min(line_.size(), LongestWatchedLine);
    line_.append(piece.substr(0, room));
    lineCut_ = lineCut_ || piece.size() > room;
    if (end == text.size()) return;
    EndLine();
    text.remove_prefix(end + 1);
  }
}

StatusListingWatch::State StatusListingWatch::state() const {
  if (closed_ && line_.empty()) return State::Whole;
  if (begun_ || titlesSeen_ || (!firstLineEnded_ && BeginsListing(line_))) return State::Open;
  return State::None;
}

void StatusListingWatch::EndLine() {
  if (!firstLineEnded_) begun_ = BeginsListing(line_);
  firstLineEnded_ = true;
  if (!titlesSeen_) {
    titlesSeen_ = IsColumnTitles(line_);
  } else if (!lineCut_ && IsClosingLine(line_)) {
    closed_ = true;
  } else if (lineCut_ || !Trimmed(line_).empty()) {
    closed_ = false;
  }
  line_.clear();
  lineCut_ = false;
}
