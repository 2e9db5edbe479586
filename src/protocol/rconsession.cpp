#include "protocol/rconsession.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// The size field, and after it the id and the type.
constexpr std::size_t SizeBytes = 4;
constexpr std::size_t HeaderBytes = 12;
// The body's terminator and the empty string after it.
constexpr std::size_t TrailerBytes = 2;

void AppendInt32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(bits >> shift));
}

std::int32_t ReadInt32(std::string_view bytes) {
  std::uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) bits = bits << 8 | static_cast<std::uint8_t>(bytes[i]);
  return static_cast<std::int32_t>(bits);
}

bool Sendable(std::string_view body) {
  return body.size() <= std::size_t(RconSession::MaxBodyBytes) &&
         body.find('\0') == std::string_view::npos;
}

}  // namespace

std::string EncodeRconPacket(std::int32_t id, std::int32_t type, std::string_view body) {
  std::string packet;
  packet.reserve(HeaderBytes + body.size() + TrailerBytes);
  AppendInt32(packet,
              static_cast<std::int32_t>(body.size() + HeaderBytes - SizeBytes + TrailerBytes));
  AppendInt32(packet, id);
  AppendInt32(packet, type);
  packet.append(body);
  packet.append(TrailerBytes, '\0');
  return packet;
}

std::vector<std::string> RconOutputLines(std::string_view output) {
  std::vector<std::string> lines;
  while (!output.empty()) {
    const std::size_t end = std::min(output.find('\n'), output.size());
    std::string_view line = output.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    output.remove_prefix(std::min(end + 1, output.size()));
  }
  return lines;
}

RconSession::RconSession(std::string password, Micros timeout)
    : password_(std::move(password)), timeout_(std::max<Micros>(timeout, 1)) {}

std::int32_t RconSession::NextId() {
  const std::int32_t id = nextId_;
  nextId_ = nextId_ == std::numeric_limits<std::int32_t>::max() ? 1 : nextId_ + 1;
  return id;
}

void RconSession::Note(std::string line) {
  if (notes_.size() < MaxNotes)
    notes_.push_back(std::move(line));
  else
    notesCut_ = true;
}

std::uint64_t RconSession::Submit(std::string command, Micros now) {
  return Queue(std::move(command), false, now);
}

std::uint64_t RconSession::Authenticate(Micros now) {
  return Queue(std::string(), true, now);
}

std::uint64_t RconSession::Queue(std::string command, bool authOnly, Micros now) {
  Expire(now);
  const std::uint64_t ticket = nextTicket_++;
  RconEnd refusal = RconEnd::NotSent;
  if (refused_)
    refusal = RconEnd::WrongPassword;
  else if (Sendable(command) && Sendable(password_) && waiting_.size() < MaxWaiting) {
    waitingBytes_ += command.size();
    waiting_.push_back(Waiting{ticket, std::move(command), authOnly});
    StartNext(now);
    return ticket;
  }
  results_.push_back(RconResult{ticket, std::move(command), refusal, {}, {}});
  return ticket;
}

void RconSession::StartNext(Micros now) {
  while (!current_ && !waiting_.empty()) {
    Waiting next = std::move(waiting_.front());
    waiting_.pop_front();
    waitingBytes_ -= next.command.size();
    if (refused_) {
      results_.push_back(
          RconResult{next.ticket, std::move(next.command), RconEnd::WrongPassword, {}, {}});
      continue;
    }
    current_.emplace(std::move(next), now + timeout_, link_ == Link::Ready);
  }
}

void RconSession::Finish(RconEnd end, Micros now) {
  Current& current = *current_;
  resultBytes_ += current.output.size();
  results_.push_back(RconResult{current.ticket, std::move(current.command), end,
                                std::move(current.output), current.roundTrip});
  current_.reset();
  idleSince_ = now;
  // What is still on its way belongs to a command that is over.
  if (end == RconEnd::TimedOut || end == RconEnd::Truncated || end == RconEnd::BrokenPeer)
    CloseLink();
  StartNext(now);
}

void RconSession::CloseLink() {
  if (link_ != Link::Closed) closeWanted_ = true;
  link_ = Link::Closed;
  frame_.clear();
  outgoing_.clear();
  spentMarker_.reset();
}

void RconSession::Connected(Micros now) {
  Expire(now);
  if (link_ != Link::Connecting) return;
  link_ = Link::Authenticating;
  authId_ = NextId();
  outgoing_ += EncodeRconPacket(authId_, Auth, password_);
}

void RconSession::ConnectFailed(Micros now) {
  Expire(now);
  if (link_ != Link::Connecting) return;
  link_ = Link::Closed;
  if (current_) Finish(RconEnd::ConnectFailed, now);
}

void RconSession::ConnectionLost(Micros now) {
  Expire(now);
  if (link_ == Link::Closed) return;
  CloseLink();
  if (!current_) return;
  // Found closed before the command went out: one new connection, as nothing of it ran.
  if (!current_->written && current_->onOpenLink && !current_->reconnected) {
    current_->reconnected = true;
    current_->onOpenLink = false;
    Note("Rcon-Verbindung war geschlossen, verbinde neu");
    return;
  }
  Finish(RconEnd::ConnectionLost, now);
}

void RconSession::Received(std::string_view bytes, Micros now) {
  Expire(now);
  if (current_ && current_->written && !bytes.empty()) current_->lastProgress = now;
  // One packet at most is buffered, whatever a read returned.
  while (!bytes.empty() && (link_ == Link::Authenticating || link_ == Link::Ready)) {
    const std::size_t need = frame_.size() < SizeBytes
                                 ? SizeBytes - frame_.size()
                                 : SizeBytes + std::size_t(ReadInt32(frame_)) - frame_.size();
    const std::size_t take = std::min(need, bytes.size());
    frame_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (frame_.size() == SizeBytes) {
      const std::int32_t size = ReadInt32(frame_);
      if (size < MinPacketSize || size > MaxPacketSize) {
        Note("Rcon-Paket mit unmöglicher Größe " + std::to_string(size) + ": Verbindung zu");
        CloseLink();
        if (current_) Finish(RconEnd::BrokenPeer, now);
        return;
      }
      continue;
    }
    if (frame_.size() < SizeBytes + std::size_t(ReadInt32(frame_))) continue;
    const std::string packet = std::exchange(frame_, {});
    const std::string_view view(packet);
    TakePacket(ReadInt32(view.substr(4)), ReadInt32(view.substr(8)),
               view.substr(HeaderBytes, view.size() - HeaderBytes - TrailerBytes), now);
  }
}

void RconSession::TakePacket(std::int32_t id, std::int32_t type, std::string_view body,
                             Micros now) {
  if (link_ == Link::Authenticating) return TakeAuthAnswer(id, type, body, now);
  if (current_ && current_->written) {
    if (id == current_->commandId && type == ResponseValue) return TakeOutput(body, now);
    if (id == current_->markerId) {
      answersMarkers_ = true;
      spentMarker_ = id;
      return Finish(RconEnd::Complete, now);
    }
  }
  if (spentMarker_ && id == *spentMarker_) {
    spentMarker_.reset();
    return;
  }
  Note("Rcon-Paket verworfen: id " + std::to_string(id) + ", Typ " + std::to_string(type) + ", " +
       std::to_string(body.size()) + " Bytes");
}

void RconSession::TakeAuthAnswer(std::int32_t id, std::int32_t type, std::string_view body,
                                 Micros now) {
  if (type == AuthResponse && id == RefusedId) return RefusePassword(now);
  if (type == AuthResponse && id == authId_) {
    link_ = Link::Ready;
    idleSince_ = now;
    if (current_ && current_->authOnly) Finish(RconEnd::Complete, now);
    return;
  }
  // Servers send an empty value before the answer to the password.
  if (type == ResponseValue && body.empty()) return;
  Note("Rcon-Paket vor der Anmeldung verworfen: id " + std::to_string(id) + ", Typ " +
       std::to_string(type));
}

void RconSession::RefusePassword(Micros now) {
  refused_ = true;
  password_.clear();
  Note("Rcon-Passwort abgelehnt: es wird nicht wieder gesendet");
  CloseLink();
  if (current_) Finish(RconEnd::WrongPassword, now);
}

void RconSession::TakeOutput(std::string_view body, Micros now) {
  Current& current = *current_;
  if (!current.roundTrip) current.roundTrip = now - current.writtenAt;
  const std::size_t room = MaxOutput - current.output.size();
  if (body.size() > room) {
    current.output.append(body.substr(0, room));
    Note("Rcon-Ausgabe nach " + std::to_string(MaxOutput) + " Bytes abgeschnitten");
    return Finish(RconEnd::Truncated, now);
  }
  current.output.append(body);
}

Micros RconSession::QuietTime() const {
  return std::clamp<Micros>(4 * current_->roundTrip.value_or(0), ReplyPolicy::MinConsoleQuiet,
                            ReplyPolicy::MaxConsoleQuiet);
}

// Only a server that has never answered a marker ends its output with a pause.
std::optional<Micros> RconSession::QuietEnd() const {
  if (!current_ || !current_->roundTrip || answersMarkers_) return std::nullopt;
  return current_->lastProgress + QuietTime();
}

void RconSession::Expire(Micros now) {
  if (current_ && now >= current_->deadline) Finish(RconEnd::TimedOut, now);
  if (const std::optional<Micros> quietEnd = QuietEnd(); quietEnd && now >= *quietEnd)
    Finish(RconEnd::Quiet, now);
  if (link_ == Link::Ready && !current_ && now >= idleSince_ + IdleClose) {
    Note("Rcon-Verbindung nach " + std::to_string(IdleClose / 1'000'000) + " s Ruhe geschlossen");
    CloseLink();
  }
}

void RconSession::Advance(Micros now) {
  Expire(now);
}

RconActions RconSession::TakeActions(Micros now) {
  Expire(now);
  RconActions actions;
  actions.close = std::exchange(closeWanted_, false);
  if (current_ && link_ == Link::Closed) {
    link_ = Link::Connecting;
    actions.connect = true;
  }
  actions.write = std::exchange(outgoing_, {});
  while (current_ && link_ == Link::Ready && current_->authOnly) Finish(RconEnd::Complete, now);
  if (current_ && link_ == Link::Ready && !current_->written) {
    Current& current = *current_;
    current.commandId = NextId();
    current.markerId = NextId();
    actions.write += EncodeRconPacket(current.commandId, ExecCommand, current.command);
    actions.write += EncodeRconPacket(current.markerId, ResponseValue, {});
    current.written = true;
    current.writtenAt = current.lastProgress = now;
  }
  return actions;
}

std::optional<Micros> RconSession::WakeAt() const {
  if (current_) {
    const std::optional<Micros> quietEnd = QuietEnd();
    return quietEnd ? std::min(*quietEnd, current_->deadline) : current_->deadline;
  }
  if (link_ == Link::Ready) return idleSince_ + IdleClose;
  return std::nullopt;
}

std::vector<RconResult> RconSession::TakeResults() {
  resultBytes_ = 0;
  return std::exchange(results_, {});
}

std::vector<std::string> RconSession::TakeNotes() {
  if (std::exchange(notesCut_, false)) notes_.push_back("Weitere Rcon-Meldungen ausgelassen");
  return std::exchange(notes_, {});
}

std::size_t RconSession::BytesKept() const {
  const std::size_t current = current_ ? current_->output.size() + current_->command.size() : 0;
  return frame_.size() + outgoing_.size() + waitingBytes_ + current + resultBytes_;
}
