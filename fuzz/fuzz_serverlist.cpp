#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

// Feeds the bytes as a server list file. A refused file must leave the list untouched, and
// whatever loads must save and load back to the same bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const QString fileName = QStringLiteral("fuzz.zsl");
  TServerList list(1);
  list[0].Name.assign("untouched");
  try {
    ServerListFromBytes(bytes, list, fileName);
  } catch (const EZerval&) {
    if (list.size() != 1 || list[0].Name.view() != "untouched") __builtin_trap();
    return 0;
  }
  const std::string saved = ServerListToBytes(list);
  TServerList again;
  ServerListFromBytes(saved, again, fileName);
  if (ServerListToBytes(again) != saved) __builtin_trap();
  return 0;
}
