#include "probe_trace.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/display_text.h"
#include "engine/micros.h"
#include "engine/server_address.h"
#include "probe_metrics.h"
#include "protocol/datafuncs.h"

namespace {

std::string NameOf(const Exchange& exchange) {
  const ExchangeRequest& request = exchange.policy.request;
  return request.console ? "console \"" + request.console->command + "\"" : request.command;
}

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::Reply:
      return "taken for the reply";
    case Verdict::Hold:
      return "kept for the next request";
    case Verdict::Drop:
      return "dropped: nobody waits for it";
    case Verdict::Foreign:
      return "ignored: from an address that was not asked";
    case Verdict::Excess:
      return "ignored: beyond what one exchange takes";
    case Verdict::Empty:
      return "ignored: empty";
  }
  return "";
}

}  // namespace

std::string ShownBytes(std::string_view bytes, std::size_t shown) {
  std::string out = "\"";
  for (std::size_t i = 0; i < bytes.size() && i < shown; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      out += char(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    }
  }
  out += '"';
  if (bytes.size() > shown) out += " and " + std::to_string(bytes.size() - shown) + " bytes more";
  return out;
}

void ProbeTrace::Sent(const Exchange& exchange, std::string_view datagram) {
  std::string line = NameOf(exchange) + ": sent " + std::to_string(datagram.size()) + " bytes to " +
                     FormatServerAddress(exchange.address);
  if (!exchange.policy.request.console) line += ": " + ShownBytes(datagram, BytesShown);
  Line(NowMicros(), line);
}

void ProbeTrace::Received(const Exchange* exchange, const ReceivedDatagram& datagram,
                          Verdict verdict) {
  const std::string source = FormatServerAddress(datagram.source);
  const std::string name = exchange ? NameOf(*exchange) + ": " : std::string();
  if (datagram.portRefused) {
    Line(MicrosOf(datagram.receivedAt), name + source + " refused the request (port unreachable)");
    return;
  }
  std::string line = name + "received " + std::to_string(datagram.bytes.size()) + " bytes from " +
                     source + ", " + VerdictText(verdict);
  if (!exchange || !exchange->policy.request.console)
    line += ": " + ShownBytes(datagram.bytes, BytesShown);
  Line(MicrosOf(datagram.receivedAt), line);
}

void ProbeTrace::Ended(const Exchange& exchange) {
  std::string line = NameOf(exchange) + ": ";
  if (exchange.policy.state() == ReplyPolicy::State::Replied) {
    const std::string& reply = exchange.policy.Reply();
    const char kind = ReplyKind(reply);
    char roundTrip[32];
    std::snprintf(roundTrip, sizeof roundTrip, "%.3f",
                  double(exchange.policy.RoundTrip().value_or(0)) / 1000);
    line += "reply of " + std::to_string(reply.size()) + " bytes, kind " +
            ShownBytes(std::string_view(&kind, 1), 1) + ", after " + roundTrip + " ms";
  } else {
    line += "no reply: " + FailureOf(exchange).reason;
  }
  Line(NowMicros(), line);
}

void ProbeTrace::Line(Micros at, const std::string& line) {
  if (lines_ > MaxLines) return;
  if (++lines_ > MaxLines) {
    text_ += "(further lines left out)\n";
    return;
  }
  char time[32];
  std::snprintf(time, sizeof time, "%10.3f ms  ", double(at - start_) / 1000);
  text_ += time + line + "\n";
}

std::string DebugPage(const ProbeRequest& request, const ProbeTrace& trace,
                      const ProbeResult& probe, const ProbeVerdict& verdict) {
  char duration[32];
  std::snprintf(duration, sizeof duration, "%.3f", probe.durationSeconds * 1000);
  std::string page = "Probe of " + TerminalText(request.target) + " (protocol " +
                     (request.protocol == WireProtocol::A2s ? "a2s" : "classic") + ", players " +
                     (request.players ? "1" : "0") + "), budget " +
                     std::to_string(request.budget.count()) + " ms\n\n" + trace.Text() + "\n";
  page += verdict.reason.empty()
              ? std::string("Succeeded")
              : "Failed (" + verdict.reason + "): " + TerminalText(verdict.detail);
  page += " after " + std::string(duration) + " ms\n";
  if (!probe.console) page += "The console was not asked: no password is known for this server.\n";
  return page + "\nMetrics:\n" + ProbeMetrics(probe);
}
