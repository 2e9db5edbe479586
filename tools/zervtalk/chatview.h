#pragma once

#include <QString>

#include "chatlog.h"

// How a log line shows in the chat: "hh:mm:ss  " and what happened, names and texts as UTF-8
// when they are UTF-8, else Latin-1, control characters as blanks.
struct ChatEntry {
  QString text;
  bool chat = false;  // player or console chat, a player entering or leaving
};
ChatEntry ShowLogLine(const LogLine& line);
