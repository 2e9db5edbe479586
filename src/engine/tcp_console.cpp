#include "engine/tcp_console.h"

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "engine/exchange_driver.h"
#include "engine/micros.h"

namespace {

// A flood must not keep the clock from being looked at: after this many reads the deadlines
// come first.
constexpr int MaxReadsPerPass = 64;

}  // namespace

TcpConsole::TcpConsole(const ServerAddress& address, std::string password, Micros timeout)
    : address_(address), session_(std::move(password), timeout) {}

void TcpConsole::Adopt(TcpConnection connection) {
  connection_ = std::move(connection);
}

// Feeds what one read after another returns, and a close that they find.
void TcpConsole::ReadWaiting() {
  for (int reads = 0; reads < MaxReadsPerPass && connection_.state() == TcpConnection::State::Open;
       ++reads) {
    const TcpConnection::ReadResult read = connection_.Read();
    if (!read.bytes.empty()) session_.Received(read.bytes, NowMicros());
    if (read.closed) {
      connection_.Close();
      session_.ConnectionLost(NowMicros());
    }
    if (read.bytes.empty()) return;
  }
}

void TcpConsole::CarryOut() {
  for (;;) {
    const Micros now = NowMicros();
    const RconActions actions = session_.TakeActions(now);
    if (!actions.close && !actions.connect && actions.write.empty()) return;
    if (actions.close) connection_.Close();
    if (actions.connect && connection_.state() == TcpConnection::State::Open) {
      session_.Connected(now);
    } else if (actions.connect) {
      if (!connection_.Connect(address_).empty())
        session_.ConnectFailed(now);
      else if (connection_.state() == TcpConnection::State::Open)
        session_.Connected(now);
    }
    if (actions.write.empty()) continue;
    const Micros until = session_.WakeAt().value_or(now);
    if (!connection_.Write(actions.write, AtMicros(until)).empty()) {
      connection_.Close();
      session_.ConnectionLost(NowMicros());
    }
  }
}

RconResult TcpConsole::Run(const std::string& command) {
  // A connection that the server closed meanwhile is found before the command goes out.
  ReadWaiting();
  const std::uint64_t ticket = session_.Submit(command, NowMicros());
  for (;;) {
    CarryOut();
    for (RconResult& result : session_.TakeResults())
      if (result.ticket == ticket) return std::move(result);
    const std::optional<Micros> wake = session_.WakeAt();
    pollfd entry{connection_.Descriptor(), connection_.Events(), 0};
    const bool waiting = connection_.state() != TcpConnection::State::Closed;
    const bool ready = waiting ? PollUntil(&entry, 1, wake.value_or(NowMicros()))
                               : PollUntil(nullptr, 0, wake.value_or(NowMicros()));
    if (ready && connection_.state() == TcpConnection::State::Connecting) {
      if (connection_.FinishConnect().empty())
        session_.Connected(NowMicros());
      else
        session_.ConnectFailed(NowMicros());
    } else if (ready) {
      ReadWaiting();
    }
    session_.Advance(NowMicros());
  }
}
