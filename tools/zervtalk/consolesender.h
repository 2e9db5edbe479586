#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUdpSocket>
#include <deque>
#include <optional>
#include <string>

#include "arguments.h"
#include "protocol/replypolicy.h"
#include "protocol/saycommand.h"

// Says typed lines on the server through its remote console: each line's "say" (saycommand.h)
// as the console line "rcon CHALLENGE PASSWORD say \"TEXT\"", one line at a time, in the order
// typed. The exchange's
// reply policy decides what the server's answer is, and renews an expired challenge once; the
// renewed challenge serves the lines after it. A wrong password or a ban stops all sending:
// every further line would only count towards a ban.
class ConsoleSender : public QObject {
  Q_OBJECT

 public:
  // How long the server may take to answer a line.
  static constexpr Micros Timeout = 5'000'000;

  explicit ConsoleSender(const TalkArguments& arguments, QObject* parent = nullptr);
  void say(const SayLine& line);

 signals:
  void delivered();
  // `text` was not said, and why.
  void refused(const std::string& text, const QString& reason);

 private:
  Micros now() const { return clock_.nsecsElapsed() / 1000; }
  void startNext();
  void readPending();
  // Sends what the policy asks for, then waits or ends the line's exchange.
  void carryOut();
  void finish();

  QHostAddress server_;
  std::uint16_t port_;
  std::string challenge_;
  std::string password_;
  QUdpSocket socket_;
  QTimer wake_;
  QElapsedTimer clock_;
  std::deque<SayLine> waiting_;
  SayLine current_;
  std::optional<ReplyPolicy> policy_;  // while a line is under way
  QString stoppedBecause_;             // empty while lines may go out
};
