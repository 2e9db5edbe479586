#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/inifile.h"

// Feeds the bytes as a settings file, then sets a key and a section named by the first bytes.
// What is written back reads back to the same text, and what was set reads back as set.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string written = IniFile::Parse(bytes).Text();
  if (IniFile::Parse(written).Text() != written) __builtin_trap();

  const std::string_view name = bytes.substr(0, bytes.size() < 8 ? bytes.size() : 8);
  IniFile file = IniFile::Parse(bytes);
  file.Set("Query", name, "auto");
  file.ReplaceSection("Servers", {{"127.0.0.1:27015", "a2s"}});
  if (!name.empty() && file.Value("Query", name) != std::string("auto")) __builtin_trap();
  if (file.Value("Servers", "127.0.0.1:27015") != std::string("a2s")) __builtin_trap();
  return 0;
}
