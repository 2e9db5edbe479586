#include "lookup_within.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "store/mytypes.h"

namespace {

std::atomic<std::size_t> pendingLookups{0};

// Shared by the waiting probe and the lookup's thread, which may outlive the wait.
struct Lookup {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  LookupResult result;
};

void RunLookup(const std::string& text, Lookup& lookup) {
  LookupResult result;
  try {
    result.address = ResolveServerAddress(text);
  } catch (const EZerval& error) {
    result.outcome = Outcome::BadAddress;
    result.reason = error.what();
  }
  {
    const std::lock_guard<std::mutex> lock(lookup.mutex);
    lookup.result = std::move(result);
    lookup.done = true;
  }
  lookup.finished.notify_one();
}

}  // namespace

LookupResult ResolveWithin(const std::string& text,
                           std::chrono::steady_clock::time_point deadline) {
  const LookupResult late{std::nullopt, Outcome::TimedOut,
                          "the host name was not looked up within the probe's time"};
  if (pendingLookups.fetch_add(1) >= MaxPendingLookups) {
    --pendingLookups;
    return late;
  }
  const auto lookup = std::make_shared<Lookup>();
  try {
    std::thread([text, lookup] {
      RunLookup(text, *lookup);
      --pendingLookups;
    }).detach();
  } catch (const std::system_error&) {
    --pendingLookups;
    return late;
  }
  std::unique_lock<std::mutex> lock(lookup->mutex);
  if (!lookup->finished.wait_until(lock, deadline, [&lookup] { return lookup->done; })) return late;
  return lookup->result;
}
