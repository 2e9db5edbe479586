// The reply decoders, the status table and the byte-count text on replies sized like real ones.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/datafuncs.h"
#include "protocol/player_class.h"
#include "replies.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

constexpr int StatusPlayers = 32;
constexpr std::size_t RulesBytes = 1400;

void BM_ParseDetails(benchmark::State& state) {
  const std::string reply = DetailsReply();
  for (auto _ : state) {
    TDetailInfo info;
    ParseDetails(reply, info);
    benchmark::DoNotOptimize(info);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(reply.size()));
}
BENCHMARK(BM_ParseDetails);

void BM_ParsePlayers(benchmark::State& state) {
  const std::string reply = PlayersReply(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TPlayerList list;
    ParsePlayers(reply, list);
    benchmark::DoNotOptimize(list);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(reply.size()));
}
BENCHMARK(BM_ParsePlayers)->Arg(StatusPlayers);

void BM_ParseRules(benchmark::State& state) {
  const std::string reply = RulesReply(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    TRuleList list;
    ParseRules(reply, list);
    benchmark::DoNotOptimize(list);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(reply.size()));
}
BENCHMARK(BM_ParseRules)->Arg(RulesBytes);

void BM_ParseRconReply(benchmark::State& state) {
  const std::string reply = StatusReply(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::optional<std::vector<std::string>> lines = ParseRconReply(reply);
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(reply.size()));
}
BENCHMARK(BM_ParseRconReply)->Arg(StatusPlayers);

void BM_ParseStatus(benchmark::State& state) {
  const std::optional<std::vector<std::string>> lines =
      ParseRconReply(StatusReply(static_cast<int>(state.range(0))));
  TPlayerInfo info;
  for (auto _ : state) {
    info.Clear();
    info.ParseStatus(*lines);
    benchmark::DoNotOptimize(info);
  }
  if (info.Count() != state.range(0)) state.SkipWithError("status listing not parsed whole");
}
BENCHMARK(BM_ParseStatus)->Arg(StatusPlayers);

void BM_ExtractChallenge(benchmark::State& state) {
  const std::string reply = std::string(4, '\xFF') + "challenge rcon 2952730511\n";
  for (auto _ : state) {
    std::string challenge = ExtractChallenge(reply);
    benchmark::DoNotOptimize(challenge);
  }
}
BENCHMARK(BM_ExtractChallenge);

void BM_FormatThousands(benchmark::State& state) {
  constexpr std::array<std::int32_t, 6> Values = {0, 999, 1400, 123456, -5000, 2147483647};
  for (auto _ : state)
    for (const std::int32_t value : Values) {
      std::string text = FormatThousands(value);
      benchmark::DoNotOptimize(text);
    }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Values.size()));
}
BENCHMARK(BM_FormatThousands);

}  // namespace

BENCHMARK_MAIN();
