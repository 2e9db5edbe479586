#pragma once

#include <cstddef>
#include <string>

// Reply datagrams as a game server sends them, sized like real ones.

// Details of a dedicated Linux server with a mod block.
std::string DetailsReply();
// A players reply with `count` players.
std::string PlayersReply(int count);
// A rules reply of exactly `bytes` bytes (at least a few hundred).
std::string RulesReply(std::size_t bytes);
// The console text of a "status" command with `players` players, as a console-text reply.
std::string StatusReply(int players);
