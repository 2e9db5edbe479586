#include "probe_verdict.h"

#include <optional>
#include <string>

#include "engine/server_query.h"
#include "engine/settings.h"

namespace {

const char* ReasonOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::Answered:
      return "";
    case Outcome::TimedOut:
      return "timeout";
    case Outcome::PortRefused:
    case Outcome::SendFailed:
    case Outcome::BadAddress:
      return "refused";
    case Outcome::ConsoleRefused:
      return "console-refused";
    case Outcome::Unreadable:
      return "unreadable";
  }
  return "unreadable";
}

// The problem of `part`; a server that could not be asked at all has it for every part.
const Problem* ProblemOf(const ServerReport& report, const std::string& part) {
  for (const Problem& problem : report.problems)
    if (problem.part == part || problem.part.empty()) return &problem;
  return nullptr;
}

void Fail(ProbeVerdict& verdict, Outcome outcome, const std::string& detail) {
  verdict.reason = ReasonOf(outcome);
  verdict.detail = detail;
}

}  // namespace

ProbeVerdict JudgeProbe(const ProbeResult& probe) {
  ProbeVerdict verdict;
  const ServerReport& report = probe.report;
  if (const Problem* details = ProblemOf(report, "details")) {
    Fail(verdict, details->outcome, "details: " + details->reason);
    return verdict;
  }
  verdict.up = report.details.has_value();
  if (!verdict.up) {
    Fail(verdict, Outcome::Unreadable, "no details");
    return verdict;
  }
  if (const Problem* players = ProblemOf(report, "players")) {
    Fail(verdict, players->outcome, "players: " + players->reason);
    return verdict;
  }
  verdict.playersRead = report.players.has_value();
  const std::optional<ConsoleResult>& console = probe.console;
  if (console && console->outcome != Outcome::Answered)
    Fail(verdict, console->outcome,
         "console: " + (console->error.empty() ? "no time was left to ask it" : console->error));
  return verdict;
}
