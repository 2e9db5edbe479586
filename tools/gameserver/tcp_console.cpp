#include "tcp_console.h"

#include <QtEndian>
#include <algorithm>
#include <utility>

namespace {

constexpr std::int32_t MinPacketSize = 10;
constexpr int MaxBody = 4096;
constexpr std::int32_t MaxPacketSize = MaxBody + MinPacketSize;
constexpr std::int32_t ValueType = 0;
constexpr std::int32_t CommandType = 2;
constexpr std::int32_t AuthAnswerType = 2;
constexpr std::int32_t AuthType = 3;
constexpr std::int32_t RefusedId = -1;
// Output under a wrong id: far from any id a client counts up to.
constexpr std::int32_t WrongIdOffset = 0x10000000;
// What the socket buffers of the client's bytes, and of an endless output before more is added:
// more than a client keeps of one output, so that no pause of this process looks like its end.
constexpr qint64 ReadBufferBytes = 64 * 1024;
constexpr qint64 FloodBacklogBytes = 2 * 1024 * 1024;

QByteArray Packet(std::int32_t id, std::int32_t type, const std::string& body) {
  QByteArray packet(12, '\0');
  qToLittleEndian<std::int32_t>(std::int32_t(body.size()) + MinPacketSize, packet.data());
  qToLittleEndian<std::int32_t>(id, packet.data() + 4);
  qToLittleEndian<std::int32_t>(type, packet.data() + 8);
  packet.append(body.data(), qsizetype(body.size()));
  packet.append(2, '\0');
  return packet;
}

}  // namespace

TcpConsoleConnection::TcpConsoleConnection(QTcpSocket* socket, TcpConsoleHost host, QObject* parent)
    : QObject(parent), socket_(socket), host_(std::move(host)) {
  socket_->setParent(this);
  socket_->setReadBufferSize(ReadBufferBytes);
  // Answers go out as they are made, as a server's do, not held back for a fuller segment.
  socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  connect(socket_, &QTcpSocket::readyRead, this, [this] { readPending(); });
  connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
  connect(&trickle_, &QTimer::timeout, this, [this] { trickleOne(); });
  connect(&flood_, &QTimer::timeout, this, [this] { keepFlooding(); });
  if (host_.banned()) socket_->abort();
}

void TcpConsoleConnection::readPending() {
  buffer_ += socket_->readAll();
  while (buffer_.size() >= 4) {
    const auto size = qFromLittleEndian<std::int32_t>(buffer_.constData());
    if (size < MinPacketSize || size > MaxPacketSize) {
      socket_->abort();
      return;
    }
    if (buffer_.size() < 4 + size) return;
    const QByteArray packet = buffer_.left(4 + size);
    buffer_.remove(0, 4 + size);
    take(qFromLittleEndian<std::int32_t>(packet.constData() + 4),
         qFromLittleEndian<std::int32_t>(packet.constData() + 8),
         packet.mid(12, size - MinPacketSize).toStdString());
    if (socket_->state() != QAbstractSocket::ConnectedState) return;
  }
}

void TcpConsoleConnection::take(std::int32_t id, std::int32_t type, const std::string& body) {
  host_.record(type, body);
  if (type == AuthType) return answerPassword(id, body);
  if (!authenticated_) return socket_->abort();
  if (type == CommandType) return answerCommand(id, body);
  if (type != ValueType) return;
  if (std::exchange(skipMarker_, false)) return;
  // The mirrored empty value, and the packet that servers send after it.
  send(Packet(id, ValueType, {}) + Packet(id, ValueType, std::string("\0\0\0\1", 4)));
}

void TcpConsoleConnection::answerPassword(std::int32_t id, const std::string& password) {
  if (host_.banned()) return socket_->abort();
  const ReplyPlan plan = host_.planAuth();
  authenticated_ = host_.authenticate(password);
  send(Packet(id, ValueType, {}) + Packet(authenticated_ ? id : RefusedId, AuthAnswerType, {}));
  if (plan.closeAfterAuth) socket_->disconnectFromHost();
}

void TcpConsoleConnection::answerCommand(std::int32_t id, const std::string& command) {
  const ReplyPlan plan = host_.planCommand(command);
  if (!plan.send) return;
  const std::string output = host_.run(command);
  if (plan.trickleMs > 0) trickle_.start(plan.trickleMs);
  // Output that never ends has no end to mark.
  skipMarker_ = plan.noMarker || plan.endlessOutput;
  const std::int32_t outputId = plan.wrongId ? id + WrongIdOffset : id;
  if (plan.absurdSize) {
    QByteArray packet = Packet(outputId, ValueType, output.substr(0, MaxBody));
    qToLittleEndian<std::int32_t>(0x7FFFFFF0, packet.data());
    return send(packet);
  }
  QByteArray packets;
  std::size_t at = 0;
  do {
    packets += Packet(outputId, ValueType, output.substr(at, MaxBody));
    at += MaxBody;
  } while (at < output.size());
  send(packets);
  if (plan.endlessOutput) {
    floodId_ = outputId;
    keepFlooding();
    flood_.start(1);
  }
}

void TcpConsoleConnection::send(const QByteArray& bytes) {
  if (trickle_.isActive())
    trickling_ += bytes;
  else
    socket_->write(bytes);
}

void TcpConsoleConnection::trickleOne() {
  if (trickling_.isEmpty()) return;
  socket_->write(trickling_.left(1));
  trickling_.remove(0, 1);
}

void TcpConsoleConnection::keepFlooding() {
  while (socket_->bytesToWrite() + trickling_.size() < FloodBacklogBytes)
    send(Packet(floodId_, ValueType, std::string(MaxBody, 'x')));
}
