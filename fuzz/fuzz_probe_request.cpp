// Requests to the exporter's /probe as any client may send them: decoded query parameters and
// the scrape time-out header. Checks that every request is either admitted within the limits
// or refused with 400 or 403 and a one-line reason.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "probe_request.h"
#include "server_table.h"

namespace {

constexpr std::chrono::milliseconds DefaultBudget{5000};

// Only addresses written as digits: building the table looks nothing up.
const ServerTable& Allowed() {
  static const ServerTable table = [] {
    ServerTable allowed;
    allowed.Add("127.0.0.1:27015");
    allowed.Add("[::1]:27016");
    return allowed;
  }();
  return table;
}

void Check(const std::variant<ProbeRequest, HttpRefusal>& admitted, const ServerTable* allowed) {
  if (const auto* refusal = std::get_if<HttpRefusal>(&admitted)) {
    if (refusal->status != 400 && refusal->status != 403) std::abort();
    if (refusal->status == 403 && !allowed) std::abort();
    for (const char c : refusal->reason)
      if (static_cast<unsigned char>(c) < 0x20) std::abort();
    return;
  }
  const ProbeRequest& request = std::get<ProbeRequest>(admitted);
  if (request.budget < std::chrono::milliseconds(0) || request.budget > DefaultBudget) std::abort();
  if (request.name.literal != request.address.has_value()) std::abort();
  if (allowed && !allowed->Find(request.name, request.address)) std::abort();
}

}  // namespace

// The input: the header's value (or, for a first byte 0x00, no header) up to the first line
// feed, then parameters "name=value" separated by '&'.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lineEnd = input.find('\n');
  if (lineEnd == std::string_view::npos) return 0;
  std::optional<std::string> header;
  if (lineEnd == 0 || input[0] != '\0') header = std::string(input.substr(0, lineEnd));
  input.remove_prefix(lineEnd + 1);
  QueryParameters parameters;
  while (!input.empty()) {
    const std::size_t end = std::min(input.find('&'), input.size());
    const std::string_view pair = input.substr(0, end);
    const std::size_t equals = std::min(pair.find('='), pair.size());
    parameters.emplace(std::string(pair.substr(0, equals)),
                       std::string(pair.substr(std::min(equals + 1, pair.size()))));
    input.remove_prefix(std::min(end + 1, input.size()));
  }
  Check(AdmitProbe(parameters, header, DefaultBudget, nullptr), nullptr);
  Check(AdmitProbe(parameters, header, DefaultBudget, &Allowed()), &Allowed());
  return 0;
}
