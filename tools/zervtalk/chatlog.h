#pragma once

#include <optional>
#include <string>
#include <string_view>

// One line of a game server's log as it arrives on the log port: "log L MM/DD/YYYY - hh:mm:ss: "
// and the line, framed by four 0xFF bytes or not, ending in a line feed and a zero byte. Today's
// servers send "RL ..." instead of "log L ...", or "S", their log secret and "L ...".
struct LogLine {
  std::string time;  // "hh:mm:ss"
  std::string text;  // after the time stamp, without the line's end
};
// Nothing for a datagram that is not a log line.
std::optional<LogLine> ReadLogDatagram(std::string_view datagram);

// What a log line tells about the chat.
enum class ChatKind {
  Say,         // a player to everyone
  SayTeam,     // a player to the team
  ConsoleSay,  // the server's console
  Entered,     // a player entered the game
  Left,        // a player disconnected
  Other,
};

struct ChatEvent {
  ChatKind kind = ChatKind::Other;
  std::string name;  // the player's name, for every kind but ConsoleSay and Other
  std::string text;  // what was said
};

// A player appears as "Name<userid><uniqueid><team>"; the name may hold any character, so the
// first reading that makes a known line wins.
ChatEvent ReadChatEvent(std::string_view line);
