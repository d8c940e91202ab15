#include "vltLinkFrame.h"

#include "KalvistError.h"

namespace kalvist {
namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    table[i] = crc;
  }
  return table;
}

constexpr auto kCrcTable = MakeCrcTable();

TRequestCode WireCode(TLinkOp op) {
  switch (op) {
    case TLinkOp::ReadFirst:
      return TRequestCode::ReadFirst;
    case TLinkOp::ReadNext:
      return TRequestCode::ReadNext;
    case TLinkOp::Write:
      return TRequestCode::Write;
    case TLinkOp::WriteSegment:
      return TRequestCode::WriteSegment;
  }
  throw TKalvistError("Unknown link operation");
}

bool IsRead(TLinkOp op) {
  return op == TLinkOp::ReadFirst || op == TLinkOp::ReadNext;
}
bool IsWrite(TLinkOp op) {
  return op == TLinkOp::Write || op == TLinkOp::WriteSegment;
}

constexpr int kReplyHeader = 5;  // length, control, sequence, object ID

TLinkReply Result(TLinkResult code, uint16_t length = 0, const uint8_t* data = nullptr) {
  return TLinkReply{code, length, data};
}

// The frame is intact and complete: what is left to check is whether it answers the
// request (its object ID, then its reply code).
TLinkReply EvaluateIntactReply(std::span<const uint8_t> reply, const TLinkRequest& request,
                               const TSegmentCounters& counters) {
  const uint16_t objectId = static_cast<uint16_t>(reply[3] | (reply[4] << 8));
  if (objectId != request.ObjectID) return Result(TLinkResult::BadReply);

  const uint8_t n = reply[0];
  const uint8_t control = reply[1];
  const uint8_t* data = reply.data() + kReplyHeader;
  switch (static_cast<TReplyCode>(control & 0x07)) {
    case TReplyCode::ReadData:
      if (request.Op != TLinkOp::ReadFirst) return Result(TLinkResult::BadReply);
      return Result(TLinkResult::Ok, n, data);
    case TReplyCode::ReadSegment: {
      // A segment reply without its segment byte cannot be in sequence.
      if (!IsRead(request.Op) || n < 1) return Result(TLinkResult::BadReply);
      const uint8_t segmentByte = data[0];
      const uint8_t address = control >> 3;
      if ((segmentByte & 0x7F) != counters[address]) return Result(TLinkResult::SegmentMismatch);
      const TLinkResult code = (segmentByte & 0x80) ? TLinkResult::Ok : TLinkResult::MoreData;
      return Result(code, static_cast<uint16_t>(n - 1), data + 1);
    }
    case TReplyCode::WriteAck:
      if (!IsWrite(request.Op)) return Result(TLinkResult::BadReply);
      return Result(TLinkResult::Ok);
    case TReplyCode::ErrorReply:
      if (n != 4) return Result(TLinkResult::BadReply);
      return Result(TLinkResult::DeviceError, 4, data);
  }
  return Result(TLinkResult::BadReply);
}

}  // namespace

uint16_t Crc16(std::span<const uint8_t> bytes, uint16_t crc) {
  for (uint8_t b : bytes) crc = (crc >> 8) ^ kCrcTable[(crc ^ b) & 0xFF];
  return crc;
}

void UpdateSegmentCounter(TSegmentCounters& counters, const TLinkRequest& request) {
  uint8_t& counter = counters[request.Address % kAddressCount];
  if (request.Op == TLinkOp::ReadFirst) counter = 0;
  if (request.Op == TLinkOp::ReadNext) counter = (counter + 1) % 128;
}

size_t BuildRequest(const TLinkRequest& request, std::span<uint8_t, kMaxRequestSize> out) {
  const bool segmented = request.Op == TLinkOp::WriteSegment;
  const int valueBytes = request.DataLength;
  const int n = segmented ? valueBytes + 1 : IsWrite(request.Op) ? valueBytes : 0;
  if (n > kMaxFrameData || (segmented && valueBytes > kSegmentData)) {
    throw TKalvistError("Request data exceeds the frame size");
  }
  out[0] = 0xFF;
  out[1] = 0xFF;
  out[2] = static_cast<uint8_t>(n);
  out[3] =
      static_cast<uint8_t>((request.Address << 3) | static_cast<uint8_t>(WireCode(request.Op)));
  out[4] = 0;
  out[5] = static_cast<uint8_t>(request.ObjectID & 0xFF);
  out[6] = static_cast<uint8_t>(request.ObjectID >> 8);
  size_t pos = 7;
  if (segmented) {
    out[pos++] = static_cast<uint8_t>((request.Segment & 0x7F) | (request.LastSegment ? 0x80 : 0));
  }
  if (IsWrite(request.Op)) {
    for (int i = 0; i < valueBytes; ++i) out[pos++] = request.Data[i];
  }
  const uint16_t crc = Crc16(std::span<const uint8_t>(out.data() + 2, pos - 2));
  out[pos++] = static_cast<uint8_t>(crc & 0xFF);
  out[pos++] = static_cast<uint8_t>(crc >> 8);
  return pos;
}

int ReplyRemainder(uint8_t lengthByte) {
  return lengthByte >= 128 ? 0 : lengthByte + 6;
}

TEvaluation EvaluateReply(TReception reception, std::span<const uint8_t> reply,
                          const TLinkRequest& request, const TSegmentCounters& counters) {
  if (reception == TReception::NotOpen) return {Result(TLinkResult::NotOpen), false};
  const bool complete = reception == TReception::Complete && !reply.empty() && reply[0] < 128 &&
                        reply.size() == static_cast<size_t>(reply[0]) + kReplyOverhead;
  if (!complete) return {Result(TLinkResult::Timeout), true};
  if (Crc16(reply) != 0) return {Result(TLinkResult::BadReply), true};
  return {EvaluateIntactReply(reply, request, counters), false};
}

int MapClass8Error(uint8_t e0) {
  return e0 >= 151 ? orClass8First + (255 - e0) : orUnknownRefusal;
}

int MapDeviceError(std::span<const uint8_t, 4> e) {
  switch (e[3]) {
    case 5:
      return orRefusedClass5;
    case 6:
      return e[2] == 1 ? orRefusedClass6Code1 : orRefusedClass6;
    case 8:
      return MapClass8Error(e[0]);
    default:
      return orUnknownRefusal;
  }
}

}  // namespace kalvist
