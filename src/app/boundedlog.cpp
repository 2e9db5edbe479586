#include "boundedlog.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "displaytext.h"

namespace {

constexpr qint64 NsPerMs = 1'000'000;
// Lines put into the memo at once while a backlog drains.
constexpr std::size_t ChunkLines = 256;

// Removes the first `count` blocks of the document.
void RemoveFirstBlocks(QTextDocument& document, int count) {
  if (count <= 0) return;
  QTextCursor cursor(document.firstBlock());
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, count);
  cursor.removeSelectedText();
}

}  // namespace

BoundedLog::BoundedLog(QPlainTextEdit& memo, Limits limits, QString droppedNote)
    : QObject(&memo), memo_(memo), limits_(limits), droppedNote_(std::move(droppedNote)) {}

void BoundedLog::Append(const std::string& line) {
  Keep(line);
  if (!held_ && !drainScheduled_) Drain();
}

void BoundedLog::Append(const std::vector<std::string>& lines, bool cut) {
  // Lines that the limits would drop at once are not even kept: a flood costs only what shows.
  std::size_t first = lines.size();
  std::size_t bytes = 0;
  while (first > 0 && lines.size() - first < limits_.lines && bytes < limits_.characters)
    bytes += lines[--first].size();
  dropped_ = dropped_ || cut || first > 0;
  for (std::size_t i = first; i < lines.size(); ++i) Keep(lines[i]);
  if (held_ || drainScheduled_) return;
  // Many lines come from a call that has worked long already: they wait for the next turn.
  if (lines.size() - first > ChunkLines)
    DrainLater();
  else
    Drain();
}

void BoundedLog::Keep(const std::string& line) {
  pending_.push_back(line.size() > MaxLineBytes ? line.substr(0, MaxLineBytes) + "…" : line);
  pendingBytes_ += pending_.back().size();
  while (pending_.size() > limits_.lines || pendingBytes_ > limits_.characters) {
    pendingBytes_ -= pending_.front().size();
    pending_.pop_front();
    dropped_ = true;
  }
}

void BoundedLog::Hold(bool held) {
  held_ = held;
  if (!held_ && !drainScheduled_) Drain();
}

void BoundedLog::Clear() {
  pending_.clear();
  pendingBytes_ = 0;
  dropped_ = false;
  memo_.clear();
}

bool BoundedLog::TurnBudgetLeft() {
  if (!turnResetScheduled_) {
    turnResetScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
      turnResetScheduled_ = false;
      turnWorkNs_ = 0;
    });
  }
  return turnWorkNs_ < SliceMs * NsPerMs;
}

// Appends what is kept while this turn's budget lasts; the rest follows in later turns.
void BoundedLog::Drain() {
  while (!pending_.empty() && TurnBudgetLeft()) {
    QElapsedTimer work;
    work.start();
    QStringList chunk;
    while (!pending_.empty() && static_cast<std::size_t>(chunk.size()) < ChunkLines) {
      chunk << ToDisplay(pending_.front());
      pendingBytes_ -= pending_.front().size();
      pending_.pop_front();
    }
    memo_.appendPlainText(chunk.join(u'\n'));
    Trim();
    turnWorkNs_ += work.nsecsElapsed();
  }
  if (!pending_.empty()) DrainLater();
}

void BoundedLog::DrainLater() {
  drainScheduled_ = true;
  QTimer::singleShot(0, this, [this] {
    drainScheduled_ = false;
    if (!held_) Drain();
  });
}

void BoundedLog::Trim() {
  QTextDocument& document = *memo_.document();
  const int lines = static_cast<int>(limits_.lines);
  if (document.blockCount() > lines) {
    RemoveFirstBlocks(document, document.blockCount() - lines);
    dropped_ = true;
  }
  if (static_cast<std::size_t>(document.characterCount()) > limits_.characters) {
    std::size_t excess = static_cast<std::size_t>(document.characterCount()) - limits_.characters;
    int count = 0;
    for (QTextBlock block = document.firstBlock(); block.isValid() && excess > 0;
         block = block.next(), ++count)
      excess -= std::min<std::size_t>(excess, static_cast<std::size_t>(block.length()));
    RemoveFirstBlocks(document, std::min(count, document.blockCount() - 1));
    dropped_ = true;
  }
  if (dropped_) ShowDroppedNote();
}

// The note takes the place of the oldest line kept.
void BoundedLog::ShowDroppedNote() {
  QTextDocument& document = *memo_.document();
  if (document.firstBlock().text() == droppedNote_) return;
  QTextCursor cursor(document.firstBlock());
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  cursor.insertText(droppedNote_);
}
