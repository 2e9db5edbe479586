#include "protocol/replypolicy.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/datafuncs.h"

namespace {

constexpr char KindConsoleText = 'l';
constexpr char KindChallenge = 'c';
constexpr char ChallengeRequest[] = "challenge rcon";
// A hostile request could ask for any time; nothing waits longer than a day.
constexpr Micros LongestWait = 86'400'000'000;
// Retries never come faster than this, whatever the request says.
constexpr Micros ShortestRetryInterval = 1'000;
// A receive line of the debug log without its bytes, for the log's budget.
constexpr std::size_t ReceiveLineBytes = 64;
// A refusal is a line or two; longer console text is never one.
constexpr std::size_t LongestRefusal = 64;
// The text commands whose replies may come in pieces.
constexpr std::string_view QueryCommands[] = {"details", "players", "rules"};

// The text of a console-text reply: from offset 5 to its end, without trailing zero bytes.
std::string_view ConsoleText(std::string_view reply) {
  if (reply.size() <= ReplyKindOffset + 1) return {};
  std::string_view text = reply.substr(ReplyKindOffset + 1);
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  return text;
}

Micros Bounded(Micros wait) {
  return std::clamp<Micros>(wait, 0, LongestWait);
}

}  // namespace

std::string ConsoleLineText(const ConsoleLine& line) {
  return "rcon " + line.challenge + " " + line.password + " " + line.command;
}

std::string FrameRequest(std::string_view command) {
  std::string datagram(4, '\xFF');
  datagram.append(command);
  datagram.push_back('\0');
  return datagram;
}

ConsoleAnswer AnswerOf(std::string_view reply) {
  if (ReplyKind(reply) != KindConsoleText) return ConsoleAnswer::Other;
  std::vector<std::string_view> lines;
  std::string_view text = ConsoleText(reply);
  if (text.size() > LongestRefusal) return ConsoleAnswer::Other;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
  }
  const std::string_view wrongPassword = "Bad rcon_password.";
  if (lines == std::vector<std::string_view>{wrongPassword}) return ConsoleAnswer::WrongPassword;
  if (lines == std::vector<std::string_view>{wrongPassword, "Bad challenge."})
    return ConsoleAnswer::ChallengeExpired;
  if (lines == std::vector<std::string_view>{"You have been banned from this server."})
    return ConsoleAnswer::Banned;
  return ConsoleAnswer::Other;
}

std::string JoinConsoleReplies(const std::vector<std::string>& replies) {
  std::string joined(4, '\xFF');
  joined.push_back(KindConsoleText);
  for (const std::string& reply : replies) joined.append(ConsoleText(reply));
  if (joined.back() != '\n') joined.push_back('\n');
  joined.append(2, '\0');
  return joined;
}

ReplyPolicy::ReplyPolicy(ExchangeRequest exchangeRequest, Micros now)
    : request(std::move(exchangeRequest)), start_(now), pieces_(request.a2s.has_value()) {
  request.timeout = Bounded(request.timeout);
  const Micros budget = request.budget > 0 ? Bounded(request.budget) : 3 * request.timeout;
  hardDeadline_ = start_ + budget;
  retriesLeft_ = request.console ? 0 : std::max(0, request.retries);
  request.retryInterval = std::clamp(request.retryInterval, ShortestRetryInterval, LongestWait);
  StartPhase(Phase::Awaiting, now);
  Send(CurrentRequest(), now);
}

std::string ReplyPolicy::CurrentRequest() const {
  if (request.console) return FrameRequest(ConsoleLineText(*request.console));
  if (request.a2s) return A2sRequest(*request.a2s, a2sChallenge_);
  return FrameRequest(request.command);
}

void ReplyPolicy::Send(std::string datagram, Micros now) {
  outgoing_.push_back(std::move(datagram));
  ++sent_;
  lastSend_ = now;
  answeredSinceSend_ = false;
  sendRoundTrip_.reset();
}

void ReplyPolicy::StartPhase(Phase phase, Micros now) {
  phase_ = phase;
  phaseDeadline_ = std::min(now + request.timeout, hardDeadline_);
}

void ReplyPolicy::Note(std::string line) {
  if (notes_.size() < MaxDatagrams) notes_.push_back(std::move(line));
}

LogDetail ReplyPolicy::LogFor(std::size_t size) {
  const std::size_t full = ReceiveLineBytes + 3 * size;
  if (logBytes_ + full <= MaxLogBytes) {
    logBytes_ += full;
    return LogDetail::Full;
  }
  return LogDetail::Brief;
}

Intake ReplyPolicy::Receive(std::string_view bytes, bool fromServer, Micros now, bool held) {
  if (state_ != State::Waiting) return Intake{Verdict::Drop, LogDetail::Nothing, false};
  if (!fromServer) {
    const bool logged = foreign_ < MaxForeignLogged;
    ++foreign_;
    return Intake{Verdict::Foreign, logged ? LogDetail::Brief : LogDetail::Nothing, false};
  }
  // Held datagrams are whole replies, counted and logged by the exchange that took them.
  if (held) return Intake{TakeWhole(std::string(bytes), now), LogDetail::Nothing, false};
  if (bytes.empty()) return Intake{Verdict::Empty, LogDetail::Nothing, false};
  if (taken_ >= MaxDatagrams) {
    if (phase_ == Phase::JoiningConsole) consoleTextCut_ = true;
    const LogDetail log = summaryLogged_ ? LogDetail::Nothing : LogDetail::Summary;
    summaryLogged_ = true;
    return Intake{Verdict::Excess, log, false};
  }
  ++taken_;
  if (!sendRoundTrip_) sendRoundTrip_ = now - lastSend_;
  Intake intake{Verdict::Reply, LogFor(bytes.size()), true};
  if (IsSplitPiece(bytes))
    TakePiece(bytes, now, intake);
  else
    intake.verdict = TakeWhole(std::string(bytes), now);
  return intake;
}

// Only a query's reply comes in pieces; a console line or a challenge is never answered so, and
// pieces that come while its answer is awaited must cost no inflating.
bool ReplyPolicy::TakesPieces() const {
  if (phase_ != Phase::Awaiting || request.console) return false;
  return request.a2s || std::find(std::begin(QueryCommands), std::end(QueryCommands),
                                  request.command) != std::end(QueryCommands);
}

void ReplyPolicy::TakePiece(std::string_view piece, Micros now, Intake& intake) {
  if (!TakesPieces()) {
    Note("Teilstück ohne passende Anfrage verworfen");
    intake.verdict = Verdict::Drop;
    return;
  }
  const std::size_t inflatedBefore = pieces_.BytesInflated();
  SplitOutcome outcome = pieces_.Add(piece);
  intake.inflated = pieces_.BytesInflated() != inflatedBefore;
  switch (outcome.status) {
    case SplitOutcome::Status::Incomplete:
      break;
    case SplitOutcome::Status::Refused:
      refusal_ = outcome.refusal;
      Note("Geteilte Antwort verworfen: " + ReasonInGerman(outcome.refusal));
      intake.verdict = Verdict::Drop;
      break;
    case SplitOutcome::Status::Complete:
      intake.verdict = TakeWhole(std::move(outcome.reply), now);
      break;
  }
}

Verdict ReplyPolicy::TakeWhole(std::string reply, Micros now) {
  if (phase_ == Phase::AwaitingChallenge) return TakeRenewalChallenge(std::move(reply), now);
  if (phase_ == Phase::JoiningConsole) return JoinConsoleText(std::move(reply), now);
  if (request.a2s) {
    if (const std::optional<std::string> challenge = A2sChallenge(reply)) {
      answeredSinceSend_ = true;
      if (challengeResends_ >= MaxChallengeResends) return Verdict::Drop;
      ++challengeResends_;
      a2sChallenge_ = *challenge;
      Send(CurrentRequest(), now);
      return Verdict::Reply;
    }
    // Servers of the older engine answer the info request with two replies; the second must
    // not pass for the reply to the next request.
    if (*request.a2s != A2sQuery::Info && IsInfoReply(reply)) {
      Note("Nicht angefragte Info-Antwort verworfen");
      return Verdict::Drop;
    }
  }
  // A console line is never answered with a challenge: one that comes now is a copy of the
  // one the line was built with, and taking it would leave the line's answer to the next
  // exchange.
  if (request.console && ReplyKind(reply) == KindChallenge) {
    Note("Doppelte Challenge-Antwort verworfen");
    return Verdict::Drop;
  }
  answeredSinceSend_ = true;
  if (!roundTrip_) roundTrip_ = now - start_;
  if (ReplyKind(reply) == KindConsoleText) return JoinConsoleText(std::move(reply), now);
  Complete(std::move(reply), now);
  return Verdict::Reply;
}

Verdict ReplyPolicy::Hold(std::string reply) {
  if (heldBytes_ + reply.size() > MaxHeldBytes) return Verdict::Drop;
  heldBytes_ += reply.size();
  held_.push_back(std::move(reply));
  return Verdict::Hold;
}

// Console output may come in several datagrams, back to back; nothing marks the last one, but a
// status listing shows when it is whole.
Verdict ReplyPolicy::JoinConsoleText(std::string reply, Micros now) {
  if (ReplyKind(reply) != KindConsoleText) {
    const Verdict verdict = Hold(std::move(reply));
    FinishConsoleText(now);
    return verdict;
  }
  if (consoleBytes_ + reply.size() > MaxConsoleText) {
    consoleTextCut_ = true;
    FinishConsoleText(now);
    return Verdict::Drop;
  }
  const bool full = reply.size() >= LongConsoleReply;
  consoleBytes_ += reply.size();
  listing_.Feed(ConsoleText(reply));
  consoleParts_.push_back(std::move(reply));
  // A lone "Bad rcon_password." may be followed by "Bad challenge.": the challenge expired.
  const bool refusalMayGoOn =
      request.console && consoleBytes_ <= 2 * LongestRefusal &&
      AnswerOf(JoinConsoleReplies(consoleParts_)) == ConsoleAnswer::WrongPassword;
  const StatusListingWatch::State listing = listing_.state();
  const bool mayGoOn = full || refusalMayGoOn || listing == StatusListingWatch::State::Open;
  if (!mayGoOn || listing == StatusListingWatch::State::Whole) {
    FinishConsoleText(now);
    return Verdict::Reply;
  }
  phase_ = Phase::JoiningConsole;
  quietUntil_ = std::min(now + QuietTime(), phaseDeadline_);
  return Verdict::Reply;
}

Micros ReplyPolicy::QuietTime() const {
  return std::clamp<Micros>(4 * sendRoundTrip_.value_or(0), MinConsoleQuiet, MaxConsoleQuiet);
}

void ReplyPolicy::FinishConsoleText(Micros now) {
  std::string reply = consoleParts_.size() == 1 ? std::move(consoleParts_.front())
                                                : JoinConsoleReplies(consoleParts_);
  consoleParts_.clear();
  consoleBytes_ = 0;
  listing_ = StatusListingWatch();
  phase_ = Phase::Awaiting;
  Complete(std::move(reply), now);
}

void ReplyPolicy::Complete(std::string reply, Micros now) {
  // An expired challenge is renewed once; never for a plain "Bad rcon_password.": repeated
  // wrong passwords get the operator banned.
  if (request.console && !renewed_ && AnswerOf(reply) == ConsoleAnswer::ChallengeExpired) {
    renewed_ = true;
    refusedAnswer_ = std::move(reply);
    Note("Challenge abgelaufen, hole eine neue");
    StartPhase(Phase::AwaitingChallenge, now);
    Send(FrameRequest(ChallengeRequest), now);
    return;
  }
  reply_ = std::move(reply);
  state_ = State::Replied;
}

// The renewal waits for its challenge until its deadline; replies of other kinds that come
// first are kept for the next exchange.
Verdict ReplyPolicy::TakeRenewalChallenge(std::string reply, Micros now) {
  if (ReplyKind(reply) != KindChallenge) return Hold(std::move(reply));
  const std::string challenge = ExtractChallenge(reply);
  renewedChallenge_ = challenge;
  // The same answer again is all that an empty or unchanged challenge could bring.
  if (challenge.empty() || challenge == request.console->challenge) {
    GiveUpRenewal();
    return Verdict::Reply;
  }
  request.console->challenge = challenge;
  StartPhase(Phase::Awaiting, now);
  Send(CurrentRequest(), now);
  return Verdict::Reply;
}

void ReplyPolicy::GiveUpRenewal() {
  reply_ = std::move(refusedAnswer_);
  state_ = State::Replied;
}

void ReplyPolicy::Advance(Micros now) {
  if (state_ != State::Waiting) return;
  if (phase_ == Phase::JoiningConsole && now >= quietUntil_) {
    FinishConsoleText(now);
    return;
  }
  if (now >= phaseDeadline_) {
    // After a renewal began, the refusal that started it is the reply.
    if (renewed_)
      GiveUpRenewal();
    else
      state_ = State::TimedOut;
    return;
  }
  if (RetryDue(now)) {
    --retriesLeft_;
    Send(CurrentRequest(), now);
  }
}

bool ReplyPolicy::RetryDue(Micros now) const {
  return phase_ == Phase::Awaiting && retriesLeft_ > 0 && !answeredSinceSend_ &&
         now >= lastSend_ + request.retryInterval;
}

Micros ReplyPolicy::WakeAt() const {
  Micros wake = phaseDeadline_;
  if (phase_ == Phase::JoiningConsole) wake = std::min(wake, quietUntil_);
  if (phase_ == Phase::Awaiting && retriesLeft_ > 0 && !answeredSinceSend_)
    wake = std::min(wake, lastSend_ + request.retryInterval);
  return wake;
}

std::vector<std::string> ReplyPolicy::TakeOutgoing() {
  return std::exchange(outgoing_, {});
}

std::vector<std::string> ReplyPolicy::TakeHeld() {
  heldBytes_ = 0;
  return std::exchange(held_, {});
}

std::vector<std::string> ReplyPolicy::TakeNotes() {
  return std::exchange(notes_, {});
}

std::size_t ReplyPolicy::BytesKept() const {
  return pieces_.BytesStored() + consoleBytes_ + heldBytes_ + refusedAnswer_.size();
}
