#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

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
class UdpExchange : public QObject {
  Q_OBJECT

 public:
  UdpExchange(TCurrentServer& server, ExchangeUi& ui, ReplyTarget& target,
              QObject* parent = nullptr);
  ~UdpExchange() override;

  // Largest reply taken; a longer datagram is cut to this size.
  static constexpr int BufferSize = 8192;

  bool QueryServer(const std::string& host, std::int32_t port, const std::string& command,
                   const LogCallback& log, bool display);
  bool QueryServerEx(const std::string& host, std::int32_t port, const std::string& command,
                     const LogCallback& log, bool display, bool waitDialog);
  // A quiet exchange: send, optional wait dialog, one receive with counting. No log lines,
  // no time-out sound or dialog, no dispatch. No value on time-out or when refused.
  std::optional<Datagram> QueryQuiet(const std::string& host, std::int32_t port,
                                     const std::string& command, bool waitDialog);
  // Dispatches a reply by its kind byte to the views and the console.
  void HandleReply(const Datagram& reply, const LogCallback& log, bool display);

  int ReceiveTimeout() const { return receiveTimeout_; }
  void SetReceiveTimeout(int milliseconds) { receiveTimeout_ = milliseconds; }
  bool IsBusy() const { return busy_; }

 private:
  QHostAddress Resolve(const std::string& host) const;
  void Send(const QHostAddress& address, std::int32_t port, const std::string& datagram);
  std::optional<Datagram> Receive(const QHostAddress& from, std::uint16_t port,
                                  const LogCallback& log);
  bool AcceptsSource(const QHostAddress& expected, std::uint16_t port,
                     const QHostAddress& source, std::uint16_t sourcePort) const;
  void ChallengeAction(const Datagram& reply, const LogCallback& log, bool display);

  TCurrentServer& server_;
  ExchangeUi& ui_;
  ReplyTarget& target_;
  QUdpSocket socket_;
  int receiveTimeout_ = 5000;
  bool busy_ = false;
};
