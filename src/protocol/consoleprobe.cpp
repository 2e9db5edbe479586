#include "protocol/consoleprobe.h"

#include <QTcpSocket>
#include <algorithm>
#include <limits>
#include <utility>

#include "protocol/steadyclock.h"

ConsoleProbe::ConsoleProbe(const QHostAddress& address, quint16 port, Micros timeout,
                           QObject* parent)
    : QObject(parent), socket_(new QTcpSocket(this)), race_(SteadyMicros(), timeout) {
  wake_.setSingleShot(true);
  wake_.setTimerType(Qt::PreciseTimer);
  connect(&wake_, &QTimer::timeout, this, [this] {
    race_.Advance(SteadyMicros());
    Arm();
    emit changed();
  });
  connect(socket_, &QTcpSocket::connected, this, [this] {
    race_.ConnectionAccepted(SteadyMicros());
    Arm();
    emit changed();
  });
  connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
    if (socket_->state() == QAbstractSocket::ConnectedState) return;
    race_.ConnectionRefused(SteadyMicros());
    emit changed();
  });
  socket_->connectToHost(address, port);
  Arm();
}

ConsoleProbe::~ConsoleProbe() {
  if (socket_) socket_->abort();
}

void ConsoleProbe::Arm() {
  if (race_.state() != ConsoleRace::State::Racing) return wake_.stop();
  wake_.start(int(std::max<Micros>(0, (race_.WakeAt() - SteadyMicros() + 999) / 1000)));
}

void ConsoleProbe::ChallengeAnswered() {
  race_.ChallengeAnswered(SteadyMicros());
  Arm();
}

ConsoleRace::State ConsoleProbe::State() {
  race_.Advance(SteadyMicros());
  return race_.state();
}

QTcpSocket* ConsoleProbe::TakeConnection() {
  if (State() != ConsoleRace::State::Tcp || !socket_) return nullptr;
  socket_->disconnect(this);
  socket_->setParent(nullptr);
  return std::exchange(socket_, nullptr);
}

bool ConsoleProbe::Won(Micros now) {
  race_.Advance(now);
  return race_.state() == ConsoleRace::State::Tcp;
}

Micros ConsoleProbe::WakeAt() const {
  return race_.state() == ConsoleRace::State::Racing ? race_.WakeAt()
                                                     : std::numeric_limits<Micros>::max();
}
