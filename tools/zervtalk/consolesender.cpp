#include "consolesender.h"

#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "app/displaytext.h"
#include "protocol/datafuncs.h"

namespace {

// Largest reply datagram taken; servers send less.
constexpr int MaxDatagram = 65536;

// Console text as one line for the status: its lines joined by blanks.
QString OneLine(const std::string& reply) {
  QStringList lines;
  if (const std::optional<std::vector<std::string>> parsed = ParseRconReply(reply))
    for (const std::string& line : *parsed)
      if (!line.empty()) lines << ToDisplay(line);
  return lines.join(u' ');
}

}  // namespace

ConsoleSender::ConsoleSender(const TalkArguments& arguments, QObject* parent)
    : QObject(parent),
      server_(QString::fromStdString(arguments.host)),
      port_(arguments.port),
      challenge_(arguments.challenge),
      password_(arguments.password) {
  clock_.start();
  wake_.setSingleShot(true);
  connect(&wake_, &QTimer::timeout, this, [this] {
    if (!policy_) return;
    policy_->Advance(now());
    carryOut();
  });
  connect(&socket_, &QUdpSocket::readyRead, this, &ConsoleSender::readPending);
  socket_.bind(QHostAddress::AnyIPv4, 0);
}

void ConsoleSender::say(const SayLine& line) {
  if (!stoppedBecause_.isEmpty()) {
    emit refused(line.text, stoppedBecause_);
    return;
  }
  waiting_.push_back(line);
  if (!policy_) startNext();
}

void ConsoleSender::startNext() {
  if (waiting_.empty()) return;
  current_ = waiting_.front();
  waiting_.pop_front();
  ExchangeRequest request;
  request.console = ConsoleLine{challenge_, password_, current_.command};
  request.timeout = Timeout;
  policy_.emplace(std::move(request), now());
  carryOut();
}

void ConsoleSender::readPending() {
  QByteArray buffer(MaxDatagram, '\0');
  while (socket_.hasPendingDatagrams()) {
    QHostAddress source;
    quint16 sourcePort = 0;
    const qint64 size = socket_.readDatagram(buffer.data(), buffer.size(), &source, &sourcePort);
    if (size < 0 || !policy_) continue;
    const bool fromServer = QHostAddress(source.toIPv4Address()) == server_ && sourcePort == port_;
    policy_->Receive(std::string_view(buffer.constData(), std::size_t(size)), fromServer, now());
    carryOut();
  }
}

void ConsoleSender::carryOut() {
  for (const std::string& datagram : policy_->TakeOutgoing()) {
    if (socket_.writeDatagram(datagram.data(), qint64(datagram.size()), server_, port_) < 0) {
      policy_.reset();
      wake_.stop();
      emit refused(current_.text, socket_.errorString());
      startNext();
      return;
    }
  }
  policy_->TakeHeld();
  policy_->TakeNotes();
  if (policy_->state() == ReplyPolicy::State::Waiting) {
    wake_.start(int(std::max<Micros>(0, (policy_->WakeAt() - now() + 999) / 1000)));
    return;
  }
  wake_.stop();
  finish();
}

void ConsoleSender::finish() {
  const ReplyPolicy policy = std::move(*policy_);
  policy_.reset();
  if (policy.RenewedChallenge() && !policy.RenewedChallenge()->empty())
    challenge_ = *policy.RenewedChallenge();
  const std::string text = std::exchange(current_, {}).text;
  if (policy.state() == ReplyPolicy::State::TimedOut) {
    emit refused(text, "no answer from " + server_.toString() + ":" + QString::number(port_));
  } else {
    switch (AnswerOf(policy.Reply())) {
      case ConsoleAnswer::WrongPassword:
      case ConsoleAnswer::Banned:
        stoppedBecause_ = OneLine(policy.Reply());
        emit refused(text, stoppedBecause_);
        for (; !waiting_.empty(); waiting_.pop_front())
          emit refused(waiting_.front().text, stoppedBecause_);
        return;
      case ConsoleAnswer::ChallengeExpired:
        emit refused(text, OneLine(policy.Reply()));
        break;
      case ConsoleAnswer::Other:
        emit delivered();
        break;
    }
  }
  startNext();
}
