#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

// Feeds the bytes as an options file, short, long or garbled. Whatever loads must save as a
// whole record that loads back to the same bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TOptions options;
  OptionsFromBytes(bytes, options);
  const std::string saved = OptionsToBytes(options);
  if (saved.size() != OptionsFileSize) __builtin_trap();
  TOptions again;
  OptionsFromBytes(saved, again);
  if (OptionsToBytes(again) != saved) __builtin_trap();
  return 0;
}
