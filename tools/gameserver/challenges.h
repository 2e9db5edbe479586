#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>

// The challenges a server hands out, one per client address. A client keeps its challenge until
// it expires: after the lifetime, or when the server drops it.
class ChallengeBook {
 public:
  // Values are drawn from [low, high]; a lifetime of 0 never ends.
  ChallengeBook(std::uint32_t low, std::uint32_t high, int lifetimeSeconds)
      : values_(low, high), lifetimeMs_(std::int64_t(lifetimeSeconds) * 1000) {}

  enum class Standing { Live, Expired, Unknown };

  // The address's challenge, a new one when it has none that lives.
  std::uint32_t Current(const std::string& address, std::int64_t nowMs, std::mt19937& random);
  // Expired: handed to the address before, no longer good.
  Standing Check(const std::string& address, std::uint32_t value, std::int64_t nowMs) const;
  void Drop(const std::string& address) { current_.erase(address); }

 private:
  struct Issued {
    std::uint32_t value = 0;
    std::int64_t atMs = 0;
  };
  bool Lives(const Issued& issued, std::int64_t nowMs) const;

  std::uniform_int_distribution<std::uint32_t> values_;
  std::int64_t lifetimeMs_;
  std::map<std::string, Issued> current_;
  std::map<std::string, std::set<std::uint32_t>> handedOut_;
};
