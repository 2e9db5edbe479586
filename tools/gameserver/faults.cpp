#include "faults.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <sstream>

namespace {

struct FaultSyntax {
  const char* name;
  FaultKind kind;
  bool takesNumber;
  const char* arguments;
  const char* meaning;
};

constexpr std::array<FaultSyntax, 18> Syntax = {{
    {"ignore", FaultKind::Ignore, false, "targets", "no reply."},
    {"stop-after", FaultKind::StopAfter, true, "N [targets]",
     "replies to the first N requests only."},
    {"answer-after", FaultKind::AnswerAfter, true, "N [targets]",
     "no reply to the first N requests."},
    {"delay", FaultKind::Delay, true, "MS [targets]",
     "reply after MS milliseconds (late when past the client's time-out)."},
    {"twice", FaultKind::Twice, false, "targets", "reply sent two times."},
    {"truncate", FaultKind::Truncate, true, "BYTES [targets]", "reply cut after BYTES bytes."},
    {"garbage", FaultKind::Garbage, false, "targets", "random bytes after the reply's kind byte."},
    {"other-port", FaultKind::OtherPort, false, "targets", "reply sent from another port."},
    {"expire-challenge", FaultKind::ExpireChallenge, true, "N [targets]",
     "the first N requests that bring a challenge find it expired."},
    {"drop-piece", FaultKind::DropPiece, true, "N [targets]",
     "the Nth datagram of an answer (piece, console reply, 'm' or 'I') is not sent."},
    {"duplicate-piece", FaultKind::DuplicatePiece, true, "N [targets]",
     "the Nth datagram of an answer is sent twice."},
    {"reverse-pieces", FaultKind::ReversePieces, false, "targets",
     "the datagrams of an answer are sent last one first."},
    {"no-marker", FaultKind::NoMarker, false, "targets",
     "TCP console: the empty packet after a command is not answered."},
    {"endless-output", FaultKind::EndlessOutput, false, "targets",
     "TCP console: the output never ends."},
    {"trickle", FaultKind::Trickle, true, "MS [targets]",
     "TCP console: from this answer on, one byte every MS milliseconds."},
    {"wrong-id", FaultKind::WrongId, false, "targets",
     "TCP console: the output comes under another id than the command's."},
    {"absurd-size", FaultKind::AbsurdSize, false, "targets",
     "TCP console: the output's packet gives a size of about 2 GB."},
    {"close-after-auth", FaultKind::CloseAfterAuth, false, "targets",
     "TCP console: the connection closes right after the answer to the password (target auth)."},
}};

bool IsRequestKey(const std::string& key) {
  return key == "details" || key == "players" || key == "rules" || key == "challenge" ||
         key == "rcon" || key == "auth" || (key.rfind("rcon:", 0) == 0 && key.size() > 5);
}

std::optional<std::vector<std::string>> ParseTargets(const std::string& list, std::string& error) {
  if (list == "all") return std::vector<std::string>();
  std::vector<std::string> targets;
  std::istringstream in(list);
  for (std::string key; std::getline(in, key, ',');) {
    if (!IsRequestKey(key)) {
      error = "unknown request \"" + key + "\"";
      return std::nullopt;
    }
    targets.push_back(key);
  }
  return targets;
}

bool Applies(const FaultRule& rule, const std::vector<std::string>& requestKeys) {
  if (rule.targets.empty()) return true;
  return std::any_of(rule.targets.begin(), rule.targets.end(), [&](const std::string& target) {
    return std::find(requestKeys.begin(), requestKeys.end(), target) != requestKeys.end();
  });
}

}  // namespace

const std::vector<FaultHelp>& FaultDirectives() {
  static const std::vector<FaultHelp> directives = [] {
    std::vector<FaultHelp> result;
    for (const FaultSyntax& syntax : Syntax)
      result.push_back({syntax.name, syntax.arguments, syntax.meaning});
    return result;
  }();
  return directives;
}

std::optional<FaultRule> ParseFaultDirective(const std::string& line, std::string& error) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  const auto syntax = std::find_if(Syntax.begin(), Syntax.end(), [&](const FaultSyntax& s) {
    return !words.empty() && words[0] == s.name;
  });
  if (syntax == Syntax.end()) {
    error = "unknown fault \"" + (words.empty() ? std::string() : words[0]) + "\"";
    return std::nullopt;
  }
  FaultRule rule;
  rule.kind = syntax->kind;
  std::size_t next = 1;
  if (syntax->takesNumber) {
    const std::string number = words.size() > 1 ? words[1] : std::string();
    const auto [end, failure] =
        std::from_chars(number.data(), number.data() + number.size(), rule.value);
    if (number.empty() || failure != std::errc() || end != number.data() + number.size() ||
        rule.value < 0) {
      error = "\"" + words[0] + "\" needs a number of 0 or more";
      return std::nullopt;
    }
    next = 2;
  }
  if (words.size() > next + 1) {
    error = "too many words in \"" + line + "\"";
    return std::nullopt;
  }
  if (words.size() == next + 1) {
    std::optional<std::vector<std::string>> targets = ParseTargets(words[next], error);
    if (!targets) return std::nullopt;
    rule.targets = std::move(*targets);
  }
  return rule;
}

std::optional<std::vector<FaultRule>> ParseScenario(const std::string& text, std::string& error) {
  std::vector<FaultRule> rules;
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    const std::size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    std::optional<FaultRule> rule = ParseFaultDirective(line, error);
    if (!rule) {
      error = "line " + std::to_string(number) + ": " + error;
      return std::nullopt;
    }
    rules.push_back(std::move(*rule));
  }
  return rules;
}

ReplyPlan PlanReply(std::vector<FaultRule>& rules, const std::vector<std::string>& requestKeys,
                    bool bringsChallenge) {
  ReplyPlan plan;
  for (FaultRule& rule : rules) {
    if (!Applies(rule, requestKeys)) continue;
    if (rule.kind == FaultKind::ExpireChallenge && !bringsChallenge) continue;
    ++rule.matched;
    switch (rule.kind) {
      case FaultKind::Ignore:
        plan.send = false;
        break;
      case FaultKind::StopAfter:
        if (rule.matched > rule.value) plan.send = false;
        break;
      case FaultKind::AnswerAfter:
        if (rule.matched <= rule.value) plan.send = false;
        break;
      case FaultKind::Delay:
        plan.delayMs = std::max(plan.delayMs, rule.value);
        break;
      case FaultKind::Twice:
        plan.copies = 2;
        break;
      case FaultKind::Truncate:
        plan.truncateAt = plan.truncateAt < 0 ? rule.value : std::min(plan.truncateAt, rule.value);
        break;
      case FaultKind::Garbage:
        plan.garbage = true;
        break;
      case FaultKind::OtherPort:
        plan.otherPort = true;
        break;
      case FaultKind::ExpireChallenge:
        if (rule.matched <= rule.value) plan.expireChallenge = true;
        break;
      case FaultKind::DropPiece:
        plan.dropPieces.push_back(rule.value);
        break;
      case FaultKind::DuplicatePiece:
        plan.duplicatePieces.push_back(rule.value);
        break;
      case FaultKind::ReversePieces:
        plan.reversePieces = true;
        break;
      case FaultKind::NoMarker:
        plan.noMarker = true;
        break;
      case FaultKind::EndlessOutput:
        plan.endlessOutput = true;
        break;
      case FaultKind::Trickle:
        plan.trickleMs = std::max(plan.trickleMs, std::max(rule.value, 1));
        break;
      case FaultKind::WrongId:
        plan.wrongId = true;
        break;
      case FaultKind::AbsurdSize:
        plan.absurdSize = true;
        break;
      case FaultKind::CloseAfterAuth:
        plan.closeAfterAuth = true;
        break;
    }
  }
  return plan;
}

std::vector<std::string> ArrangePieces(const std::vector<std::string>& datagrams,
                                       const ReplyPlan& plan) {
  const auto listed = [](const std::vector<int>& numbers, std::size_t index) {
    return std::find(numbers.begin(), numbers.end(), int(index) + 1) != numbers.end();
  };
  std::vector<std::string> sent;
  for (std::size_t i = 0; i < datagrams.size(); ++i) {
    if (listed(plan.dropPieces, i)) continue;
    sent.push_back(datagrams[i]);
    if (listed(plan.duplicatePieces, i)) sent.push_back(datagrams[i]);
  }
  if (plan.reversePieces) std::reverse(sent.begin(), sent.end());
  return sent;
}
