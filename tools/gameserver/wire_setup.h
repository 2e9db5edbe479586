#pragma once

#include "pieces.h"

enum class QueryProtocol {
  Classic,  // the text commands "details", "players", "rules"
  Steam,    // the Steam-era requests
  Both,
};

// Where the remote console listens: UDP datagrams, TCP on the same port number, or both.
enum class ConsoleMode { Udp, Tcp, Both };

// How a server speaks on the wire; every field comes from a command line option.
struct WireSetup {
  QueryProtocol protocol = QueryProtocol::Classic;
  bool infoChallenge = false;  // Steam-era info requests need the challenge
  bool bothInfo = false;       // a Steam-era info request gets 'm', then 'I'
  SplitStyle split;
  int challengeLifetimeSeconds = 0;  // 0 = for the life of the server
  int banAfter = 0;  // wrong console passwords after which an address is banned; 0 = never
  ConsoleMode console = ConsoleMode::Udp;
};
