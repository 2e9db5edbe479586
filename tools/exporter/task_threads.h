#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The HTTP server's threads: one per request being served, started only when none is idle, up to
// `limit`; beyond that requests wait in turn. A probe of a server that is down holds its thread
// for the whole scrape time-out, so the limit is far above the cores, while memory follows the
// requests actually in flight.
class TaskThreads : public httplib::TaskQueue {
 public:
  explicit TaskThreads(std::size_t limit) : limit_(limit) {}
  ~TaskThreads() override;

  void enqueue(std::function<void()> task) override;
  void shutdown() override;

 private:
  void Work();

  const std::size_t limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::vector<std::thread> threads_;
  std::size_t idle_ = 0;
  bool stopping_ = false;
};
