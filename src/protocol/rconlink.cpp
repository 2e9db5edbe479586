#include "protocol/rconlink.h"

#include <poll.h>

#include <QByteArray>
#include <QPointer>
#include <QScopeGuard>
#include <QTcpSocket>
#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "protocol/steadyclock.h"

RconLink::RconLink(const QHostAddress& address, quint16 port, std::string password, Micros timeout,
                   QObject* parent)
    : QObject(parent), address_(address), port_(port), session_(std::move(password), timeout) {
  wake_.setSingleShot(true);
  wake_.setTimerType(Qt::PreciseTimer);
  connect(&wake_, &QTimer::timeout, this, [this] { Drive(); });
}

RconLink::~RconLink() {
  Drop();
}

void RconLink::Watch(QTcpSocket* socket, bool open) {
  socket_ = socket;
  open_ = open;
  socket_->setParent(this);
  socket_->setReadBufferSize(ReadBufferBytes);
  connect(socket_, &QTcpSocket::connected, this, [this] {
    open_ = true;
    session_.Connected(SteadyMicros());
    Drive();
  });
  connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
    // A look at the socket that found nothing is no failure of it.
    if (error == QAbstractSocket::SocketTimeoutError) return;
    if (!open_) {
      Drop();
      session_.ConnectFailed(SteadyMicros());
    }
    Drive();
  });
  connect(socket_, &QTcpSocket::readyRead, this, [this] { Drive(); });
  connect(socket_, &QTcpSocket::disconnected, this, [this] { Drive(); });
}

// A socket closed on purpose says nothing more: what it would report belongs to no command.
void RconLink::Drop() {
  if (!socket_) return;
  QTcpSocket* socket = std::exchange(socket_, nullptr);
  open_ = false;
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
}

void RconLink::Adopt(QTcpSocket* socket) {
  Drop();
  Watch(socket, true);
  DriveLater();
}

void RconLink::Open() {
  Drop();
  Watch(new QTcpSocket(this), false);
  socket_->connectToHost(address_, port_);
}

std::uint64_t RconLink::Submit(const std::string& command) {
  const std::uint64_t ticket = session_.Submit(command, SteadyMicros());
  DriveLater();
  return ticket;
}

std::uint64_t RconLink::Authenticate() {
  const std::uint64_t ticket = session_.Authenticate(SteadyMicros());
  DriveLater();
  return ticket;
}

RconLink::Traffic RconLink::TakeTraffic() {
  return std::exchange(traffic_, Traffic{});
}

void RconLink::DriveLater() {
  QMetaObject::invokeMethod(
      this, [this] { Drive(); }, Qt::QueuedConnection);
}

// The message loop may not have read what the system holds yet: a close that the server sent
// just now must be found before a command is written on the connection, which would lose it.
void RconLink::FindClose() {
  if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) return;
  pollfd entry{static_cast<int>(socket_->socketDescriptor()), POLLIN, 0};
  if (poll(&entry, 1, 0) > 0 && entry.revents != 0) socket_->waitForReadyRead(0);
}

void RconLink::ReadAvailable() {
  if (!socket_ || !open_) return;
  const QByteArray bytes = socket_->readAll();
  if (!bytes.isEmpty()) {
    traffic_.received += bytes.size();
    session_.Received(std::string_view(bytes.constData(), std::size_t(bytes.size())),
                      SteadyMicros());
  }
  if (socket_->state() == QAbstractSocket::ConnectedState || socket_->bytesAvailable() > 0) return;
  Drop();
  session_.ConnectionLost(SteadyMicros());
}

void RconLink::Write(const std::string& bytes) {
  if (socket_ && socket_->state() == QAbstractSocket::ConnectedState &&
      socket_->write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size())) {
    traffic_.sent += qint64(bytes.size());
    return;
  }
  Drop();
  session_.ConnectionLost(SteadyMicros());
}

void RconLink::Drive() {
  // Signals of the socket that a look at it brings come back here; this pass takes their news.
  if (driving_) return;
  driving_ = true;
  const auto done = qScopeGuard([this] { driving_ = false; });
  FindClose();
  ReadAvailable();
  for (;;) {
    const Micros now = SteadyMicros();
    session_.Advance(now);
    const RconActions actions = session_.TakeActions(now);
    if (!actions.close && !actions.connect && actions.write.empty()) break;
    if (actions.close) Drop();
    if (actions.connect && socket_ && socket_->state() == QAbstractSocket::ConnectedState)
      session_.Connected(now);
    else if (actions.connect)
      Open();
    if (!actions.write.empty()) Write(actions.write);
  }
  const std::optional<Micros> wakeAt = session_.WakeAt();
  if (wakeAt)
    wake_.start(int(std::clamp<Micros>((*wakeAt - SteadyMicros() + 999) / 1000, 0, 3'600'000)));
  else
    wake_.stop();
  // Whoever takes a result may end this link.
  const QPointer<RconLink> alive(this);
  for (const RconResult& result : session_.TakeResults()) {
    emit finished(result);
    if (!alive) return;
  }
}
