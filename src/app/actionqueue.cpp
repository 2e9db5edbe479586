#include "actionqueue.h"

#include <QScopeGuard>
#include <QTimer>
#include <utility>

#include "protocol/UDPIOfuncs.h"

ActionQueue::ActionQueue(QObject& context, std::function<bool()> busy)
    : context_(context), busy_(std::move(busy)) {}

void ActionQueue::Run(std::function<void()> action) {
  if (running_ || busy_() || !pending_.empty()) {
    pending_.push_back(std::move(action));
    return;
  }
  Execute(action);
}

void ActionQueue::Resume() {
  if (running_ || pending_.empty() || busy_()) return;
  const std::function<void()> action = std::move(pending_.front());
  pending_.pop_front();
  Execute(action);
}

void ActionQueue::Execute(const std::function<void()>& action) {
  running_ = true;
  // Also when the action throws: its error goes on to the top-level handler, and the actions
  // kept meanwhile still run.
  const auto done = qScopeGuard([this] {
    running_ = false;
    ResumeLater();
  });
  // A cancelled exchange ends its action there: nothing more is sent for it.
  try {
    action();
  } catch (const ExchangeCancelled&) {
    return;
  }
}

void ActionQueue::ExchangeEnded() {
  ResumeLater();
}

void ActionQueue::ResumeLater() {
  if (!pending_.empty()) QTimer::singleShot(0, &context_, [this] { Resume(); });
}
