#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/datafuncs.h"

// Feeds the bytes as a challenge reply. The challenge is one line taken from the datagram.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  const std::string challenge = ExtractChallenge(reply);
  if (challenge.find('\n') != std::string::npos) __builtin_trap();
  if (!challenge.empty() && reply.compare(19, challenge.size(), challenge) != 0) __builtin_trap();
  return 0;
}
