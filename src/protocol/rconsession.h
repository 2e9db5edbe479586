#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/replypolicy.h"

// The remote console over TCP, as today's servers speak it on the port number of their queries,
// decided without a socket or a clock of its own: the caller feeds in what one read returned
// (any chunking) and the time, and connects, writes, closes and waits as this object says. The
// engine's poll() loop, the window and the chat companion drive the same rules.
//
// A packet is an int32 size, an int32 id, an int32 type, the body and two zero bytes, all
// little-endian; the size counts everything after the size field.
//
// Driving it:
//   1. Submit() a command; the ticket names its result.
//   2. Feed what happened: Connected() or ConnectFailed() after a connect that TakeActions asked
//      for (a connection already open counts: report Connected at once), Received() with the
//      bytes of every read, ConnectionLost() when the peer closed or reset it.
//   3. TakeActions(): close the connection, open a new one, write bytes, in that order. Feed
//      everything already read (and a close found) before calling it: the bytes it gives count
//      as written, and a written command is never sent again.
//   4. Advance() at WakeAt() at the latest; TakeResults() gives each command's end.
//
// Each command goes out as type 2 with a fresh id, followed at once by an empty type-0 marker
// with its own id. Its output is every type-0 body under the command's id, joined in order, up
// to the moment the marker's id comes back. Packets under any other id are dropped with a note.
// One connection carries one command at a time; the others wait in turn.

// One packet as it goes over the wire.
std::string EncodeRconPacket(std::int32_t id, std::int32_t type, std::string_view body);

// A command's output as lines (for the status table, the console memo): line feeds end them, a
// carriage return before one is no part of the line, and text after the last line feed is a line
// of its own.
std::vector<std::string> RconOutputLines(std::string_view output);

// How a command ended.
enum class RconEnd {
  Complete,        // the marker came back: the output is whole
  Quiet,           // the server never answered a marker: the output ended after a quiet time
  Truncated,       // the output reached MaxOutput; the rest was not read
  TimedOut,        // the command's deadline passed
  WrongPassword,   // the server refused the password (the console's "Bad rcon_password.")
  ConnectFailed,   // no connection could be opened
  ConnectionLost,  // the connection ended before the output did
  BrokenPeer,      // the server sent a packet of an impossible size
  NotSent,         // too long, holding a zero byte, or too many commands waiting
};

// The console's text for a refused password, as the classic console answers it.
constexpr char RconWrongPasswordText[] = "Bad rcon_password.";

struct RconResult {
  std::uint64_t ticket = 0;
  std::string command;
  RconEnd end = RconEnd::TimedOut;
  // The output that came, whole only when `end` is Complete or Quiet.
  std::string output;
  // From writing the command to its first packet; none when nothing came.
  std::optional<Micros> roundTrip;
};

// What the driver does next, in this order.
struct RconActions {
  bool close = false;    // close the connection
  bool connect = false;  // open a connection to the server, then report how it went
  std::string write;     // write these bytes on the connection
};

class RconSession {
 public:
  static constexpr std::int32_t MinPacketSize = 10;
  static constexpr std::int32_t MaxBodyBytes = 4096;
  static constexpr std::int32_t MaxPacketSize = MaxBodyBytes + MinPacketSize;
  static constexpr std::size_t MaxOutput = std::size_t(1) << 20;
  // Commands that wait for their turn; the read buffer holds at most one packet.
  static constexpr std::size_t MaxWaiting = 64;
  // Debug lines kept until TakeNotes.
  static constexpr std::size_t MaxNotes = 64;
  static constexpr Micros IdleClose = 60'000'000;
  // Packet types.
  static constexpr std::int32_t ResponseValue = 0;
  static constexpr std::int32_t ExecCommand = 2;
  static constexpr std::int32_t AuthResponse = 2;
  static constexpr std::int32_t Auth = 3;
  // The id of the answer to a refused password.
  static constexpr std::int32_t RefusedId = -1;

  // `timeout`: how long each command may take from its turn on, connecting and authenticating
  // included.
  RconSession(std::string password, Micros timeout);

  // Queues a command and returns its ticket. A command the session cannot send ends NotSent at
  // once; after a refused password every command ends WrongPassword without anything sent.
  std::uint64_t Submit(std::string command, Micros now);
  // Queues the opening of the connection alone: it ends Complete, with no output, once the
  // password was taken (at once on a connection already open), or as a command would fail.
  std::uint64_t Authenticate(Micros now);

  void Connected(Micros now);
  void ConnectFailed(Micros now);
  void Received(std::string_view bytes, Micros now);
  void ConnectionLost(Micros now);
  void Advance(Micros now);

  RconActions TakeActions(Micros now);
  // When to call Advance at the latest; none while nothing waits and no connection is open.
  std::optional<Micros> WakeAt() const;
  std::vector<RconResult> TakeResults();
  std::vector<std::string> TakeNotes();

  // The password was refused: it is never sent again.
  bool Refused() const { return refused_; }
  // A command is under way or waiting.
  bool Busy() const { return current_.has_value() || !waiting_.empty(); }
  // Bytes kept now: the read buffer, output, commands waiting, bytes not yet taken.
  std::size_t BytesKept() const;

 private:
  enum class Link { Closed, Connecting, Authenticating, Ready };

  struct Waiting {
    std::uint64_t ticket = 0;
    std::string command;
    bool authOnly = false;
  };

  struct Current {
    Current(Waiting next, Micros until, bool open)
        : ticket(next.ticket),
          command(std::move(next.command)),
          authOnly(next.authOnly),
          deadline(until),
          onOpenLink(open) {}

    std::uint64_t ticket = 0;
    std::string command;
    // Nothing to write: the command ends once the connection is authenticated.
    bool authOnly = false;
    Micros deadline = 0;
    // The connection was open and authenticated when the command's turn came.
    bool onOpenLink = false;
    bool reconnected = false;
    bool written = false;
    Micros writtenAt = 0;
    std::int32_t commandId = 0;
    std::int32_t markerId = 0;
    std::string output;
    std::optional<Micros> roundTrip;
    Micros lastProgress = 0;
  };

  std::int32_t NextId();
  std::uint64_t Queue(std::string command, bool authOnly, Micros now);
  void Note(std::string line);
  void Expire(Micros now);
  void StartNext(Micros now);
  void Finish(RconEnd end, Micros now);
  void CloseLink();
  void TakePacket(std::int32_t id, std::int32_t type, std::string_view body, Micros now);
  void TakeAuthAnswer(std::int32_t id, std::int32_t type, std::string_view body, Micros now);
  void TakeOutput(std::string_view body, Micros now);
  void RefusePassword(Micros now);
  Micros QuietTime() const;
  std::optional<Micros> QuietEnd() const;

  std::string password_;
  Micros timeout_;
  Link link_ = Link::Closed;
  bool refused_ = false;
  bool closeWanted_ = false;
  // The server has answered a marker: its output ends only at the marker.
  bool answersMarkers_ = false;
  std::int32_t nextId_ = 1;
  std::int32_t authId_ = 0;
  // A marker that came back; one more packet under its id follows on some servers.
  std::optional<std::int32_t> spentMarker_;
  std::uint64_t nextTicket_ = 1;
  std::deque<Waiting> waiting_;
  std::size_t waitingBytes_ = 0;
  std::optional<Current> current_;
  Micros idleSince_ = 0;
  std::string frame_;
  std::string outgoing_;
  std::vector<RconResult> results_;
  std::size_t resultBytes_ = 0;
  std::vector<std::string> notes_;
  bool notesCut_ = false;
};
