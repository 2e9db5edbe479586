#pragma once

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/mytypes.h"

// Receives one line of the debug log; an empty callback means no log lines.
using LogCallback = std::function<void(const std::string&)>;

// The state of the current server, one instance for the whole run.
struct TCurrentServer {
  std::string HostIP;
  std::int32_t Port = 0;
  bool ServerSelected = false;
  bool RconEnabled = false;
  std::string RconPassword;
  std::string Challenge;
  std::int32_t BytesSent = 0;
  std::int32_t BytesReceived = 0;
  LogCallback Log;
};

// What an exchange shows the operator. The window implements it with the wait dialog, the
// "TIMEOUT" sound and a message box; headless tools use quiet stand-ins.
class ExchangeUi {
 public:
  virtual ~ExchangeUi() = default;
  // The returned handle closes exactly the dialog it opened when it is released.
  virtual std::shared_ptr<void> OpenWaitDialog() = 0;
  virtual void PlayTimeoutSound() = 0;
  // Modal "Ziel nicht erreichbar!"; returns when the operator has closed it.
  virtual void ShowTimeoutDialog() = 0;
  virtual void UpdateByteCounter() = 0;
};

// Where HandleReply delivers decoded replies: the views and the console of the window.
class ReplyTarget {
 public:
  virtual ~ReplyTarget() = default;
  virtual void ShowDetails(const TDetailInfo& info) = 0;
  virtual void ShowPlayers(const TPlayerList& list) = 0;
  virtual void ShowRules(const TRuleList& list) = 0;
  // Appends one line to the console memo.
  virtual void AppendConsoleLine(const std::string& line) = 0;
  // The text of the console command edit.
  virtual std::string RconCommandText() = 0;
};

struct Datagram {
  std::string Bytes;
  std::string SourceAddress;
  std::uint16_t SourcePort = 0;
};

// Which query requests "details", "players" and "rules" go out as: the text commands of the
// older servers, or the Steam-era requests of today's servers. Console lines are the same in both.
enum class QueryProtocol { Classic, Steam };

// Frames a command as a request datagram: four 0xFF bytes, the command, one zero byte.
std::string FrameRequest(const std::string& command);
// Every byte as two upper-case hex digits followed by one blank.
std::string HexLine(const std::string& bytes);

// The window's one UDP client and the exchanges that run over it.
//
// An exchange waits for its reply in a nested event loop, so painting, input and timers go on
// meanwhile. Re-entry: while one exchange waits for its reply (or its time-out dialog is open),
// a further exchange is refused: it sends nothing, shows nothing and returns no reply, so no
// exchange ever takes another's reply. Event handlers check IsBusy() and skip their work
// instead. The challenge follow-up is not affected: it starts from the dispatch of a reply,
// after the receive of the outer exchange has finished.
//
// What one exchange takes as its reply, all within its time-out and from the asked server only:
// - the pieces of a split reply, put together (SplitReassembler); a piece still missing at the
//   time-out means no reply;
// - Steam protocol: a challenge reply ('A') to an info, players or rules request makes the same
//   request go out again with that challenge, at most twice;
// - Steam protocol: an info reply ('m' or 'I') to any other request is dropped. Servers of the
//   older engine answer the Steam info request with both kinds; the first is the reply, and the
//   second, left on the socket, must not pass for the reply to the next request;
// - console text ('l') of 1,000 bytes or more, and a lone "Bad rcon_password.", may go on in
//   further datagrams: more console text is taken until ConsoleQuietTime passes without any,
//   and the texts are joined into one reply (JoinConsoleReplies). Shorter text ends the wait at
//   once. A datagram of another kind arriving then is kept for the next exchange;
// - a console line answered with "Bad rcon_password." and then "Bad challenge." was sent with
//   an expired challenge: a new one is fetched ("challenge rcon", stored in Challenge) and the
//   line goes out once more with it (not when the new one is empty or the same); that answer
//   is the reply. Once only, and never for a plain "Bad rcon_password.": repeated wrong
//   passwords get the operator banned. The refusals are recognised only as the whole console
//   text, so no command's output passes for one. Whatever is not retried ("Bad rcon_password.",
//   "You have been banned from this server.") is the reply and shown like any console text.
// Every datagram is counted and logged; the lines of the wait are written once the wait dialog
// has closed.
class UdpExchange : public QObject {
  Q_OBJECT

 public:
  UdpExchange(TCurrentServer& server, ExchangeUi& ui, ReplyTarget& target,
              QObject* parent = nullptr);
  ~UdpExchange() override;

  // Largest datagram taken with the Classic protocol; a longer one is cut to this size.
  static constexpr int BufferSize = 8192;
  // Largest datagram taken with the Steam protocol.
  static constexpr int SteamBufferSize = 65536;
  // Console text of this many bytes or more may go on in a further datagram.
  static constexpr int LongConsoleReply = 1000;
  // How long a console reply that may go on waits for its next datagram.
  static constexpr int ConsoleQuietTime = 300;

  bool QueryServer(const std::string& host, std::int32_t port, const std::string& command,
                   const LogCallback& log, bool display);
  bool QueryServerEx(const std::string& host, std::int32_t port, const std::string& command,
                     const LogCallback& log, bool display, bool waitDialog);
  // A quiet exchange: send, optional wait dialog, the reply taken as above, counting. No log
  // lines, no time-out sound or dialog, no dispatch. No value on time-out.
  std::optional<Datagram> QueryQuiet(const std::string& host, std::int32_t port,
                                     const std::string& command, bool waitDialog);
  // Dispatches a reply by its kind byte to the views and the console.
  void HandleReply(const Datagram& reply, const LogCallback& log, bool display);

  int ReceiveTimeout() const { return receiveTimeout_; }
  void SetReceiveTimeout(int milliseconds) { receiveTimeout_ = milliseconds; }
  // Classic at start; a change applies from the next exchange on.
  QueryProtocol Protocol() const { return protocol_; }
  void SetProtocol(QueryProtocol protocol) { protocol_ = protocol; }
  bool IsBusy() const { return busy_; }

 private:
  struct Run;
  struct Taken;

  QHostAddress Resolve(const std::string& host) const;
  std::optional<Datagram> Exchange(Run& run, bool waitDialog);
  void SendRequest(Run& run, const std::string& datagram);
  std::optional<Taken> NextDatagram(Run& run, const QDeadlineTimer& deadline);
  std::optional<Datagram> NextReply(Run& run, const QDeadlineTimer& deadline);
  std::optional<Datagram> AwaitReply(Run& run);
  Datagram CompleteConsoleText(Run& run, Datagram reply);
  std::optional<Datagram> RetryWithNewChallenge(Run& run);
  bool AcceptsSource(const QHostAddress& expected, std::uint16_t port, const QHostAddress& source,
                     std::uint16_t sourcePort) const;
  void ChallengeAction(const Datagram& reply, const LogCallback& log, bool display);

  TCurrentServer& server_;
  ExchangeUi& ui_;
  ReplyTarget& target_;
  QUdpSocket socket_;
  int receiveTimeout_ = 5000;
  QueryProtocol protocol_ = QueryProtocol::Classic;
  bool busy_ = false;
  // Datagrams taken from the socket, counted and logged, but left for the next exchange.
  std::deque<Datagram> held_;
};

// The texts of console replies that came in several datagrams, as one console-text reply.
// Each datagram's text runs from offset 5 to its end without its trailing zero bytes, so a
// line that a datagram cuts goes on in the next one. The joined text is framed as a reply that
// ends in a line feed (added when the text has none) and two zero bytes: ParseRconReply ends
// the last line at the third byte from the end, which is then that line feed, and no character
// is lost at a datagram's end.
std::string JoinConsoleReplies(const std::vector<std::string>& replies);
