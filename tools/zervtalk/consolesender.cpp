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
constexpr char ChallengeRequest[] = "challenge rcon";
constexpr char ChallengeKind = 'c';

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
  if (arguments.console) {
    decide(*arguments.console);
    return;
  }
  probe_ = std::make_unique<ConsoleProbe>(server_, port_, Timeout);
  connect(probe_.get(), &ConsoleProbe::changed, this, &ConsoleSender::probeChanged);
  ExchangeRequest request;
  request.command = ChallengeRequest;
  request.timeout = Timeout;
  policy_.emplace(std::move(request), now());
  carryOut();
}

void ConsoleSender::decide(ConsoleKind kind) {
  kind_ = kind;
  if (kind == ConsoleKind::Tcp) {
    tcp_ = std::make_unique<RconLink>(server_, port_, password_, Timeout);
    if (probe_) tcp_->Adopt(probe_->TakeConnection());
    connect(tcp_.get(), &RconLink::finished, this, &ConsoleSender::tcpFinished);
  }
  // The loser of the race is dropped: the connection closed unused.
  probe_.reset();
  startNext();
}

// Neither console answering leaves the classic one, as before there was a race.
void ConsoleSender::probeChanged() {
  if (kind_) return;
  const ConsoleRace::State state = probe_->State();
  if (state == ConsoleRace::State::Tcp)
    decide(ConsoleKind::Tcp);
  else if (state != ConsoleRace::State::Racing)
    decide(ConsoleKind::Udp);
}

void ConsoleSender::say(const SayLine& line) {
  if (!stoppedBecause_.isEmpty()) {
    emit refused(line.text, stoppedBecause_);
    return;
  }
  waiting_.push_back(line);
  startNext();
}

void ConsoleSender::startNext() {
  if (!kind_ || policy_ || lineTicket_ != 0 || waiting_.empty()) return;
  current_ = waiting_.front();
  waiting_.pop_front();
  if (*kind_ == ConsoleKind::Tcp) {
    lineTicket_ = tcp_->Submit(current_.command);
    return;
  }
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
      if (kind_) emit refused(std::exchange(current_, {}).text, socket_.errorString());
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

void ConsoleSender::stop(const std::string& text, const QString& reason) {
  stoppedBecause_ = reason;
  emit refused(text, stoppedBecause_);
  for (; !waiting_.empty(); waiting_.pop_front()) emit refused(waiting_.front().text, reason);
}

QString ConsoleSender::noAnswer() const {
  return "no answer from " + server_.toString() + ":" + QString::number(port_);
}

// A challenge reply wins the race for the classic console, with a fresh challenge.
void ConsoleSender::finishRace(const ReplyPolicy& policy) {
  if (policy.state() != ReplyPolicy::State::Replied) return;
  const std::string& reply = policy.Reply();
  if (reply.size() > ReplyKindOffset && reply[ReplyKindOffset] == ChallengeKind &&
      !ExtractChallenge(reply).empty())
    challenge_ = ExtractChallenge(reply);
  probe_->ChallengeAnswered();
  decide(ConsoleKind::Udp);
}

void ConsoleSender::finish() {
  const ReplyPolicy policy = std::move(*policy_);
  policy_.reset();
  if (!kind_) return finishRace(policy);
  if (policy.RenewedChallenge() && !policy.RenewedChallenge()->empty())
    challenge_ = *policy.RenewedChallenge();
  const std::string text = std::exchange(current_, {}).text;
  if (policy.state() == ReplyPolicy::State::TimedOut) {
    emit refused(text, noAnswer());
  } else {
    switch (AnswerOf(policy.Reply())) {
      case ConsoleAnswer::WrongPassword:
      case ConsoleAnswer::Banned:
        return stop(text, OneLine(policy.Reply()));
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

void ConsoleSender::tcpFinished(const RconResult& result) {
  if (result.ticket == farewellTicket_) {
    emit farewellDone();
    return;
  }
  if (result.ticket != lineTicket_) return;
  lineTicket_ = 0;
  const std::string text = std::exchange(current_, {}).text;
  switch (result.end) {
    case RconEnd::Complete:
    case RconEnd::Quiet:
    case RconEnd::Truncated:
      emit delivered();
      break;
    case RconEnd::WrongPassword:
      return stop(text, QString::fromLatin1(RconWrongPasswordText));
    case RconEnd::NotSent:
      emit refused(text, QStringLiteral("too long for the console"));
      break;
    default:
      emit refused(text, noAnswer());
      break;
  }
  startNext();
}

void ConsoleSender::farewell(const std::string& logAddress) {
  if (!tcp_) {
    emit farewellDone();
    return;
  }
  farewellTicket_ = tcp_->Submit("logaddress_del " + logAddress);
}
