#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A settings file of "[Section]" lines and "key=value" lines, as bytes. Writing it back keeps
// every line it does not change, comments and unknown sections included, in their order. Keys
// and values go as written: a key may hold ':' or brackets ("[::1]:27015"). Blanks around keys,
// values and section names do not count.
class IniFile {
 public:
  using Entries = std::vector<std::pair<std::string, std::string>>;

  static IniFile Parse(std::string_view text);
  std::string Text() const;

  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  // Sets the key's value; a missing key goes at the end of its section, a missing section at
  // the end of the file.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // The keys of a section with their values, in their order.
  Entries Section(std::string_view section) const;
  // Replaces the keys of a section by `entries`; other lines of it stay.
  void ReplaceSection(std::string_view section, const Entries& entries);

 private:
  struct Line {
    std::string section;
    // Empty for section heads, comments and blank lines, which are kept as `text`.
    std::string key;
    std::string value;
    std::string text;
  };

  // Where a new key of `section` goes: after its last line, or after a new head at the end.
  std::size_t InsertionPoint(std::string_view section);

  std::vector<Line> lines_;
};
