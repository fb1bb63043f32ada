// Fuzzes the stream side of the wire codec: the input (after its first
// byte) is one byte stream, fed to a FrameAssembler in chunks whose sizes
// follow from the first byte. Whatever the chunking, the assembler must
// yield the frames that decoding the whole stream at once yields, in
// order, and stop for good at the same malformed frame.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "vulowire.h"

using vulowire::DecodeStatus;

namespace {

// The frames of the whole stream, each re-encoded, and whether the stream
// ends malformed.
struct StreamOutcome {
  std::vector<std::vector<uint8_t>> frames;
  bool malformed = false;
};

StreamOutcome decodeAtOnce(const uint8_t* data, std::size_t size) {
  StreamOutcome outcome;
  std::size_t offset = 0;
  for (;;) {
    vulowire::Frame frame;
    vulowire::DecodeResult result = vulowire::decodeFrame(data + offset, size - offset, frame);
    if (result.status == DecodeStatus::NeedMore) {
      return outcome;
    }
    if (result.status == DecodeStatus::Malformed) {
      outcome.malformed = true;
      return outcome;
    }
    FUZZ_CHECK(result.consumed > 0);
    outcome.frames.emplace_back(data + offset, data + offset + result.consumed);
    offset += result.consumed;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  uint32_t chunkSeed = data[0] | 1u;
  const uint8_t* stream = data + 1;
  const std::size_t streamSize = size - 1;
  StreamOutcome expected = decodeAtOnce(stream, streamSize);

  vulowire::FrameAssembler assembler;
  StreamOutcome got;
  std::size_t offset = 0;
  while (offset < streamSize && !got.malformed) {
    // Chunk sizes from a small xorshift: 1 byte up to a few frames.
    chunkSeed ^= chunkSeed << 13;
    chunkSeed ^= chunkSeed >> 17;
    chunkSeed ^= chunkSeed << 5;
    std::size_t chunk = 1 + chunkSeed % (chunkSeed & 0x100 ? 4096 : 16);
    if (chunk > streamSize - offset) {
      chunk = streamSize - offset;
    }
    assembler.append(stream + offset, chunk);
    offset += chunk;
    for (;;) {
      vulowire::Frame frame;
      std::string error;
      DecodeStatus status = assembler.next(frame, &error);
      if (status == DecodeStatus::NeedMore) {
        break;
      }
      if (status == DecodeStatus::Malformed) {
        FUZZ_CHECK(!error.empty());
        got.malformed = true;
        break;
      }
      std::vector<uint8_t> encoded;
      FUZZ_CHECK(vulowire::encodeFrame(frame, encoded));
      got.frames.push_back(encoded);
    }
    FUZZ_CHECK(assembler.buffered() <= offset);
  }
  FUZZ_CHECK(got.malformed == expected.malformed);
  FUZZ_CHECK(got.frames == expected.frames);
  return 0;
}
