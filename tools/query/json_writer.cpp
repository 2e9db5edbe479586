#include "json_writer.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/display_text.h"

void JsonWriter::NewLine() {
  if (!pretty_) return;
  out_ += '\n';
  for (std::size_t i = 0; i < levels_.size(); ++i) out_ += "  ";
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (levels_.empty()) return;
  if (levels_.back().any) out_ += ',';
  levels_.back().any = true;
  NewLine();
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  BeforeValue();
  out_ += JsonString(key) + (pretty_ ? ": " : ":");
  afterKey_ = true;
  return *this;
}

void JsonWriter::String(std::string_view bytes) {
  BeforeValue();
  out_ += JsonString(bytes);
}

void JsonWriter::Literal(std::string_view text) {
  BeforeValue();
  out_ += text;
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ += bracket;
  levels_.push_back(Level{});
}

void JsonWriter::Close(char bracket) {
  const bool any = levels_.back().any;
  levels_.pop_back();
  if (any) NewLine();
  out_ += bracket;
}
