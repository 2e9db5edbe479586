#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "protocol/consolerace.h"
#include "protocol/replypolicy.h"

// The console of one server, by its key.
struct ConsoleEntry {
  std::string server;
  ConsoleKind kind = ConsoleKind::Udp;
};

// What the front ends remember of each server's console, by a key of the caller's choosing (the
// server's address and port): which console it speaks, and when it last refused the password.
// A refused password is not offered to that server again within RefusalHoldOff: servers ban
// addresses that send wrong passwords repeatedly. Safe to share between threads.
class ConsoleMemory {
 public:
  static constexpr Micros RefusalHoldOff = 60'000'000;
  // Servers remembered at most; when full, what is cheapest to learn again goes first.
  static constexpr std::size_t MaxServers = 65536;

  std::optional<ConsoleKind> Kind(const std::string& server) const;
  void Learn(const std::string& server, ConsoleKind kind, Micros now);
  // The console stopped answering: the next time it is found afresh.
  void Forget(const std::string& server);
  // Every server whose console is known, in the order of their keys.
  std::vector<ConsoleEntry> Kinds() const;

  bool RefusedRecently(const std::string& server, Micros now) const;
  void NoteRefusal(const std::string& server, Micros now);

 private:
  struct Entry {
    std::optional<ConsoleKind> kind;
    std::optional<Micros> refusedAt;
  };

  Entry& EntryFor(const std::string& server, Micros now);

  mutable std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
};
