#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/wireprotocol.h"

// The query protocol found for each server, keyed by its address as "ip:port". The window keeps
// it in its settings file between runs; the tools keep it for one run at most. A server that
// does not answer in its remembered protocol at two selections in a row is forgotten, so that
// the next selection finds its protocol afresh: another generation of server may have taken
// over its address.
class ProtocolMemory {
 public:
  // Servers kept; the one whose answer lies furthest back makes room for another.
  static constexpr std::size_t MaxServers = 4096;
  // No "ip:port" is longer; a longer key is not kept.
  static constexpr std::size_t MaxKeyBytes = 64;
  static constexpr int MissesBeforeProbe = 2;

  // The protocol to ask the server at `key` in; none when it is to be found.
  std::optional<WireProtocol> Known(std::string_view key) const;
  // The server at `key` answered in `protocol`.
  void Answered(std::string_view key, WireProtocol protocol);
  // The server at `key` did not answer in the protocol that Known() gave.
  void Missed(std::string_view key);
  // Every server kept, in the order of their keys.
  std::vector<std::pair<std::string, WireProtocol>> Entries() const;

 private:
  struct Entry {
    WireProtocol protocol = WireProtocol::Classic;
    int misses = 0;
    // Which answer this was, counting all of them: the lowest is the oldest.
    std::uint64_t answer = 0;
  };

  std::map<std::string, Entry, std::less<>> servers_;
  std::uint64_t answers_ = 0;
};
