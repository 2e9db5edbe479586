#include "engine/reply_reading.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/a2s.h"
#include "protocol/datafuncs.h"
#include "protocol/rconsession.h"

namespace {

constexpr char KindDetails = 'm';
constexpr char KindInfo = 'I';
constexpr char KindPlayers = 'D';
constexpr char KindRules = 'E';
constexpr char UnreadablePrefix[] = "unreadable reply: ";

bool Answers(A2sQuery part, char kind) {
  switch (part) {
    case A2sQuery::Info:
      return kind == KindDetails || kind == KindInfo;
    case A2sQuery::Players:
      return kind == KindPlayers;
    case A2sQuery::Rules:
      return kind == KindRules;
  }
  return false;
}

// A kind byte as a reader can see it: the letter, or its code when it is none.
std::string KindName(char kind) {
  const auto code = static_cast<unsigned char>(kind);
  if (code > ' ' && code < 0x7F) return std::string("'") + kind + "'";
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", code);
  return text;
}

}  // namespace

std::string WhyUnreadable(A2sQuery part, std::string_view reply) {
  if (reply.size() <= ReplyKindOffset) return UnreadablePrefix + std::string("no kind byte");
  const char kind = ReplyKind(reply);
  if (!Answers(part, kind))
    return UnreadablePrefix + std::string("a reply of another kind came (") + KindName(kind) + ")";
  const std::string shortfall = kind == KindInfo ? A2sInfoShortfall(reply) : ReplyShortfall(reply);
  return shortfall.empty() ? shortfall : UnreadablePrefix + shortfall;
}

bool IsUsableChallenge(std::string_view challenge) {
  return !challenge.empty() && challenge.size() <= MaxChallengeBytes &&
         std::all_of(challenge.begin(), challenge.end(), [](char c) {
           const auto code = static_cast<unsigned char>(c);
           return code > ' ' && code < 0x7F;
         });
}

std::vector<std::string> ConsoleTextLines(std::string_view reply) {
  std::string_view text = reply.substr(std::min(reply.size(), ReplyKindOffset + 1));
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  return RconOutputLines(text);
}
