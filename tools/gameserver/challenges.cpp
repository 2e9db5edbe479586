#include "challenges.h"

std::uint32_t ChallengeBook::Current(const std::string& address, std::int64_t nowMs,
                                     std::mt19937& random) {
  const auto known = current_.find(address);
  if (known != current_.end() && Lives(known->second, nowMs)) return known->second.value;
  const Issued fresh{values_(random), nowMs};
  current_[address] = fresh;
  handedOut_[address].insert(fresh.value);
  return fresh.value;
}

ChallengeBook::Standing ChallengeBook::Check(const std::string& address, std::uint32_t value,
                                             std::int64_t nowMs) const {
  const auto known = current_.find(address);
  if (known != current_.end() && known->second.value == value && Lives(known->second, nowMs))
    return Standing::Live;
  const auto handed = handedOut_.find(address);
  return handed != handedOut_.end() && handed->second.count(value) ? Standing::Expired
                                                                   : Standing::Unknown;
}

bool ChallengeBook::Lives(const Issued& issued, std::int64_t nowMs) const {
  return lifetimeMs_ == 0 || nowMs - issued.atMs < lifetimeMs_;
}
