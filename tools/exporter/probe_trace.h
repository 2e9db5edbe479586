#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/exchange_driver.h"
#include "probe.h"
#include "probe_request.h"
#include "probe_verdict.h"

// The log of one probe for debug=true: every datagram sent and received with its time since the
// start, what became of it, and how each exchange ended. Console lines and console text are shown
// by their size only: the one holds the password, the other the players' addresses.
class ProbeTrace : public ExchangeObserver {
 public:
  // Lines at most; past them one line says that more followed.
  static constexpr std::size_t MaxLines = 2000;
  // Of a datagram's bytes, so many are shown.
  static constexpr std::size_t BytesShown = 96;

  ProbeTrace() : start_(NowMicros()) {}

  void Sent(const Exchange& exchange, std::string_view datagram) override;
  void Received(const Exchange* exchange, const ReceivedDatagram& datagram,
                Verdict verdict) override;
  void Ended(const Exchange& exchange) override;

  const std::string& Text() const { return text_; }

 private:
  void Line(Micros at, const std::string& line);

  Micros start_;
  std::string text_;
  std::size_t lines_ = 0;
};

// Bytes as ASCII, other bytes as \xNN, at most `shown` of them and then the count of the rest.
std::string ShownBytes(std::string_view bytes, std::size_t shown);

// The answer to debug=true: what was asked, the trace, what it amounts to, and the metrics that
// the probe would have answered with.
std::string DebugPage(const ProbeRequest& request, const ProbeTrace& trace,
                      const ProbeResult& probe, const ProbeVerdict& verdict);
