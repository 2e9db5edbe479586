#pragma once

#include <chrono>
#include <optional>

#include "protocol/wireprotocol.h"

class ExchangeObserver;

struct QuerySettings {
  // None: each server's protocol is found by asking in both at its first contact.
  std::optional<WireProtocol> protocol;
  // All that asking one server may take, resent requests included.
  std::chrono::milliseconds timeout{5000};
  // How often a request without an answer goes out again, and how long after the last time.
  int retries = 2;
  std::chrono::milliseconds interval{500};
  // Told every datagram sent and received and how each exchange ended; none: nobody is.
  ExchangeObserver* observer = nullptr;
};

// How asking a server ended. zerval-query's exit status follows the worst outcome.
enum class Outcome {
  Answered,        // every reply asked for came
  TimedOut,        // a reply did not come in time
  PortRefused,     // the system reported that nothing listens on the port (ICMP)
  SendFailed,      // the request could not be sent
  BadAddress,      // the address could not be read or resolved
  ConsoleRefused,  // the console refused the line: wrong password, or a ban
  Unreadable,      // what came could not be read (pieces of a split reply that make no reply)
};
