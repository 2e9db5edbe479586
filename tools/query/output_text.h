#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/console.h"
#include "engine/list_query.h"
#include "engine/server_query.h"

// Each appends its text to `out`.

// Each server's full answer, one after another with a blank line between them.
void PrintServersText(std::string& out, const std::vector<ServerReport>& reports);
void PrintConsoleText(std::string& out, const ConsoleReport& report);

// The text view of a list: a title line, then a line per entry with the entry's name from a
// server list file ("-" for one that a text list names by its address), the server's own name,
// the address, the protocol that answered, map, players/max and round trip or why it did not
// answer. Columns are padded to the widest entry, so lines are made once every entry is in; until
// then each entry is kept as the text of its cells alone, in blocks that grow without moving what
// they hold.
class ListTable {
 public:
  static constexpr std::size_t Columns = 7;
  using Row = std::array<std::string, Columns>;

  explicit ListTable(std::size_t entries);
  void Add(const ListResult& result);
  // The title's line is line 0.
  std::size_t LineCount() const { return rows_.size(); }
  // Appends a line with its line feed.
  void AppendLine(std::string& out, std::size_t index) const;

 private:
  static const Row Title;
  static constexpr std::size_t BlockBytes = std::size_t(1) << 20;
  void Remember(const Row& row);

  std::vector<std::string> blocks_;
  // Each row's cells, separated by zero bytes, in one of the blocks.
  std::vector<std::string_view> rows_;
  std::array<std::size_t, Columns> widths_{};
};
