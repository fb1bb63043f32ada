// The `garbage` command's bytes must make any client drop the stream at
// once, not wait for more.
#include <gtest/gtest.h>

#include "Simulator.h"
#include "vulowire.h"

TEST(Garbage, IsRejectedByTheDecoderAsSoonAsItArrives) {
  std::vector<uint8_t> bytes = invalidFrameBytes();
  vulowire::Frame frame;
  EXPECT_EQ(vulowire::decodeFrame(bytes.data(), bytes.size(), frame).status,
            vulowire::DecodeStatus::Malformed);
  // Even the length prefix alone is enough.
  EXPECT_EQ(vulowire::decodeFrame(bytes.data(), 4, frame).status,
            vulowire::DecodeStatus::Malformed);
}
