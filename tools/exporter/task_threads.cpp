#include "task_threads.h"

#include <functional>
#include <mutex>
#include <thread>
#include <utility>

TaskThreads::~TaskThreads() {
  shutdown();
}

void TaskThreads::enqueue(std::function<void()> task) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) return;
  tasks_.push_back(std::move(task));
  if (idle_ >= tasks_.size() || threads_.size() >= limit_)
    wake_.notify_one();
  else
    threads_.emplace_back(&TaskThreads::Work, this);
}

void TaskThreads::shutdown() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
}

void TaskThreads::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ++idle_;
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    --idle_;
    // Tasks that were queued before the end still run.
    if (tasks_.empty()) return;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}
