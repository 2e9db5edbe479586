#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

class QPlainTextEdit;

// A memo that grows with what servers send: it keeps at most `lines` lines and `characters`
// characters, dropping the oldest and saying so in its first line, and it takes lines in slices
// of at most SliceMs of work per turn of the message loop, so no flood of output holds the
// window. While held (its memo hidden) lines are only kept, within the same limits.
class BoundedLog : public QObject {
 public:
  struct Limits {
    std::size_t lines;
    std::size_t characters;
  };
  // Work on the memo per turn of the message loop; the rest waits for the next turn.
  static constexpr qint64 SliceMs = 10;
  // A longer line is cut: laying out one huge line would hold the window by itself.
  static constexpr std::size_t MaxLineBytes = 16384;

  BoundedLog(QPlainTextEdit& memo, Limits limits, QString droppedNote);

  // Wire bytes, shown as the display rules say.
  void Append(const std::string& line);
  // Many lines at once: only those the limits keep are taken. `cut`: older lines were left out
  // before.
  void Append(const std::vector<std::string>& lines, bool cut);
  void Hold(bool held);
  void Clear();
  // Lines waiting for the memo.
  std::size_t Pending() const { return pending_.size(); }

 private:
  void Drain();
  void DrainLater();
  bool TurnBudgetLeft();
  void Trim();
  void ShowDroppedNote();
  void Keep(const std::string& line);

  QPlainTextEdit& memo_;
  Limits limits_;
  QString droppedNote_;
  std::deque<std::string> pending_;
  std::size_t pendingBytes_ = 0;
  bool held_ = false;
  bool drainScheduled_ = false;
  bool dropped_ = false;
  // Work done on the memo in this turn of the message loop.
  qint64 turnWorkNs_ = 0;
  bool turnResetScheduled_ = false;
};
