#include "commandhistory.h"

void CommandHistory::Add(const QString& command) {
  if (!command.isEmpty() && (commands_.empty() || commands_.back() != command)) {
    commands_.push_back(command);
    if (commands_.size() > Kept) commands_.pop_front();
  }
  position_ = commands_.size();
  draft_.clear();
}

std::optional<QString> CommandHistory::Older(const QString& shown) {
  if (position_ == 0) return std::nullopt;
  if (position_ == commands_.size()) draft_ = shown;
  return commands_[--position_];
}

std::optional<QString> CommandHistory::Newer() {
  if (position_ >= commands_.size()) return std::nullopt;
  ++position_;
  return position_ == commands_.size() ? draft_ : commands_[position_];
}
