#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

class QEventLoop;
class RconLink;
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/a2s.h"
#include "protocol/rconsession.h"
#include "protocol/replypolicy.h"
#include "protocol/wireprotocol.h"
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
  // An A2S info reply ('I'): the details and what only that reply holds. Shown as details alone
  // where nothing more is wanted.
  virtual void ShowA2sDetails(const TDetailInfo& info, const A2sInfo&) { ShowDetails(info); }
  virtual void ShowPlayers(const TPlayerList& list) = 0;
  virtual void ShowRules(const TRuleList& list) = 0;
  // Appends one line to the console memo.
  virtual void AppendConsoleLine(const std::string& line) = 0;
  // Appends the lines of one console-text reply, which may be many.
  virtual void AppendConsoleReply(std::string_view reply);
};

struct Datagram {
  std::string Bytes;
  std::string SourceAddress;
  std::uint16_t SourcePort = 0;
};

// The operator cancelled the exchange that waited: it ends at once, without a time-out message,
// and takes the rest of the action that started it with it.
class ExchangeCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "cancelled"; }
};

// Which query requests "details", "players" and "rules" go out as: the text commands of the
// older servers, or the Steam-era requests of today's servers. Console lines are the same in both.
enum class QueryProtocol { Classic, Steam };

// Every byte as two upper-case hex digits followed by one blank.
std::string HexLine(const std::string& bytes);

// The IPv4 address of a dotted address or a host name. Raises EZerval for a name that does not
// resolve.
QHostAddress ResolveHost(const std::string& host);

// Whether `host` names a broadcast address (the limited broadcast or one of this machine's
// interfaces). Console lines carry the password and never go to such an address.
bool IsBroadcastHost(const std::string& host);

// An attempt that runs beside an exchange and may make its reply needless: the TCP console racing
// the classic challenge. The exchange asks it after every event of its wait; the rival calls
// UdpExchange::Wake when something happened to it.
class ExchangeRival {
 public:
  virtual ~ExchangeRival() = default;
  // The reply is no longer wanted.
  virtual bool Won(Micros now) = 0;
  // When to ask again at the latest.
  virtual Micros WakeAt() const = 0;
};

// The window's one UDP client and the exchanges that run over it.
//
// An exchange waits for its reply in a nested event loop, so painting, input and timers go on
// meanwhile. Re-entry: while one exchange waits for its reply (or its time-out dialog is open),
// a further exchange is refused with an error, so no exchange ever takes another's reply. Event
// handlers check IsBusy() and put their work off until Idle() comes.
//
// What an exchange takes as its reply is ReplyPolicy's decision (replypolicy.h): only datagrams
// from the asked server (any source when the host is a broadcast address), split replies put
// together, Steam challenges answered, console output joined, an expired console challenge
// renewed once, and a bounded amount of everything. Replies that came for the next exchange are
// kept for it. Every datagram taken is counted and logged; the lines of the wait are written
// once the wait dialog has closed. The wait dialog shows once the wait goes on in the message
// loop: a reply that comes within a brief look at the socket leaves nothing to see.
//
// Challenge replies: only QueryChallenge follows one up with a console line, once, and only
// when the selected entry has a console password. A challenge reply taken by any other exchange
// (a late or repeated one, or one to the follow-up itself) is only stored.
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

  bool QueryServer(const std::string& host, std::int32_t port, const std::string& command,
                   const LogCallback& log, bool display);
  bool QueryServerEx(const std::string& host, std::int32_t port, const std::string& command,
                     const LogCallback& log, bool display, bool waitDialog);
  // Sends "challenge rcon"; a challenge reply to it is stored and followed by the console line
  // with `followUpCommand` to the selected server, when that has a console password.
  bool QueryChallenge(const std::string& host, std::int32_t port, const LogCallback& log,
                      bool display, const std::string& followUpCommand);
  // QueryChallenge while `rival` races it: once the rival has won, the wait ends without a reply
  // and without the time-out's sound, dialog and log line.
  bool QueryChallengeRaced(const std::string& host, std::int32_t port, const LogCallback& log,
                           const std::string& followUpCommand, ExchangeRival& rival);
  // Waits for the end of the console command `ticket` of `link` as an exchange waits for its
  // reply: busy meanwhile, the wait dialog once the wait goes on, Cancel ends it. The bytes of
  // the connection are counted, and with `log` logged with the session's notes. An end without
  // an answer has the time-out's sound, dialog and log line when `reportTimeout` says so.
  RconResult AwaitConsole(RconLink& link, std::uint64_t ticket, const LogCallback& log,
                          bool waitDialog, bool reportTimeout);
  // The first contact with a server whose query protocol is not known: "details" and the
  // Steam-era info request go out together and ProtocolRace decides by their replies. The
  // winning reply is shown; all else is as QueryServer with "details" (wait dialog, log, byte
  // counters, and without a readable reply the time-out sound, dialog and log line). The
  // protocol found; none when neither request got a readable reply.
  std::optional<WireProtocol> QueryFirstContact(const std::string& host, std::int32_t port,
                                                const LogCallback& log, bool display);
  // A quiet exchange: send, optional wait dialog, the reply taken as above, counting. No log
  // lines, no time-out sound or dialog, no dispatch. No value on time-out.
  std::optional<Datagram> QueryQuiet(const std::string& host, std::int32_t port,
                                     const std::string& command, bool waitDialog);
  // Dispatches a reply by its kind byte to the views and the console. A challenge reply is
  // only stored.
  void HandleReply(const Datagram& reply, const LogCallback& log, bool display);

  int ReceiveTimeout() const { return receiveTimeout_; }
  void SetReceiveTimeout(int milliseconds) { receiveTimeout_ = milliseconds; }
  // Classic at start; a change applies from the next exchange on.
  QueryProtocol Protocol() const { return protocol_; }
  void SetProtocol(QueryProtocol protocol) { protocol_ = protocol; }
  bool IsBusy() const { return busy_; }
  // From the request to the first datagram of the last exchange's reply; none without a reply.
  std::optional<Micros> LastRoundTrip() const { return lastRoundTrip_; }
  // Ends the exchange that waits now: it logs "cancelled" and raises ExchangeCancelled to its
  // caller. Nothing happens when none waits.
  void Cancel();
  // Has the exchange that waits look at its rival now.
  void Wake();
  // Where datagrams came from during the last exchange that timed out, when that was another
  // address than the asked one with the asked port (a server on a host of several addresses
  // that answers from another one); empty when none did.
  const std::string& OtherSource() const { return otherSource_; }

 signals:
  // An exchange has ended and none waits. It comes from inside the exchange's call: a handler
  // that starts another exchange must do so in a later turn of the message loop.
  void Idle();

 private:
  struct Run;
  struct Lane;

  bool Query(const std::string& host, std::int32_t port, const std::string& command,
             const LogCallback& log, bool display, bool waitDialog,
             const std::string* followUpCommand, ExchangeRival* rival = nullptr);
  void ReportTimeout(const LogCallback& log);
  Run Prepare(const std::string& host, std::int32_t port, const std::string& command,
              const LogCallback& log, QueryProtocol protocol);
  std::optional<Datagram> Exchange(Run& run, bool waitDialog);
  std::optional<WireProtocol> Race(Run& classic, Run& info, std::optional<Datagram>& reply);
  void BeginWait(Run& run, ReplyPolicy& policy, bool waitDialog);
  // Ends the wait: counters, dialog and log lines; raises ExchangeCancelled after a cancel.
  void EndWait(Run& run);
  // Waits for the lanes' replies until `settle` says the wait is over (it may bring the wake
  // time forward) or the operator cancels. Replies kept from earlier exchanges go to the first
  // lane, which is on the window's socket.
  void Await(const std::vector<Lane*>& lanes,
             const std::function<bool(Micros now, Micros& wake)>& settle);
  Verdict Feed(Run& run, ReplyPolicy& policy, const Datagram& datagram, bool fromServer, bool held);
  void SendOutgoing(Run& run, ReplyPolicy& policy);
  Verdict ReadOne(Run& run, ReplyPolicy& policy);
  Lane* WaitBriefly(const std::vector<Lane*>& lanes, Micros until);
  void WaitForDatagram(Run& run, const std::vector<Lane*>& lanes, Micros until);
  void Dispatch(const Datagram& reply, const LogCallback& log, bool display,
                const std::string* followUpCommand);
  void ChallengeAction(const Datagram& reply, const LogCallback& log, bool display,
                       const std::string* followUpCommand);

  TCurrentServer& server_;
  ExchangeUi& ui_;
  ReplyTarget& target_;
  QUdpSocket socket_;
  std::string buffer_;
  int receiveTimeout_ = 5000;
  QueryProtocol protocol_ = QueryProtocol::Classic;
  bool busy_ = false;
  bool cancelled_ = false;
  std::optional<Micros> lastRoundTrip_;
  QEventLoop* waitLoop_ = nullptr;
  std::string otherSource_;
  // Replies taken from the socket, counted and logged, but left for the next exchange.
  std::deque<Datagram> held_;
};
