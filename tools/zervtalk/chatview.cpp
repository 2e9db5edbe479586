#include "chatview.h"

#include <QCoreApplication>

#include "app/displaytext.h"

namespace {

QString Text(const char* source) {
  return QCoreApplication::translate("ChatView", source);
}

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
      return {time + Text(QT_TRANSLATE_NOOP("ChatView", "(team) %1: %2")).arg(name, said), true};
    case ChatKind::ConsoleSay:
      return {time + Text(QT_TRANSLATE_NOOP("ChatView", "[Console] %1")).arg(said), true};
    case ChatKind::Entered:
      return {time + Text(QT_TRANSLATE_NOOP("ChatView", "%1 entered the game")).arg(name), true};
    case ChatKind::Left:
      return {time + Text(QT_TRANSLATE_NOOP("ChatView", "%1 left the game")).arg(name), true};
    case ChatKind::Other:
      break;
  }
  return {time + Shown(line.text), false};
}
