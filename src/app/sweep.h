#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "engine/list_round.h"

// One round of the overview's details queries, run by the event loop without ever waiting: the
// query engine's list round (its rules: retries, time-out, each server's protocol) on sockets
// of its own, watched by socket notifiers, and a timer for its next wake. Requests go out, and
// results are handed on, in slices of at most SliceBudgetMs with a pause between them, so that
// input, painting and the selected server's own exchanges, which wait in the same event loop,
// are held up for a slice at most.
class Sweep : public QObject {
 public:
  static constexpr int SliceBudgetMs = 2;
  static constexpr int SlicePauseMs = 1;
  static constexpr std::size_t TargetsPerStep = 16;

  // `take` gets each target's result soon after it ended, with its place in `targets`;
  // `finished` runs once every target's result was taken, in a later turn of the event loop.
  Sweep(std::vector<ListTarget> targets, const QuerySettings& settings,
        std::function<void(std::size_t, const ListResult&)> take, std::function<void()> finished,
        QObject* parent = nullptr);

 private:
  // Starts further targets and hands on results, for one slice.
  void Slice();
  void StepRound();
  void SliceLater();

  ListRound round_;
  std::function<void(std::size_t, const ListResult&)> take_;
  std::function<void()> finished_;
  std::vector<std::unique_ptr<QSocketNotifier>> notifiers_;
  QTimer wake_;
  std::deque<std::pair<std::size_t, ListResult>> ended_;
  bool allStarted_ = false;
  bool roundOver_ = false;
  bool sliceDue_ = false;
};
