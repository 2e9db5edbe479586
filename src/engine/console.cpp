#include "engine/console.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/console_choice.h"
#include "engine/exchange_driver.h"
#include "engine/micros.h"
#include "engine/query_protocol.h"
#include "engine/reply_reading.h"
#include "engine/tcp_connection.h"
#include "engine/tcp_console.h"
#include "engine/udp_socket.h"
#include "protocol/datafuncs.h"
#include "protocol/rconsession.h"
#include "protocol/replypolicy.h"

namespace {

constexpr char ChallengeKind = 'c';
constexpr char ConsoleTextKind = 'l';
// A request is never given less than this, so one that starts at the deadline still goes out.
constexpr Micros ShortestWait = 1000;

// The request's time-out and its whole exchange end at `deadline`.
void Bound(ExchangeRequest& request, Micros deadline) {
  request.timeout = request.budget = std::max(deadline - NowMicros(), ShortestWait);
}

// Why a console answer refuses the line; empty when it does not.
std::string RefusalOf(const std::string& reply) {
  switch (AnswerOf(reply)) {
    case ConsoleAnswer::WrongPassword:
      return "console refused: wrong password (\"Bad rcon_password.\")";
    case ConsoleAnswer::Banned:
      return "console refused: this address is banned from the server's console";
    case ConsoleAnswer::ChallengeExpired:
      return "console refused: the challenge expired, and a new one did not help";
    case ConsoleAnswer::Other:
      break;
  }
  return {};
}

// Stores the console answer as sent; a refusal makes the outcome.
void TakeAnswer(const std::string& reply, ConsoleReport& report) {
  if (ReplyKind(reply) == ConsoleTextKind) report.lines = ConsoleTextLines(reply);
  report.error = RefusalOf(reply);
  report.outcome = report.error.empty() ? Outcome::Answered : Outcome::ConsoleRefused;
}

void TakeFailure(const Exchange& exchange, const char* what, ConsoleReport& report) {
  const Failure failure = FailureOf(exchange);
  report.outcome = failure.outcome;
  report.error = std::string(what) + ": " + failure.reason;
}

void TakeTcpResult(RconResult result, ConsoleReport& report) {
  if (result.roundTrip) report.roundTripMs = double(*result.roundTrip) / 1000;
  switch (result.end) {
    case RconEnd::Complete:
    case RconEnd::Quiet:
      report.lines = RconOutputLines(result.output);
      report.outcome = Outcome::Answered;
      return;
    case RconEnd::Truncated:
      report.lines = RconOutputLines(result.output);
      report.truncated = true;
      report.outcome = Outcome::Unreadable;
      report.error = "console output cut: more came than one command's output may hold (" +
                     std::to_string(RconSession::MaxOutput >> 20) + " MiB)";
      return;
    case RconEnd::WrongPassword:
      TakeAnswer(JoinConsoleReplies({std::string("\xFF\xFF\xFF\xFFl") + RconWrongPasswordText}),
                 report);
      return;
    case RconEnd::BrokenPeer:
      report.outcome = Outcome::Unreadable;
      report.error = "the TCP console sent a packet of an impossible size";
      return;
    case RconEnd::ConnectFailed:
      report.outcome = Outcome::PortRefused;
      report.error = "no TCP console: the connection was refused";
      return;
    case RconEnd::ConnectionLost:
      report.error = "no console reply: the server closed the TCP connection";
      break;
    case RconEnd::NotSent:
      report.outcome = Outcome::BadAddress;
      report.error =
          "the command or the password is too long for the TCP console, or holds a "
          "zero byte";
      return;
    case RconEnd::TimedOut:
      report.error = "no console reply within the time-out";
      break;
  }
  report.outcome = Outcome::TimedOut;
}

ConsoleReport RunOverTcp(TcpConsole& console, const std::string& command, ConsoleReport report) {
  report.console = ConsoleKind::Tcp;
  TakeTcpResult(console.Run(command), report);
  return report;
}

}  // namespace

ConsoleReport RunConsoleCommand(const ServerAddress& address, const std::string& password,
                                const std::string& command, const QuerySettings& settings,
                                ConsoleChoice choice) {
  ConsoleReport report;
  report.address = address;
  if (IsBroadcastOrMulticast(address)) {
    report.outcome = Outcome::BadAddress;
    report.error = "no console password goes to a broadcast, multicast or unspecified address";
    return report;
  }
  const Micros start = NowMicros();
  const Micros deadline = start + MicrosOf(settings.timeout);
  if (choice == ConsoleChoice::Tcp) {
    TcpConsole console(address, password, deadline - start);
    return RunOverTcp(console, command, report);
  }
  UdpSocket socket(address.Family());

  ExchangeRequest challengeRequest;
  challengeRequest.command = "challenge rcon";
  challengeRequest.retries = settings.retries;
  challengeRequest.retryInterval = MicrosOf(settings.interval);
  Bound(challengeRequest, deadline);
  std::string challengeReply;
  std::vector<std::string> held;
  if (choice == ConsoleChoice::Udp) {
    ExchangeDriver driver;
    driver.Observe(settings.observer);
    Exchange& challenge = driver[driver.Start(socket, address, challengeRequest)];
    driver.Run();
    if (challenge.policy.state() != ReplyPolicy::State::Replied) {
      TakeFailure(challenge, "no console challenge", report);
      return report;
    }
    challengeReply = challenge.policy.Reply();
    held = challenge.policy.TakeHeld();
  } else {
    ConsoleFound found = RaceConsoles(socket, address, challengeRequest, deadline);
    if (found.state == ConsoleRace::State::Tcp) {
      TcpConsole console(address, password, std::max(deadline - NowMicros(), ShortestWait));
      console.Adopt(std::move(found.connection));
      return RunOverTcp(console, command, report);
    }
    if (found.state != ConsoleRace::State::Udp) {
      report.outcome = found.outcome;
      report.error = found.failure;
      return report;
    }
    challengeReply = std::move(found.challengeReply);
    held = std::move(found.held);
  }
  report.console = ConsoleKind::Udp;
  if (ReplyKind(challengeReply) != ChallengeKind) {
    // A banned address gets its refusal to the challenge request already.
    TakeAnswer(challengeReply, report);
    if (report.outcome == Outcome::Answered) {
      report.outcome = Outcome::Unreadable;
      report.error = "unreadable reply: the reply to \"challenge rcon\" was no console challenge";
    }
    return report;
  }
  report.challengeAnswered = true;
  const std::string challengeText = ExtractChallenge(challengeReply);
  if (!IsUsableChallenge(challengeText)) {
    report.outcome = Outcome::Unreadable;
    report.error = challengeText.empty()
                       ? "unreadable reply: the console challenge reply held no challenge"
                       : "unreadable reply: the console challenge is not one word of at most " +
                             std::to_string(MaxChallengeBytes) + " printable characters";
    return report;
  }

  // Console lines are never sent twice: the policy does not resend them.
  ExchangeRequest lineRequest;
  lineRequest.console = ConsoleLine{challengeText, password, command};
  Bound(lineRequest, deadline);
  const Micros lineStart = NowMicros();
  ExchangeDriver driver;
  driver.Observe(settings.observer);
  Exchange& line = driver[driver.Start(socket, address, lineRequest, held)];
  driver.Run();
  if (line.policy.state() != ReplyPolicy::State::Replied) {
    TakeFailure(line, "no console reply", report);
    return report;
  }
  report.roundTripMs = double(lineStart - start + line.policy.RoundTrip().value_or(0)) / 1000;
  TakeAnswer(line.policy.Reply(), report);
  if (!report.lines) {
    report.outcome = Outcome::Unreadable;
    report.error = "unreadable reply: the reply to the console line was no console text";
  } else if (line.policy.ConsoleTextCut()) {
    report.truncated = true;
    report.outcome = Outcome::Unreadable;
    report.error = "console output cut: more came than one command's output may hold (" +
                   std::to_string(ReplyPolicy::MaxConsoleText >> 20) + " MiB in " +
                   std::to_string(ReplyPolicy::MaxDatagrams) + " datagrams)";
  }
  return report;
}
