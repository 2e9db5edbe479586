#include "engine/list_query.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "engine/list_round.h"

void QueryServerList(const std::vector<ListTarget>& targets, const QuerySettings& settings,
                     const std::function<void(const ListResult&)>& take) {
  for (std::size_t first = 0; first < targets.size(); first += ListServersAtOnce) {
    const auto begin = targets.begin() + std::ptrdiff_t(first);
    const std::size_t count = std::min(ListServersAtOnce, targets.size() - first);
    ListRound round(std::vector<ListTarget>(begin, begin + std::ptrdiff_t(count)), settings);
    round.StartMore(count);
    for (std::optional<Micros> wake = round.Step(); wake; wake = round.Step()) round.Wait(*wake);
    std::vector<std::optional<ListResult>> results(count);
    for (auto& [index, result] : round.TakeEnded()) results[index] = std::move(result);
    for (const std::optional<ListResult>& result : results) take(*result);
  }
}
