#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QtGlobal>

#include "protocol/UDPIOfuncs.h"
#include "protocol/consolerace.h"

class QTcpSocket;

// The TCP side of the race between the two consoles (consolerace.h): it connects to the server
// and tells the race how that went, while its owner sends the classic challenge request and
// reports a reply. Once the race has chosen TCP, the connection is handed over with nothing sent
// on it; otherwise it is closed unused with the probe. It connects only to the address it was
// made for.
class ConsoleProbe : public QObject, public ExchangeRival {
  Q_OBJECT

 public:
  // `timeout`: how long the race may take; neither answer within it is a time-out.
  ConsoleProbe(const QHostAddress& address, quint16 port, Micros timeout,
               QObject* parent = nullptr);
  ~ConsoleProbe() override;

  void ChallengeAnswered();
  // The race at this moment.
  ConsoleRace::State State();
  // The accepted connection once TCP has won, for the caller to own; nothing otherwise.
  QTcpSocket* TakeConnection();

  bool Won(Micros now) override;
  Micros WakeAt() const override;

 signals:
  // The race may have changed: the connection was accepted or refused, or a wait ended.
  void changed();

 private:
  void Arm();

  QTcpSocket* socket_;
  ConsoleRace race_;
  QTimer wake_;
};
