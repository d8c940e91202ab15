// The controller's frame protocol as pure functions: check code, request building,
// reply delimiting, reply evaluation and the mapping of error replies to operation
// results. Nothing here does I/O or keeps state beyond what the caller passes in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "vltResultCodes.h"

namespace kalvist {

// CRC-16/MODBUS (reflected 0xA001, initial 0xFFFF, no final inversion). Feeding a
// frame in pieces, each call continuing from the previous result, equals feeding it whole.
inline constexpr uint16_t kCrcInitial = 0xFFFF;
uint16_t Crc16(std::span<const uint8_t> bytes, uint16_t crc = kCrcInitial);

inline constexpr int kMaxFrameData = 127;   // data bytes of one frame
inline constexpr int kSegmentData = 126;    // value bytes of one segment
inline constexpr int kRequestOverhead = 9;  // preamble, length, control, sequence, ID, check
inline constexpr int kReplyOverhead = 7;    // length, control, sequence, ID, check
inline constexpr int kMaxRequestSize = kMaxFrameData + kRequestOverhead;  // 136
inline constexpr int kMaxReplySize = kMaxFrameData + kReplyOverhead;      // 134
inline constexpr int kAddressCount = 32;
inline constexpr int kRecoveryFloodSize = 141;  // longer than the longest request

// Link objects with a fixed meaning.
inline constexpr uint16_t kAccessNumberId = 24378;
inline constexpr uint16_t kStopSoundId = 24473;
inline constexpr uint16_t kStartSoundId = 24474;
inline constexpr uint16_t kSoundSensorId = 24475;

enum class TLinkOp : uint8_t { ReadFirst = 0, ReadNext = 1, Write = 2, WriteSegment = 3 };

// Control-byte codes as they travel on the wire.
enum class TRequestCode : uint8_t { ReadFirst = 0, Write = 1, WriteSegment = 2, ReadNext = 3 };
enum class TReplyCode : uint8_t { ReadData = 1, ReadSegment = 2, WriteAck = 3, ErrorReply = 4 };

struct TLinkRequest {
  TLinkOp Op = TLinkOp::ReadFirst;
  uint16_t ObjectID = 0;
  uint8_t Address = 0;
  uint32_t ReplyTimeout = 1000;  // ms
  uint16_t DataLength = 0;
  uint32_t Segment = 0;  // bits 0-6 are sent
  bool LastSegment = false;
  std::array<uint8_t, kMaxFrameData> Data{};
};

// The outcome of one exchange. Data points into the connection's receive buffer
// (or, while sound streams, its block buffer) and is valid only during the event.
struct TLinkReply {
  TLinkResult Code = TLinkResult::NotOpen;
  uint16_t Length = 0;
  const uint8_t* Data = nullptr;
};

using TSegmentCounters = std::array<uint8_t, kAddressCount>;

// ReadFirst resets the address's counter, ReadNext advances it modulo 128; other
// operations leave it alone. Call once per request, before BuildRequest.
void UpdateSegmentCounter(TSegmentCounters& counters, const TLinkRequest& request);

// Writes the request frame into `out` and returns its length (DataLength + 9).
// DataLength above 127 is a contract violation and throws.
size_t BuildRequest(const TLinkRequest& request, std::span<uint8_t, kMaxRequestSize> out);

// How many bytes follow a reply's first (length) byte: N + 6, or 0 for a length
// byte of 128 or more, which is never read further.
int ReplyRemainder(uint8_t lengthByte);

enum class TReception : uint8_t {
  NotOpen,   // the port was closed when the result was formed
  TimedOut,  // the reply did not arrive completely in time
  Complete,  // all N + 7 bytes arrived
};

struct TEvaluation {
  TLinkReply Reply;
  bool Recover = false;  // line recovery is due before the result is passed on
};

// Evaluates a delimited reply against the request that was sent (steps in the
// protocol's order: not open, time-out, check, object ID, reply code).
TEvaluation EvaluateReply(TReception reception, std::span<const uint8_t> reply,
                          const TLinkRequest& request, const TSegmentCounters& counters);

// Maps the four bytes of an error reply (E0..E3) to an operation result.
int MapDeviceError(std::span<const uint8_t, 4> errorBytes);

// The class-8 mapping alone, as sound error blocks use it for their single code byte.
int MapClass8Error(uint8_t e0);

}  // namespace kalvist
