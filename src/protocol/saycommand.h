#pragma once

#include <string>
#include <string_view>
#include <vector>

// Chat text is text, never a command: consoles of this family split what they are sent into
// commands at ';' and at line ends, so a chat line sent raw could run any command. Each line of
// a typed or pasted text becomes one "say" with the text in double quotes, its own double quotes
// turned into single ones, and ';' and zero bytes left out. Lines that hold nothing to say are
// left out.
struct SayLine {
  std::string text;     // the line as given, without its line break
  std::string command;  // say "..."
};

std::vector<SayLine> SayCommands(std::string_view text);
