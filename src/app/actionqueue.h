#pragma once

#include <QObject>
#include <deque>
#include <functional>

// The operator's actions (sending, kicking, refreshing, opening a page, choosing a server) run
// one after another and never inside the wait of an exchange. One that arrives while an
// exchange waits, or while earlier ones are still pending or running, is kept and runs once
// the exchange is over, in the order given; none is dropped.
class ActionQueue {
 public:
  // `busy` tells whether an exchange waits; `context` carries the deferred runs.
  ActionQueue(QObject& context, std::function<bool()> busy);

  // Runs `action` now when nothing waits and nothing is pending, else keeps it.
  void Run(std::function<void()> action);
  // Runs the next kept action if no exchange waits; the ones after it follow in later turns
  // of the message loop, so that an action that fails does not take the others with it.
  void Resume();
  // An exchange has ended: a kept action runs in a later turn of the message loop, outside the
  // exchange's calls. Nothing is scheduled when none is kept, as exchanges end very often.
  void ExchangeEnded();
  // True when no action is kept or running.
  bool IsIdle() const { return pending_.empty() && !running_; }

 private:
  void Execute(const std::function<void()>& action);
  void ResumeLater();

  QObject& context_;
  std::function<bool()> busy_;
  std::deque<std::function<void()>> pending_;
  bool running_ = false;
};
