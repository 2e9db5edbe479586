// zerval-bench-list FILE.zsl FIRST_PORT COUNT: a server list of COUNT servers on 127.0.0.1 at
// consecutive ports, written by the program's own list saver.
#include <QString>
#include <cstdio>
#include <exception>
#include <string>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

int main(int argc, char** argv) {
  std::int32_t firstPort = 0;
  std::int32_t count = 0;
  if (argc != 4 || !TryStrToInt(argv[2], firstPort) || !TryStrToInt(argv[3], count) ||
      firstPort < 1 || count < 0 || firstPort + count - 1 > 65535) {
    std::fprintf(stderr, "usage: zerval-bench-list FILE.zsl FIRST_PORT COUNT\n");
    return 2;
  }
  TServerList list(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    TServerEntry& entry = list[static_cast<std::size_t>(i)];
    entry.Name = "sim " + std::to_string(i + 1);
    entry.Address = "127.0.0.1:" + std::to_string(firstPort + i);
  }
  try {
    SaveServerList(list, QString::fromLocal8Bit(argv[1]));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zerval-bench-list: %s\n", error.what());
    return 1;
  }
  return 0;
}
