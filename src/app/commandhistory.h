#pragma once

#include <QString>
#include <cstddef>
#include <deque>
#include <optional>

// The console commands sent in this session, walked with Up and Down in the command edit. Kept
// in memory only, never written anywhere: commands may hold passwords.
class CommandHistory {
 public:
  static constexpr std::size_t Kept = 100;

  // A sent command becomes the newest; the walk starts again from the edit.
  void Add(const QString& command);
  // The command before the one shown; `shown` is kept as the draft when the walk starts here.
  // Nothing before the oldest.
  std::optional<QString> Older(const QString& shown);
  // The command after the one shown, and after the newest the draft; nothing when not walking.
  std::optional<QString> Newer();

 private:
  std::deque<QString> commands_;
  std::size_t position_ = 0;  // commands_.size(): not walking
  QString draft_;
};
