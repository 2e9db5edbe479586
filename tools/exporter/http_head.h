#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What the exporter takes of an HTTP request before the HTTP library sees it, decided without a
// socket or a clock of its own: the head (request line and header lines) within fixed limits,
// GET or HEAD only, never a body, all of it within a time-out. A refusal is decided as soon as
// the bytes that break a rule have arrived, so the rest is never read.

using HttpMicros = std::int64_t;

constexpr std::size_t MaxRequestLineBytes = 8192;
constexpr std::size_t MaxHeaderBytes = 32768;
constexpr std::size_t MaxHeaderLines = 100;
// From a request's first byte to the end of its head.
constexpr HttpMicros RequestTimeout = 5'000'000;
// A kept-alive connection that starts no request within this is closed.
constexpr HttpMicros IdleTimeout = 5'000'000;

class RequestHeadReader {
 public:
  enum class State {
    Reading,
    Complete,  // Head() is the whole head; no body follows
    Refused,   // answer Status() with Reason() and close
    Idle,      // no request started within the idle time-out: close without an answer
  };

  // Waits for a request from `now` on.
  explicit RequestHeadReader(HttpMicros now) : waitingSince_(now) {}

  // Bytes that arrived at `now`. Returns how many of them were taken: bytes after a complete
  // head belong to the next request, and bytes after a refusal are not looked at.
  std::size_t Feed(std::string_view bytes, HttpMicros now);
  // The time is now `now`: a request that did not come whole in time is refused (408), an idle
  // wait ends.
  void Advance(HttpMicros now);

  State state() const { return state_; }
  // While reading: when Advance must be called at the latest.
  HttpMicros Deadline() const;
  const std::string& Head() const { return head_; }
  // The request target of the request line ("/probe?target=...") once that line is complete.
  std::string_view Target() const;
  int Status() const { return status_; }
  const std::string& Reason() const { return reason_; }

 private:
  void Refuse(int status, std::string reason);
  void EndOfLine();
  void ReadHeaderLine(std::string_view line);

  State state_ = State::Reading;
  HttpMicros waitingSince_ = 0;
  // Of the first byte; none before.
  HttpMicros startedAt_ = -1;
  std::string head_;
  // Where the line being read starts in head_, and the request line's end.
  std::size_t lineStart_ = 0;
  std::size_t requestLineEnd_ = 0;
  std::size_t headerLines_ = 0;
  int status_ = 0;
  std::string reason_;
};

// A whole answer that refuses a request and closes the connection: the status, a one-line
// reason as plain text and, for 405, the methods that are allowed.
std::string RefusalResponse(int status, std::string_view reason);
