#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "engine/list_round.h"

// One round of the overview's details queries, run by the event loop without ever waiting: the
// query engine's list round (its rules: retries, time-out, each server's protocol) on sockets
// of its own, watched by socket notifiers, and a timer for its next wake. Requests go out a
// slice at a time, each slice within SliceBudgetMs, so that input, painting and the selected
// server's own exchanges, which wait in the same event loop, are held up for a slice at most.
class Sweep : public QObject {
 public:
  static constexpr int SliceBudgetMs = 4;
  static constexpr std::size_t TargetsPerStep = 16;

  // `take` gets each target's result as soon as it ended, with its place in `targets`;
  // `finished` runs once every target ended, in a later turn of the event loop.
  Sweep(std::vector<ListTarget> targets, const QuerySettings& settings,
        std::function<void(std::size_t, const ListResult&)> take, std::function<void()> finished,
        QObject* parent = nullptr);

 private:
  void StartSlice();
  void StepRound();

  ListRound round_;
  std::function<void(std::size_t, const ListResult&)> take_;
  std::function<void()> finished_;
  std::vector<std::unique_ptr<QSocketNotifier>> notifiers_;
  QTimer wake_;
  bool allStarted_ = false;
  bool ended_ = false;
};
