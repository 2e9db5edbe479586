#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/exchange_driver.h"
#include "engine/first_contact.h"
#include "engine/list_query.h"
#include "engine/micros.h"
#include "engine/settings.h"
#include "engine/udp_socket.h"

// One round of details queries over a list, without blocking: the caller starts the targets
// (all at once, or a slice at a time so that no other work waits long), waits on the sockets'
// descriptors and until the wake time as it likes (poll(), or an event loop's socket
// notifiers), and steps the round. Each target's result can be taken as soon as it ended.
class ListRound {
 public:
  ListRound(std::vector<ListTarget> targets, const QuerySettings& settings);
  ~ListRound();
  ListRound(const ListRound&) = delete;
  ListRound& operator=(const ListRound&) = delete;

  // Sends the requests of up to `count` further targets; false once every target is started.
  bool StartMore(std::size_t count);
  // Takes the datagrams waiting and advances what is due. Returns when to step again at the
  // latest; none once every target started so far has ended.
  std::optional<Micros> Step();
  // The descriptors of the sockets in use so far; starting targets may add some.
  std::vector<int> Descriptors() const;
  // Waits for the sockets until `wake`, as a blocking caller does between steps.
  void Wait(Micros wake);
  // The results of the targets that ended since the last call, with their places in the list.
  std::vector<std::pair<std::size_t, ListResult>> TakeEnded();

 private:
  enum class SocketUse { Classic, A2s, FirstContactInfo };

  UdpSocket& SocketFor(int family, SocketUse use);
  void StartTarget(std::size_t i);
  bool Ended(std::size_t i) const;
  ListResult Conclude(std::size_t i) const;

  std::vector<ListTarget> targets_;
  QuerySettings settings_;
  std::size_t started_ = 0;
  ExchangeDriver driver_;
  std::unique_ptr<UdpSocket> sockets_[2][3];
  std::vector<std::optional<std::size_t>> exchanges_;
  std::vector<std::optional<FirstContact>> contacts_;
  // The target whose first contact stands for each target whose protocol is to be found: a
  // server listed more than once has one first contact.
  std::vector<std::optional<std::size_t>> contactOf_;
  std::unordered_map<std::string, std::size_t> contactAt_;
  std::vector<std::size_t> racing_;
  // Started targets whose results were not taken yet, and targets that failed before a request.
  std::vector<std::size_t> pending_;
  std::vector<std::pair<std::size_t, ListResult>> failed_;
};
