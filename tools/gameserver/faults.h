#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Misbehaviour on demand. A directive reads "<fault> [number] [targets]": targets is a comma list
// of request keys ("details", "players", "rules" in either protocol, "challenge", "rcon" for every
// console line, "rcon:<command>" for one console command such as "rcon:status") or "all"; without
// targets the fault hits every request.
enum class FaultKind {
  Ignore,       // no reply
  StopAfter,    // replies to the first N requests only
  AnswerAfter,  // no reply to the first N requests
  Delay,        // reply after N ms; past the client's time-out it is a late reply
  Twice,        // reply sent two times
  Truncate,     // reply cut after N bytes
  Garbage,      // reply header kept, the rest random bytes
  OtherPort,    // reply sent from a second socket
  // The challenge that the first N requests bringing one (console lines, Steam-era requests that
  // the server checks) present has expired.
  ExpireChallenge,
  // The datagrams of one answer (pieces of a split reply, console replies, 'm' and 'I'):
  DropPiece,       // the Nth (from 1) not sent
  DuplicatePiece,  // the Nth sent twice
  ReversePieces,   // sent last one first
  // The TCP console:
  NoMarker,        // the marker after a command is not answered
  EndlessOutput,   // the output goes on and on
  Trickle,         // everything from then on goes out one byte every N ms
  WrongId,         // the output comes under another id than the command's
  AbsurdSize,      // the output is a packet whose size field is far beyond any packet
  CloseAfterAuth,  // the connection is closed right after the answer to the password
};

struct FaultRule {
  FaultKind kind = FaultKind::Ignore;
  int value = 0;                     // ms, bytes or a request count
  std::vector<std::string> targets;  // empty = every request
  std::int64_t matched = 0;          // requests seen that the rule applies to
};

// What to do with the reply to one request.
struct ReplyPlan {
  bool send = true;
  int delayMs = 0;
  int copies = 1;
  int truncateAt = -1;  // -1 = whole reply
  bool garbage = false;
  bool otherPort = false;
  bool expireChallenge = false;
  std::vector<int> dropPieces;  // numbers from 1
  std::vector<int> duplicatePieces;
  bool reversePieces = false;
  bool noMarker = false;
  bool endlessOutput = false;
  int trickleMs = 0;  // 0 = at once
  bool wrongId = false;
  bool absurdSize = false;
  bool closeAfterAuth = false;
};

struct FaultHelp {
  std::string name;  // as used in scenario files and as a command line option
  std::string arguments;
  std::string meaning;
};
const std::vector<FaultHelp>& FaultDirectives();

std::optional<FaultRule> ParseFaultDirective(const std::string& line, std::string& error);
// One directive per line; blank lines and lines starting with '#' are skipped.
std::optional<std::vector<FaultRule>> ParseScenario(const std::string& text, std::string& error);

// Counts the request against the rules that apply to it and combines their effects.
ReplyPlan PlanReply(std::vector<FaultRule>& rules, const std::vector<std::string>& requestKeys,
                    bool bringsChallenge);

// The datagrams of one answer as the plan's piece faults send them.
std::vector<std::string> ArrangePieces(const std::vector<std::string>& datagrams,
                                       const ReplyPlan& plan);
