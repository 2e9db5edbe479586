#include "sweep.h"

#include <QElapsedTimer>
#include <algorithm>
#include <optional>
#include <utility>

#include "engine/micros.h"

Sweep::Sweep(std::vector<ListTarget> targets, const QuerySettings& settings,
             std::function<void(std::size_t, const ListResult&)> take,
             std::function<void()> finished, QObject* parent)
    : QObject(parent),
      round_(std::move(targets), settings),
      take_(std::move(take)),
      finished_(std::move(finished)) {
  wake_.setSingleShot(true);
  wake_.setTimerType(Qt::PreciseTimer);
  connect(&wake_, &QTimer::timeout, this, [this] { StepRound(); });
  SliceLater();
}

// Slices posted back to back would keep timers and input waiting: each comes after a pause.
void Sweep::SliceLater() {
  if (sliceDue_) return;
  sliceDue_ = true;
  QTimer::singleShot(SlicePauseMs, Qt::PreciseTimer, this, [this] { Slice(); });
}

void Sweep::Slice() {
  sliceDue_ = false;
  QElapsedTimer slice;
  slice.start();
  while (!allStarted_ && slice.elapsed() < SliceBudgetMs) {
    allStarted_ = !round_.StartMore(TargetsPerStep);
    StepRound();
  }
  while (!ended_.empty() && slice.elapsed() < SliceBudgetMs) {
    take_(ended_.front().first, ended_.front().second);
    ended_.pop_front();
  }
  if (!allStarted_ || !ended_.empty())
    SliceLater();
  else if (roundOver_)
    finished_();
}

void Sweep::StepRound() {
  if (roundOver_) return;
  const std::optional<Micros> wake = round_.Step();
  for (auto& result : round_.TakeEnded()) ended_.push_back(std::move(result));
  const std::vector<int> descriptors = round_.Descriptors();
  for (std::size_t i = notifiers_.size(); i < descriptors.size(); ++i) {
    notifiers_.push_back(std::make_unique<QSocketNotifier>(descriptors[i], QSocketNotifier::Read));
    connect(notifiers_.back().get(), &QSocketNotifier::activated, this, [this] { StepRound(); });
  }
  if (wake) {
    const Micros wait = std::max<Micros>(0, *wake - NowMicros());
    wake_.start(int((wait + 999) / 1000));
  } else if (allStarted_) {
    roundOver_ = true;
    wake_.stop();
    for (const std::unique_ptr<QSocketNotifier>& notifier : notifiers_) notifier->setEnabled(false);
  }
  if (!ended_.empty() || roundOver_) SliceLater();
}
