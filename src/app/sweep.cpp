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
  QTimer::singleShot(0, this, [this] { StartSlice(); });
}

void Sweep::StartSlice() {
  QElapsedTimer slice;
  slice.start();
  do {
    allStarted_ = !round_.StartMore(TargetsPerStep);
    StepRound();
  } while (!allStarted_ && slice.elapsed() < SliceBudgetMs);
  if (!allStarted_) QTimer::singleShot(0, this, [this] { StartSlice(); });
}

void Sweep::StepRound() {
  if (ended_) return;
  const std::optional<Micros> wake = round_.Step();
  for (const auto& [index, result] : round_.TakeEnded()) take_(index, result);
  const std::vector<int> descriptors = round_.Descriptors();
  for (std::size_t i = notifiers_.size(); i < descriptors.size(); ++i) {
    notifiers_.push_back(std::make_unique<QSocketNotifier>(descriptors[i], QSocketNotifier::Read));
    connect(notifiers_.back().get(), &QSocketNotifier::activated, this, [this] { StepRound(); });
  }
  if (wake) {
    const Micros wait = std::max<Micros>(0, *wake - NowMicros());
    wake_.start(int((wait + 999) / 1000));
  } else if (allStarted_) {
    ended_ = true;
    wake_.stop();
    for (const std::unique_ptr<QSocketNotifier>& notifier : notifiers_) notifier->setEnabled(false);
    QTimer::singleShot(0, this, [this] { finished_(); });
  }
}
