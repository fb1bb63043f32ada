// Wire codec shared by the client library and the simulator: pure functions
// over byte buffers, no sockets. See docs/wire-format.md.
#ifndef VULOOBJ_VULOWIRE_H
#define VULOOBJ_VULOWIRE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cObject.h"

namespace vulowire {

constexpr uint8_t kVersion = 1;
// Largest frame accepted or produced, length prefix included.
constexpr uint32_t kMaxFrameBytes = 64 * 1024;

enum class FrameKind : uint8_t {
  Push = 1,          // server -> client: a message for the listeners
  QueryRequest = 2,  // client -> server: ports matching type and label
  QueryReply = 3,    // server -> client: the matching ports
  FetchRequest = 4,  // client -> server: one port by serial and port id
  FetchReply = 5,    // server -> client: zero or one object
  SetRequest = 6,    // client -> server: write an output
};

struct Frame {
  FrameKind kind = FrameKind::Push;
  // Matches a reply to its request; 0 on pushes and set requests.
  uint32_t requestId = 0;
  // Message header of a push (cObjectList's type, sequence and event flag).
  uint8_t msgType = 0;
  uint8_t seqNum = 0;
  bool eventFlag = false;
  std::vector<std::unique_ptr<cObject>> objects;
};

// Appends the encoded frame, length prefix included, to `out`. False (and
// `out` unchanged) when the frame would exceed kMaxFrameBytes.
bool encodeFrame(const Frame& frame, std::vector<uint8_t>& out);

enum class DecodeStatus { Ok, NeedMore, Malformed };

struct DecodeResult {
  DecodeStatus status = DecodeStatus::NeedMore;
  std::size_t consumed = 0;  // bytes of the frame taken when Ok
  std::string error;         // why, when Malformed
};

// Decodes one frame from the start of `data`. Every length and count is
// checked against the bytes present; nothing is read past `size`.
DecodeResult decodeFrame(const uint8_t* data, std::size_t size, Frame& out);

// Accumulates bytes from a stream and yields whole frames.
class FrameAssembler {
 public:
  void append(const uint8_t* data, std::size_t size);
  // Ok: `out` holds the next frame. NeedMore: wait for bytes. Malformed: the
  // stream is unusable (drop the connection); `error` says why.
  DecodeStatus next(Frame& out, std::string* error = nullptr);
  void clear();
  std::size_t buffered() const { return mBuffer.size() - mStart; }

 private:
  std::vector<uint8_t> mBuffer;
  std::size_t mStart = 0;
};

}  // namespace vulowire

#endif
