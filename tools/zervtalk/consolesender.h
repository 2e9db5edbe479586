#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUdpSocket>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "arguments.h"
#include "protocol/consoleprobe.h"
#include "protocol/consolerace.h"
#include "protocol/rconlink.h"
#include "protocol/replypolicy.h"
#include "protocol/saycommand.h"

// Says typed lines on the server through its remote console, each line's "say" (saycommand.h),
// one line at a time, in the order typed. On the classic console a line goes out as
// "rcon CHALLENGE PASSWORD say \"TEXT\""; the exchange's reply policy decides what the server's
// answer is, and renews an expired challenge once, which then serves the lines after it. On
// today's console it goes over one TCP session (rconlink.h). Which console the server speaks
// comes with the arguments, or is found at the start by racing the challenge request and a TCP
// connection (consolerace.h); lines typed meanwhile wait. A wrong password or a ban stops all
// sending: every further line would only count towards a ban.
class ConsoleSender : public QObject {
  Q_OBJECT

 public:
  // How long the server may take to answer a line.
  static constexpr Micros Timeout = 5'000'000;

  explicit ConsoleSender(const TalkArguments& arguments, QObject* parent = nullptr);
  void say(const SayLine& line);
  // The console the server speaks; none while the race goes on.
  std::optional<ConsoleKind> console() const { return kind_; }
  // Over TCP, takes `logAddress` ("IP:PORT") off the server's log addresses; `farewellDone`
  // comes once that has ended.
  void farewell(const std::string& logAddress);

 signals:
  void delivered();
  // `text` was not said, and why.
  void refused(const std::string& text, const QString& reason);
  void farewellDone();

 private:
  Micros now() const { return clock_.nsecsElapsed() / 1000; }
  void decide(ConsoleKind kind);
  void probeChanged();
  void startNext();
  void readPending();
  // Sends what the policy asks for, then waits or ends the line's exchange.
  void carryOut();
  void finish();
  void finishRace(const ReplyPolicy& policy);
  void tcpFinished(const RconResult& result);
  void stop(const std::string& text, const QString& reason);
  QString noAnswer() const;

  QHostAddress server_;
  std::uint16_t port_;
  std::string challenge_;
  std::string password_;
  QUdpSocket socket_;
  QTimer wake_;
  QElapsedTimer clock_;
  std::deque<SayLine> waiting_;
  SayLine current_;
  std::optional<ReplyPolicy> policy_;  // while a line, or the race's challenge, is under way
  std::optional<ConsoleKind> kind_;
  std::unique_ptr<ConsoleProbe> probe_;  // while the race goes on
  std::unique_ptr<RconLink> tcp_;
  std::uint64_t lineTicket_ = 0;  // the line under way over TCP
  std::uint64_t farewellTicket_ = 0;
  QString stoppedBecause_;  // empty while lines may go out
};
