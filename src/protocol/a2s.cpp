#include "protocol/a2s.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "protocol/datafuncs.h"
#include "store/mytypes.h"

namespace {

constexpr char KindChallenge = 'A';
constexpr char KindInfo = 'I';
constexpr char KindOlderInfo = 'm';
constexpr std::size_t ChallengeSize = 4;
constexpr std::size_t FirstFieldOffset = ReplyKindOffset + 1;
constexpr std::size_t AppIdSize = 2;
constexpr std::size_t BotCountSize = 1;

const std::string Header(4, '\xFF');
const std::string FirstChallenge(ChallengeSize, '\xFF');

constexpr std::uint8_t Dedicated = 'd';
constexpr std::uint8_t Listen = 'l';
constexpr std::uint8_t Linux = 'l';
constexpr std::uint8_t Windows = 'w';

bool HasKind(std::string_view reply, char kind) {
  return reply.size() > ReplyKindOffset && reply[ReplyKindOffset] == kind;
}

// Reads the fields of an info reply one after another, never beyond its end.
struct InfoReader {
  std::string_view bytes;
  std::size_t pos = FirstFieldOffset;

  bool AtEnd() const { return pos >= bytes.size(); }

  bool Byte(std::uint8_t& field) {
    if (AtEnd()) return false;
    field = static_cast<std::uint8_t>(bytes[pos++]);
    return true;
  }

  bool Skip(std::size_t count) {
    if (bytes.size() - pos < count) return false;
    pos += count;
    return true;
  }

  // A zero-terminated text; without its zero byte it runs to the end of the reply.
  bool Text(std::string& field) {
    if (AtEnd()) return false;
    const std::size_t end = std::min(bytes.find('\0', pos), bytes.size());
    field.assign(bytes.substr(pos, end - pos));
    pos = std::min(end + 1, bytes.size());
    return true;
  }
};

void ReadInfo(InfoReader& reader, TDetailInfo& info) {
  if (!reader.Byte(info.Protocol)) return;
  for (std::string* text : {&info.ServerName, &info.MapName, &info.GameDir, &info.GameName})
    if (!reader.Text(*text)) return;
  if (!reader.Skip(AppIdSize)) return;
  if (!reader.Byte(info.PlayerCount) || !reader.Byte(info.MaxPlayers)) return;
  if (!reader.Skip(BotCountSize)) return;
  std::uint8_t serverType = 0;
  std::uint8_t environment = 0;
  if (!reader.Byte(serverType)) return;
  info.ServerType = serverType == Dedicated ? Dedicated : Listen;
  if (!reader.Byte(environment)) return;
  info.ServerOS = environment == Linux ? Linux : Windows;
  reader.Byte(info.HasPassword);
}

}  // namespace

std::optional<A2sQuery> A2sQueryFor(std::string_view command) {
  if (command == "details") return A2sQuery::Info;
  if (command == "players") return A2sQuery::Players;
  if (command == "rules") return A2sQuery::Rules;
  return std::nullopt;
}

std::string A2sRequest(A2sQuery query, std::string_view challenge) {
  switch (query) {
    case A2sQuery::Info:
      return Header + "TSource Engine Query" + '\0' + std::string(challenge);
    case A2sQuery::Players:
      return Header + 'U' + std::string(challenge.empty() ? FirstChallenge : challenge);
    case A2sQuery::Rules:
      return Header + 'V' + std::string(challenge.empty() ? FirstChallenge : challenge);
  }
  return {};
}

std::optional<std::string> A2sChallenge(std::string_view reply) {
  if (!HasKind(reply, KindChallenge) || reply.size() < FirstFieldOffset + ChallengeSize)
    return std::nullopt;
  return std::string(reply.substr(FirstFieldOffset, ChallengeSize));
}

bool IsInfoReply(std::string_view reply) {
  return HasKind(reply, KindInfo) || HasKind(reply, KindOlderInfo);
}

void ParseA2sInfo(std::string_view reply, TDetailInfo& info) {
  if (!HasKind(reply, KindInfo)) return;
  InfoReader reader{reply};
  TDetailInfo decoded;
  ReadInfo(reader, decoded);
  info = std::move(decoded);
}
