#include "chatview.h"

#include "app/displaytext.h"

namespace {

// One line per entry: line breaks and other control characters a peer sends become blanks.
QString Shown(const std::string& bytes) {
  QString text = ToDisplay(bytes);
  for (QChar& c : text)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = u' ';
  return text;
}

}  // namespace

ChatEntry ShowLogLine(const LogLine& line) {
  const ChatEvent event = ReadChatEvent(line.text);
  const QString time = Shown(line.time) + "  ";
  const QString name = Shown(event.name);
  const QString said = Shown(event.text);
  switch (event.kind) {
    case ChatKind::Say:
      return {time + name + ": " + said, true};
    case ChatKind::SayTeam:
      return {time + "(team) " + name + ": " + said, true};
    case ChatKind::ConsoleSay:
      return {time + "[Console] " + said, true};
    case ChatKind::Entered:
      return {time + name + " entered the game", true};
    case ChatKind::Left:
      return {time + name + " left the game", true};
    case ChatKind::Other:
      break;
  }
  return {time + Shown(line.text), false};
}
