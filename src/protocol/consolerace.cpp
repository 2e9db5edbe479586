#include "protocol/consolerace.h"

#include <algorithm>
#include <optional>
#include <string_view>

ConsoleRace::ConsoleRace(Micros now, Micros timeout)
    : start_(now), deadline_(now + std::max<Micros>(timeout, 0)) {}

void ConsoleRace::Decide(State state) {
  if (state_ == State::Racing) state_ = state;
}

void ConsoleRace::ConnectionAccepted(Micros now) {
  if (graceEnd_) return;
  if (challengeRefused_) return Decide(State::Tcp);
  graceEnd_ = std::min(now + std::max(2 * (now - start_), MinGrace), deadline_);
  Advance(now);
}

void ConsoleRace::ConnectionRefused(Micros) {
  connectionRefused_ = true;
  if (challengeRefused_) Decide(State::Refused);
}

void ConsoleRace::ChallengeAnswered(Micros) {
  Decide(State::Udp);
}

void ConsoleRace::ChallengeRefused(Micros) {
  challengeRefused_ = true;
  if (graceEnd_) Decide(State::Tcp);
  if (connectionRefused_) Decide(State::Refused);
}

void ConsoleRace::Advance(Micros now) {
  if (graceEnd_ && now >= *graceEnd_) Decide(State::Tcp);
  if (now >= deadline_) Decide(State::TimedOut);
}

std::optional<ConsoleKind> ConsoleRace::Kind() const {
  if (state_ == State::Udp) return ConsoleKind::Udp;
  if (state_ == State::Tcp) return ConsoleKind::Tcp;
  return std::nullopt;
}

Micros ConsoleRace::WakeAt() const {
  return graceEnd_ ? *graceEnd_ : deadline_;
}

const char* ConsoleKindName(ConsoleKind kind) {
  return kind == ConsoleKind::Tcp ? "tcp" : "udp";
}

std::optional<ConsoleKind> ConsoleKindNamed(std::string_view name) {
  if (name == "tcp") return ConsoleKind::Tcp;
  if (name == "udp") return ConsoleKind::Udp;
  return std::nullopt;
}
