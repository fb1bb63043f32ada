// Fuzzes the wire decoder with one buffer. Besides "no crash, no read past
// the buffer", it checks that a decoded frame encodes back to exactly the
// bytes it came from, that every shorter prefix of it asks for more bytes
// (never calls it malformed), and that a refusal always says why.
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "vulowire.h"

using vulowire::DecodeStatus;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  vulowire::Frame frame;
  vulowire::DecodeResult result = vulowire::decodeFrame(data, size, frame);
  switch (result.status) {
    case DecodeStatus::NeedMore:
      FUZZ_CHECK(result.consumed == 0);
      break;
    case DecodeStatus::Malformed:
      FUZZ_CHECK(!result.error.empty());
      break;
    case DecodeStatus::Ok: {
      FUZZ_CHECK(result.consumed <= size && result.consumed <= vulowire::kMaxFrameBytes);
      std::vector<uint8_t> encoded;
      FUZZ_CHECK(vulowire::encodeFrame(frame, encoded));
      FUZZ_CHECK(encoded.size() == result.consumed);
      FUZZ_CHECK(std::memcmp(encoded.data(), data, encoded.size()) == 0);
      for (std::size_t prefix : {std::size_t{0}, std::size_t{4}, std::size_t{5}, std::size_t{6},
                                 result.consumed / 2, result.consumed - 1}) {
        vulowire::Frame partial;
        FUZZ_CHECK(vulowire::decodeFrame(data, prefix, partial).status == DecodeStatus::NeedMore);
      }
      break;
    }
  }
  return 0;
}
