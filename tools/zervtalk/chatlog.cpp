#include "chatlog.h"

#include <cctype>
#include <cstddef>

namespace {

constexpr std::string_view Framing = "\xFF\xFF\xFF\xFF";
// "MM/DD/YYYY - hh:mm:ss: ", with '9' for a digit.
constexpr std::string_view StampShape = "99/99/9999 - 99:99:99: ";

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool FitsShape(std::string_view text, std::string_view shape) {
  if (text.size() < shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    if (shape[i] == '9' ? !digit : text[i] != shape[i]) return false;
  }
  return true;
}

// The text between the first quote of `rest`, which must stand first, and its last quote; what
// follows that, such as " (dead)", is a remark.
std::optional<std::string_view> QuotedText(std::string_view rest) {
  const std::size_t close = rest.rfind('"');
  if (rest.empty() || rest.front() != '"' || close == 0) return std::nullopt;
  return rest.substr(1, close - 1);
}

// Takes the last "<...>" group off the end of `tag`; nothing when it does not end in one.
std::optional<std::string_view> TakeGroup(std::string_view& tag) {
  if (tag.empty() || tag.back() != '>') return std::nullopt;
  const std::size_t open = tag.rfind('<');
  if (open == std::string_view::npos) return std::nullopt;
  const std::string_view group = tag.substr(open + 1, tag.size() - open - 2);
  if (group.find('>') != std::string_view::npos) return std::nullopt;
  tag = tag.substr(0, open);
  return group;
}

bool IsUserId(std::string_view text) {
  if (StartsWith(text, "-")) text.remove_prefix(1);
  if (text.empty()) return false;
  for (const char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// The line read with the player's tag closing at `close` (the quote after its last '>').
std::optional<ChatEvent> ReadPlayerLine(std::string_view line, std::size_t close) {
  std::string_view tag = line.substr(1, close - 1);
  const std::optional<std::string_view> team = TakeGroup(tag);
  const std::optional<std::string_view> uniqueId = team ? TakeGroup(tag) : std::nullopt;
  const std::optional<std::string_view> userId = uniqueId ? TakeGroup(tag) : std::nullopt;
  if (!userId || !IsUserId(*userId)) return std::nullopt;
  const std::string_view rest = line.substr(close + 1);
  ChatEvent event;
  event.name = std::string(tag);
  if (rest == " entered the game") {
    event.kind = ChatKind::Entered;
  } else if (StartsWith(rest, " disconnected")) {
    event.kind = ChatKind::Left;
  } else {
    const bool team = StartsWith(rest, " say_team ");
    if (!team && !StartsWith(rest, " say ")) return std::nullopt;
    const std::optional<std::string_view> text = QuotedText(rest.substr(team ? 10 : 5));
    if (!text) return std::nullopt;
    event.kind = *uniqueId == "Console" ? ChatKind::ConsoleSay
                 : team                 ? ChatKind::SayTeam
                                        : ChatKind::Say;
    event.text = std::string(*text);
  }
  return event;
}

// Today's servers put 'R' before the line, or 'S' and the log secret, one word.
std::string_view WithoutTodaysMark(std::string_view datagram) {
  if (StartsWith(datagram, "RL ")) return datagram.substr(1);
  if (!StartsWith(datagram, "S")) return datagram;
  const std::size_t line = datagram.find("L ", 1);
  if (line == std::string_view::npos || line == 1 ||
      datagram.substr(1, line - 1).find_first_of(" \t") != std::string_view::npos)
    return datagram;
  return datagram.substr(line);
}

}  // namespace

std::optional<LogLine> ReadLogDatagram(std::string_view datagram) {
  if (StartsWith(datagram, Framing)) datagram.remove_prefix(Framing.size());
  datagram = datagram.substr(0, datagram.find('\0'));
  while (EndsWith(datagram, "\n") || EndsWith(datagram, "\r")) datagram.remove_suffix(1);
  if (StartsWith(datagram, "log ")) datagram.remove_prefix(4);
  datagram = WithoutTodaysMark(datagram);
  if (!StartsWith(datagram, "L ")) return std::nullopt;
  datagram.remove_prefix(2);
  if (!FitsShape(datagram, StampShape)) return std::nullopt;
  return LogLine{std::string(datagram.substr(13, 8)),
                 std::string(datagram.substr(StampShape.size()))};
}

ChatEvent ReadChatEvent(std::string_view line) {
  if (StartsWith(line, "Server say ")) {
    if (const std::optional<std::string_view> text = QuotedText(line.substr(11)))
      return ChatEvent{ChatKind::ConsoleSay, {}, std::string(*text)};
  }
  if (!StartsWith(line, "\"")) return ChatEvent{ChatKind::Other, {}, {}};
  for (std::size_t close = line.find(">\""); close != std::string_view::npos;
       close = line.find(">\"", close + 1))
    if (std::optional<ChatEvent> event = ReadPlayerLine(line, close + 1)) return *event;
  return ChatEvent{ChatKind::Other, {}, {}};
}
