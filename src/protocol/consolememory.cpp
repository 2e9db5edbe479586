#include "protocol/consolememory.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

std::optional<ConsoleKind> ConsoleMemory::Kind(const std::string& server) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = entries_.find(server);
  return found == entries_.end() ? std::nullopt : found->second.kind;
}

ConsoleMemory::Entry& ConsoleMemory::EntryFor(const std::string& server, Micros now) {
  if (entries_.size() >= MaxServers && !entries_.count(server)) {
    for (auto entry = entries_.begin(); entry != entries_.end();) {
      const bool holding =
          entry->second.refusedAt && now - *entry->second.refusedAt < RefusalHoldOff;
      entry = holding ? std::next(entry) : entries_.erase(entry);
    }
    if (entries_.size() >= MaxServers) entries_.erase(entries_.begin());
  }
  return entries_[server];
}

void ConsoleMemory::Learn(const std::string& server, ConsoleKind kind, Micros now) {
  const std::lock_guard<std::mutex> lock(mutex_);
  EntryFor(server, now).kind = kind;
}

void ConsoleMemory::Forget(const std::string& server) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = entries_.find(server);
  if (found != entries_.end()) found->second.kind.reset();
}

std::vector<ConsoleEntry> ConsoleMemory::Kinds() const {
  std::vector<ConsoleEntry> kinds;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [server, entry] : entries_)
      if (entry.kind) kinds.push_back({server, *entry.kind});
  }
  std::sort(kinds.begin(), kinds.end(),
            [](const ConsoleEntry& a, const ConsoleEntry& b) { return a.server < b.server; });
  return kinds;
}

bool ConsoleMemory::RefusedRecently(const std::string& server, Micros now) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = entries_.find(server);
  return found != entries_.end() && found->second.refusedAt &&
         now - *found->second.refusedAt < RefusalHoldOff;
}

void ConsoleMemory::NoteRefusal(const std::string& server, Micros now) {
  const std::lock_guard<std::mutex> lock(mutex_);
  EntryFor(server, now).refusedAt = now;
}
