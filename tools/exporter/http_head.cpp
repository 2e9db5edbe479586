#include "http_head.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <utility>

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

const char* StatusText(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
  }
  return "Error";
}

}  // namespace

std::size_t RequestHeadReader::Feed(std::string_view bytes, HttpMicros now) {
  Advance(now);
  std::size_t taken = 0;
  while (state_ == State::Reading && taken < bytes.size()) {
    if (startedAt_ < 0) startedAt_ = now;
    const char c = bytes[taken++];
    head_ += c;
    if (c == '\n')
      EndOfLine();
    else if (requestLineEnd_ == 0 && head_.size() >= MaxRequestLineBytes)
      Refuse(414, "the request line is longer than 8 KiB");
    else if (requestLineEnd_ > 0 && head_.size() - requestLineEnd_ > MaxHeaderBytes)
      Refuse(431, "the header lines are longer than 32 KiB");
  }
  return taken;
}

void RequestHeadReader::Advance(HttpMicros now) {
  if (state_ != State::Reading || now < Deadline()) return;
  if (startedAt_ < 0)
    state_ = State::Idle;
  else
    Refuse(408, "the request did not come whole within 5 s");
}

HttpMicros RequestHeadReader::Deadline() const {
  return startedAt_ < 0 ? waitingSince_ + IdleTimeout : startedAt_ + RequestTimeout;
}

std::string_view RequestHeadReader::Target() const {
  const std::string_view line = std::string_view(head_).substr(0, requestLineEnd_);
  const std::size_t start = std::min(line.find(' '), line.size());
  const std::string_view rest = line.substr(start).substr(start < line.size() ? 1 : 0);
  return rest.substr(0, rest.find(' '));
}

void RequestHeadReader::Refuse(int status, std::string reason) {
  state_ = State::Refused;
  status_ = status;
  reason_ = std::move(reason);
}

void RequestHeadReader::EndOfLine() {
  const std::string_view line = std::string_view(head_).substr(lineStart_);
  lineStart_ = head_.size();
  if (requestLineEnd_ == 0) {
    requestLineEnd_ = head_.size();
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) return Refuse(400, "malformed request line");
    const std::string_view method = line.substr(0, blank);
    if (method != "GET" && method != "HEAD") Refuse(405, "only GET and HEAD are served");
    return;
  }
  if (line == "\r\n" || line == "\n") {
    state_ = State::Complete;
    return;
  }
  if (++headerLines_ > MaxHeaderLines) return Refuse(431, "more than 100 header lines");
  ReadHeaderLine(line);
}

void RequestHeadReader::ReadHeaderLine(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string_view name = Trimmed(line.substr(0, colon));
  const std::string_view value = Trimmed(line.substr(colon + 1));
  // Nothing here takes a body, and reading one only to drop it would let a client hold the
  // connection and the bandwidth for as long as it likes.
  if (SameName(name, "Transfer-Encoding") || (SameName(name, "Content-Length") && value != "0"))
    Refuse(413, "requests to this exporter have no body");
}

std::string RefusalResponse(int status, std::string_view reason) {
  const std::string body = std::string(reason) + "\n";
  std::string response = "HTTP/1.1 " + std::to_string(status) + " " + StatusText(status) +
                         "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\nConnection: close\r\n";
  if (status == 405) response += "Allow: GET, HEAD\r\n";
  return response + "\r\n" + body;
}
