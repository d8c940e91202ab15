// The sound stream reader: the eight phases that cut the controller's stream into
// blocks, hunting for a stop acknowledgement for at most 3000 ms after a bad block.
//
// Pure and incremental: the I/O thread reads exactly Wanted() bytes into Target()
// (or fails to within the read time-out) and reports that with Step(). The reader
// answers what to do: read on, deliver the block, or deliver a failure and stop.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "vltLinkFrame.h"

namespace kalvist {

enum class TSoundBlockType : uint8_t { Data = 0, StopAck = 1, Error = 2 };

inline constexpr size_t kMaxSoundBlock = 8198;  // (15 + 1) * 512 + 6
inline constexpr uint32_t kSoundReadTimeout = 1000;
inline constexpr uint32_t kSoundResyncWindow = 3000;

// Total length S of a block from its header byte; 0 for an invalid type.
size_t SoundBlockLength(uint8_t header);

class TSoundReader {
 public:
  enum class TPhase : uint8_t {
    Preamble0,   // 0
    Preamble1,   // 1
    Header,      // 2
    Rest,        // 3
    Hunt0,       // 4
    Hunt1,       // 5
    HuntHeader,  // 6
    HuntRest,    // 7
  };

  enum class TAction : uint8_t {
    Read,            // read Wanted() bytes into Target()
    DeliverBlock,    // hand the block over (code Ok); then call AfterDelivery
    DeliverBad,      // hand over BadReply; the reader then hunts (call AfterDelivery)
    DeliverTimeout,  // hand over Timeout; the stream has ended from the reader's side
    Stop,            // read nothing more (after a stop acknowledgement or an error block)
  };

  // Starts at phase 0, expecting the first preamble byte.
  void Start();
  TAction Step(bool error, uint64_t nowMs);
  // After DeliverBlock or DeliverBad: `resync` when the operator asked for it by
  // setting a non-zero code (a bad block resynchronises anyway). Never called after
  // DeliverTimeout.
  TAction AfterDelivery(bool resync, uint64_t nowMs);

  size_t Wanted() const { return wanted_; }
  uint8_t* Target() { return block_.data() + offset_; }
  const uint8_t* Block() const { return block_.data(); }
  size_t BlockLength() const { return length_; }
  TSoundBlockType BlockType() const { return static_cast<TSoundBlockType>(block_[2] & 0x07); }

 private:
  TAction ReadAt(TPhase phase, size_t offset, size_t count);
  TAction Resynchronise(uint64_t nowMs);
  TAction HuntOn(uint64_t nowMs);
  TAction AfterHeader(TPhase rest, bool hunting, uint64_t nowMs);
  TAction Decide(bool error, uint64_t nowMs);

  alignas(2) std::array<uint8_t, kMaxSoundBlock + 2> block_{};
  TPhase phase_ = TPhase::Preamble0;
  size_t offset_ = 0;
  size_t wanted_ = 1;
  size_t length_ = 0;
  uint64_t resyncStart_ = 0;
  TAction last_ = TAction::Read;
};

}  // namespace kalvist
