#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/a2s.h"
#include "protocol/splitreply.h"
#include "protocol/statuswatch.h"

// What one exchange takes as its reply, decided without a socket or a clock of its own: the
// caller feeds in the datagrams that arrived and the time, and sends, waits, keeps or hands on
// what this object says. The window's exchange and the command-line tools drive the same rules.
//
// Times are microseconds on any monotonic clock the caller chooses.
using Micros = std::int64_t;

// The parts of a console line "rcon CHALLENGE PASSWORD COMMAND", kept apart so that the line
// can be built again with a renewed challenge.
struct ConsoleLine {
  std::string challenge;
  std::string password;
  std::string command;
};

std::string ConsoleLineText(const ConsoleLine& line);

// Frames a command as a request datagram: four 0xFF bytes, the command, one zero byte.
std::string FrameRequest(std::string_view command);

// One request and how long its answer may take.
struct ExchangeRequest {
  // A text command, framed as it stands ("details", "challenge rcon", ...).
  std::string command;
  // Sent instead of `command`: a Steam-era query...
  std::optional<A2sQuery> a2s;
  // ...or a console line, renewed once when the server says its challenge expired.
  std::optional<ConsoleLine> console;
  // How long the reply may take; a renewal's two steps get as long again each.
  Micros timeout = 5'000'000;
  // The whole exchange, renewal included, never takes longer than this; 0 means three
  // time-outs, enough for a renewal's steps.
  Micros budget = 0;
  // How often a request that got no answer goes out again, and after how long. Console lines
  // never do: a lost reply is not a lost command, and a command must not run twice.
  int retries = 0;
  Micros retryInterval = 500'000;
};

// How the server answered a console line, recognised only when it is the whole console text,
// so that no command's output passes for a refusal.
enum class ConsoleAnswer { Other, WrongPassword, ChallengeExpired, Banned };
ConsoleAnswer AnswerOf(std::string_view reply);

// The texts of console replies that came in several datagrams, as one console-text reply.
// Each datagram's text runs from offset 5 to its end without its trailing zero bytes, so a
// line that a datagram cuts goes on in the next one. The joined text is framed as a reply that
// ends in a line feed (added when the text has none) and two zero bytes: ParseRconReply ends
// the last line at the third byte from the end, which is then that line feed, and no character
// is lost at a datagram's end.
std::string JoinConsoleReplies(const std::vector<std::string>& replies);

// What became of one datagram fed to the policy.
enum class Verdict {
  Reply,    // from the server, part of this exchange's reply (or of its challenge round trips)
  Hold,     // from the server, but for the next exchange: keep it (TakeHeld gives it)
  Drop,     // from the server, not wanted by anybody
  Foreign,  // from another address or port: ignored
  Excess,   // from the server beyond what one exchange takes: ignored
  Empty,    // a zero-byte datagram from the server
};

// How much of a datagram to write to the debug log.
enum class LogDetail {
  Nothing,
  Full,     // the receive line and the bytes in hex
  Brief,    // one line, no bytes
  Summary,  // the one line that stands for all datagrams ignored from here on
};

struct Intake {
  Verdict verdict = Verdict::Drop;
  LogDetail log = LogDetail::Nothing;
  // Whether the datagram counts towards the received bytes (fresh from the server and taken).
  bool counted = false;
  // It completed a compressed reply, and inflating that took time: the caller looks at the
  // clock (Advance) before it takes the next datagram.
  bool inflated = false;
};

class ReplyPolicy {
 public:
  enum class State { Waiting, Replied, TimedOut };

  // Per exchange: datagrams taken from the server, bytes of debug log, foreign datagrams
  // logged, console text joined, bytes kept for the next exchange.
  static constexpr std::size_t MaxDatagrams = 256;
  static constexpr std::size_t MaxLogBytes = std::size_t(1) << 20;
  static constexpr std::size_t MaxForeignLogged = 4;
  static constexpr std::size_t MaxConsoleText = std::size_t(1) << 20;
  static constexpr std::size_t MaxHeldBytes = std::size_t(1) << 20;
  // Console text of this many bytes or more may go on in a further datagram; so may a status
  // listing until its closing line has come, and then it ends at once (StatusListingWatch).
  static constexpr std::size_t LongConsoleReply = 1000;
  // How long a console reply that may go on waits for its next datagram: four round trips of
  // this exchange, within these bounds.
  static constexpr Micros MinConsoleQuiet = 20'000;
  static constexpr Micros MaxConsoleQuiet = 300'000;
  // A challenge reply to a Steam-era request is answered this often; further ones are dropped.
  static constexpr int MaxChallengeResends = 2;

  // The request is the first datagram that TakeOutgoing gives.
  ExchangeRequest request;

  ReplyPolicy(ExchangeRequest request, Micros now);

  // A datagram that arrived at `now`. `fromServer`: its source is the asked server. `held`: an
  // earlier exchange took it from the socket and kept it (it was counted and logged then).
  Intake Receive(std::string_view bytes, bool fromServer, Micros now, bool held = false);
  // The time is now `now`: ends a wait that is over, sends a retry that is due.
  void Advance(Micros now);

  State state() const { return state_; }
  // While waiting: when to call Advance at the latest, whatever arrives.
  Micros WakeAt() const;
  // No exchange goes on past this time.
  Micros HardDeadline() const { return hardDeadline_; }

  // Datagrams to send now, in order.
  std::vector<std::string> TakeOutgoing();
  // Whole replies that arrived for the next exchange, in order of arrival.
  std::vector<std::string> TakeHeld();
  // Lines for the debug log: refused split replies, dropped replies, a challenge renewal.
  std::vector<std::string> TakeNotes();

  // The reply once Replied: split pieces put together, console text joined.
  const std::string& Reply() const { return reply_; }
  // From the first request to the arrival of the reply's first datagram; none before.
  std::optional<Micros> RoundTrip() const { return roundTrip_; }
  // A new challenge that the renewal obtained; the caller stores it.
  const std::optional<std::string>& RenewedChallenge() const { return renewedChallenge_; }
  // Why the last split reply that was refused was refused; none when none was.
  const std::optional<SplitRefusal>& Refusal() const { return refusal_; }
  // More console text came than one exchange takes (MaxConsoleText, MaxDatagrams): the reply
  // holds it only up to there.
  bool ConsoleTextCut() const { return consoleTextCut_; }
  // Datagrams sent so far, the request included.
  int SentCount() const { return sent_; }
  // Bytes kept now: pieces of split replies, console text, datagrams held.
  std::size_t BytesKept() const;
  // Bytes that compressed replies claimed and were inflated, at most
  // SplitReassembler::MaxInflatedBytes.
  std::size_t BytesInflated() const { return pieces_.BytesInflated(); }

 private:
  enum class Phase { Awaiting, JoiningConsole, AwaitingChallenge };

  void Send(std::string datagram, Micros now);
  std::string CurrentRequest() const;
  void StartPhase(Phase phase, Micros now);
  void Note(std::string line);
  LogDetail LogFor(std::size_t size);
  bool TakesPieces() const;
  void TakePiece(std::string_view piece, Micros now, Intake& intake);
  Verdict TakeWhole(std::string reply, Micros now);
  Verdict Hold(std::string reply);
  Verdict JoinConsoleText(std::string reply, Micros now);
  Micros QuietTime() const;
  void FinishConsoleText(Micros now);
  void Complete(std::string reply, Micros now);
  Verdict TakeRenewalChallenge(std::string reply, Micros now);
  void GiveUpRenewal();
  bool RetryDue(Micros now) const;

  Phase phase_ = Phase::Awaiting;
  State state_ = State::Waiting;
  Micros start_ = 0;
  Micros phaseDeadline_ = 0;
  Micros hardDeadline_ = 0;
  Micros lastSend_ = 0;
  // From the last send to the first datagram after it: the pace of this server's replies.
  std::optional<Micros> sendRoundTrip_;
  Micros quietUntil_ = 0;
  bool answeredSinceSend_ = false;
  int retriesLeft_ = 0;
  int challengeResends_ = 0;
  std::string a2sChallenge_;
  bool renewed_ = false;
  std::string refusedAnswer_;
  int sent_ = 0;
  std::size_t taken_ = 0;
  std::size_t logBytes_ = 0;
  std::size_t foreign_ = 0;
  bool summaryLogged_ = false;
  std::optional<Micros> roundTrip_;
  SplitReassembler pieces_;
  std::vector<std::string> consoleParts_;
  std::size_t consoleBytes_ = 0;
  bool consoleTextCut_ = false;
  StatusListingWatch listing_;
  std::vector<std::string> outgoing_;
  std::vector<std::string> held_;
  std::size_t heldBytes_ = 0;
  std::vector<std::string> notes_;
  std::string reply_;
  std::optional<std::string> renewedChallenge_;
  std::optional<SplitRefusal> refusal_;
};
