#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Threads that run tasks, started only when none is idle, up to `threads`; beyond that tasks wait
// in turn, at most `waiting` of them. A probe of a server that is down holds its thread for the
// whole scrape time-out, so the limit is far above the cores, while memory follows the tasks
// actually in flight.
class TaskThreads {
 public:
  // A task returns what is to be done once its thread is free again (or nothing): work that this
  // brings about finds the thread idle and takes it, instead of starting another.
  using Task = std::function<std::function<void()>()>;

  TaskThreads(std::size_t threads, std::size_t waiting) : limit_(threads), capacity_(waiting) {}
  ~TaskThreads();
  TaskThreads(const TaskThreads&) = delete;
  TaskThreads& operator=(const TaskThreads&) = delete;

  // False, and the task dropped, when every thread is busy and the queue is full or the threads
  // are stopping.
  bool TryRun(Task task);
  // Runs the tasks already queued, then ends the threads.
  void Stop();

 private:
  void Work(Task task);

  const std::size_t limit_;
  const std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  std::vector<std::thread> threads_;
  std::size_t idle_ = 0;
  bool stopping_ = false;
};
