#pragma once

#include <string>
#include <string_view>
#include <vector>

// Appends one JSON document to a text, compact or indented by two blanks a level. Commas, line
// breaks and indents come from the calls' order: a value in an object follows its Key.
class JsonWriter {
 public:
  JsonWriter(std::string& out, bool pretty) : out_(out), pretty_(pretty) {}

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  JsonWriter& Key(std::string_view key);
  // Texts are bytes, written as JsonString writes them.
  void String(std::string_view bytes);
  // A number, true, false or null, written as it stands.
  void Literal(std::string_view text);
  // Ends the document with a line feed.
  void Finish() { out_ += '\n'; }

 private:
  struct Level {
    bool any = false;
  };

  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);
  void NewLine();

  std::string& out_;
  const bool pretty_;
  std::vector<Level> levels_;
  bool afterKey_ = false;
};
