#include "task_threads.h"

#include <functional>
#include <mutex>
#include <thread>
#include <utility>

TaskThreads::~TaskThreads() {
  Stop();
}

bool TaskThreads::TryRun(Task task) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) return false;
  // Threads that were woken for the tasks already queued still count as idle.
  const bool threadIdle = idle_ > tasks_.size();
  if (!threadIdle && threads_.size() < limit_) {
    threads_.emplace_back(&TaskThreads::Work, this, std::move(task));
    return true;
  }
  if (!threadIdle && tasks_.size() - idle_ >= capacity_) return false;
  tasks_.push_back(std::move(task));
  wake_.notify_one();
  return true;
}

void TaskThreads::Stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
}

void TaskThreads::Work(Task task) {
  for (;;) {
    const std::function<void()> then = task();
    std::unique_lock<std::mutex> lock(mutex_);
    ++idle_;
    if (then) {
      lock.unlock();
      then();
      lock.lock();
    }
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    --idle_;
    // Tasks that were queued before the end still run.
    if (tasks_.empty()) return;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
}
