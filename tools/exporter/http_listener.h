#pragma once

#include <httplib.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/server_address.h"
#include "http_head.h"
#include "task_threads.h"

// The HTTP library's routing and answers, run on request heads that HttpListener read.
class RoutingServer : public httplib::Server {
 public:
  using httplib::Server::process_request;
};

// Connections at most, from one client address, and in all: each may hold a head of 40 KiB
// being read, so that all of them together stay under 100 MiB.
constexpr std::size_t MaxConnectionsPerClient = 64;
constexpr std::size_t MaxConnections = 1024;
// Probes in flight at once, and waiting for a thread; each probe waits for its server in a thread
// of its own.
constexpr std::size_t ProbeThreads = 512;
constexpr std::size_t ProbesWaiting = 256;
// /metrics and / are served by threads of their own, so that probes never hold them up.
constexpr std::size_t PageThreads = 2;
constexpr std::size_t PagesWaiting = 64;
// Requests on one connection before it is closed; scrapers keep their connections.
constexpr std::size_t RequestsPerConnection = 10000;
// All the time that writing one answer may take.
constexpr HttpMicros WriteTimeout = 5'000'000;
// The routes learn from this header how long a request waited for its thread, in milliseconds;
// a client's header of that name is dropped.
constexpr const char* WaitedHeader = "Zerval-Waited-Milliseconds";

// The exporter's HTTP side: one thread reads every connection's request head with poll(), within
// the limits of RequestHeadReader, and refuses what breaks them itself; whole heads go to the
// routes in a thread of their kind. A connection that is read from holds no thread, so clients
// that send slowly cost a file descriptor each and nothing more.
class HttpListener {
 public:
  // `refused` is told the status of every answer that the listener gives itself.
  HttpListener(RoutingServer& routes, std::function<void(int)> refused);
  ~HttpListener();
  HttpListener(const HttpListener&) = delete;
  HttpListener& operator=(const HttpListener&) = delete;

  // Listens on `address` (port 0: one that the system picks). Returns the port, or -1 with errno
  // set.
  int Listen(const ServerAddress& address);
  // Serves until Stop(); the answers under way are finished first.
  void Run();
  // From any thread.
  void Stop();

 private:
  struct Connection {
    enum class Phase { Reading, Serving, Closing };
    Connection(std::string client, HttpMicros now) : client(std::move(client)), reader(now) {}

    std::string client;
    Phase phase = Phase::Reading;
    RequestHeadReader reader;
    // Bytes that came after the head being served: the start of the next request.
    std::string next;
    std::size_t served = 0;
    // After a refusal: until when, and how much more, the client's bytes are read and dropped,
    // so that the refusal reaches it before the connection closes.
    HttpMicros closeAt = 0;
    std::size_t dropped = 0;
  };

  void Accept(HttpMicros now);
  void Read(int fd, HttpMicros now);
  void Take(int fd, std::string_view bytes, HttpMicros now);
  void Settle(int fd, HttpMicros now);
  bool Serve(int fd, Connection& connection, HttpMicros now);
  void Refuse(int fd, int status, const std::string& reason, HttpMicros now);
  void Close(int fd);
  void TakeReturned(HttpMicros now);
  void Return(int fd, bool keep);

  RoutingServer& routes_;
  std::function<void(int)> refused_;
  int listening_ = -1;
  int wake_ = -1;
  std::atomic<bool> stopping_{false};
  std::unordered_map<int, Connection> connections_;
  std::unordered_map<std::string, std::size_t> perClient_;
  HttpMicros acceptPausedUntil_ = 0;
  // Connections handed back by the threads that served them: keep reading them, or close.
  std::mutex returnedMutex_;
  std::vector<std::pair<int, bool>> returned_;
  TaskThreads probes_{ProbeThreads, ProbesWaiting};
  TaskThreads pages_{PageThreads, PagesWaiting};
};
