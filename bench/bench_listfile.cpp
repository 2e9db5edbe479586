// The server list file of 1,000 entries: to and from bytes, and through a file on disk.
#include <benchmark/benchmark.h>

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <string>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

constexpr int Entries = 1000;

// A list like an operator's: every fourth server has a console password.
TServerList MakeList(int count) {
  TServerList list(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    TServerEntry& entry = list[static_cast<std::size_t>(i)];
    entry.Name = "Clan server " + std::to_string(i) + " | Public";
    entry.Address = "10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1) + ":" +
                    std::to_string(27015 + i % 10);
    if (i % 4 == 0) {
      entry.HasPassword = 1;
      entry.Password = "rcon-" + std::to_string(i);
    }
  }
  return list;
}

void BM_ServerListToBytes(benchmark::State& state) {
  const TServerList list = MakeList(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string bytes = ServerListToBytes(list);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ServerListToBytes)->Arg(Entries);

void BM_ServerListFromBytes(benchmark::State& state) {
  const std::string bytes = ServerListToBytes(MakeList(static_cast<int>(state.range(0))));
  const QString name = "bench.zsl";
  for (auto _ : state) {
    TServerList list;
    ServerListFromBytes(bytes, list, name);
    benchmark::DoNotOptimize(list);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ServerListFromBytes)->Arg(Entries);

void BM_SaveServerList(benchmark::State& state) {
  QTemporaryDir dir;
  const QString file = dir.filePath("servers.zsl");
  const TServerList list = MakeList(static_cast<int>(state.range(0)));
  for (auto _ : state) SaveServerList(list, file);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveServerList)->Arg(Entries)->UseRealTime();

void BM_LoadServerList(benchmark::State& state) {
  QTemporaryDir dir;
  const QString file = dir.filePath("servers.zsl");
  SaveServerList(MakeList(static_cast<int>(state.range(0))), file);
  for (auto _ : state) {
    TServerList list;
    LoadServerList(list, file);
    benchmark::DoNotOptimize(list);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadServerList)->Arg(Entries)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
