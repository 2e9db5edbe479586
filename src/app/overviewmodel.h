#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "fleet.h"

// The rows of the overview page: one per list entry, in list order. Sorting is the view's (a
// proxy sorts by SortRole).
class OverviewModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    State,
    Name,
    ServerName,
    Map,
    Players,
    RoundTrip,
    Protocol,
    Console,
    Since,
    History,
    ColumnCount
  };
  // What a column sorts by: a number or a text.
  static constexpr int SortRole = Qt::UserRole;

  explicit OverviewModel(QObject* parent = nullptr);

  // The list's entries as (name, address) bytes: entries that stay keep their history.
  void SetEntries(const std::vector<std::pair<std::string, std::string>>& entries);
  // An outcome for the row `id`, if it is still there; the change to tell, if any.
  std::optional<FleetChange> Take(std::uint64_t id, const Observation& seen, std::int64_t nowMs);
  void SetProtocol(int row, std::optional<WireProtocol> protocol);
  void SetConsole(int row, std::optional<ConsoleKind> console);

  const std::vector<FleetEntry>& Rows() const { return rows_; }
  // The row of `id`; -1 when it is gone.
  int RowOf(std::uint64_t id) const;
  int Count(ServerState state) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void RowChanged(int row);

  std::vector<FleetEntry> rows_;
  std::unordered_map<std::uint64_t, int> rowOfId_;
  std::uint64_t nextId_ = 1;
  QIcon stateIcons_[3];
};

// "up", "down" or "not asked yet", as the overview shows it.
QString StateText(ServerState state);
