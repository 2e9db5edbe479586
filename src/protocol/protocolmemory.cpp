#include "protocol/protocolmemory.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

std::optional<WireProtocol> ProtocolMemory::Known(std::string_view key) const {
  const auto found = servers_.find(key);
  if (found == servers_.end()) return std::nullopt;
  return found->second.protocol;
}

void ProtocolMemory::Answered(std::string_view key, WireProtocol protocol) {
  if (key.empty() || key.size() > MaxKeyBytes) return;
  auto found = servers_.find(key);
  if (found == servers_.end()) {
    if (servers_.size() >= MaxServers)
      servers_.erase(std::min_element(
          servers_.begin(), servers_.end(),
          [](const auto& a, const auto& b) { return a.second.answer < b.second.answer; }));
    found = servers_.emplace(std::string(key), Entry{}).first;
  }
  found->second = Entry{protocol, 0, ++answers_};
}

void ProtocolMemory::Missed(std::string_view key) {
  const auto found = servers_.find(key);
  if (found != servers_.end() && ++found->second.misses >= MissesBeforeProbe) servers_.erase(found);
}

std::vector<std::pair<std::string, WireProtocol>> ProtocolMemory::Entries() const {
  std::vector<std::pair<std::string, WireProtocol>> entries;
  entries.reserve(servers_.size());
  for (const auto& [key, entry] : servers_) entries.emplace_back(key, entry.protocol);
  return entries;
}
