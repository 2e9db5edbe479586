// Request heads to the exporter as any client may send them, in any chunks. Checks that a head
// read whole and one read in two pieces come to the same end, that what is kept stays within the
// limits, and that a request still being read when its time is up is refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "http_head.h"

namespace {

void Check(const RequestHeadReader& reader) {
  if (reader.Head().size() > MaxRequestLineBytes + MaxHeaderBytes + 1) std::abort();
  if (reader.state() == RequestHeadReader::State::Complete && reader.Head().back() != '\n')
    std::abort();
  if (reader.state() == RequestHeadReader::State::Refused &&
      RefusalResponse(reader.Status(), reader.Reason()).find("\r\n\r\n") == std::string::npos)
    std::abort();
}

}  // namespace

// The first byte chooses where the rest is cut in two.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t cut = bytes.empty() ? 0 : data[0] % (bytes.size() + 1);

  RequestHeadReader whole(0);
  const std::size_t taken = whole.Feed(bytes, 1);
  RequestHeadReader pieces(0);
  std::size_t takenInPieces = pieces.Feed(bytes.substr(0, cut), 1);
  if (takenInPieces == cut) takenInPieces += pieces.Feed(bytes.substr(cut), 2);
  if (whole.state() != pieces.state() || whole.Head() != pieces.Head() ||
      whole.Status() != pieces.Status() || taken != takenInPieces)
    std::abort();
  Check(whole);

  whole.Advance(1 + RequestTimeout);
  if (whole.state() == RequestHeadReader::State::Reading) std::abort();
  if (!bytes.empty() && whole.state() == RequestHeadReader::State::Idle) std::abort();
  return 0;
}
