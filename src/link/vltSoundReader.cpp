#include "vltSoundReader.h"

namespace kalvist {

size_t SoundBlockLength(uint8_t header) {
  switch (static_cast<TSoundBlockType>(header & 0x07)) {
    case TSoundBlockType::Data:
      return (((header >> 3) & 0x0F) + 1u) * 512u + 6u;
    case TSoundBlockType::StopAck:
    case TSoundBlockType::Error:
      return 6;
  }
  return 0;
}

void TSoundReader::Start() {
  ReadAt(TPhase::Preamble0, 0, 1);
}

TSoundReader::TAction TSoundReader::ReadAt(TPhase phase, size_t offset, size_t count) {
  phase_ = phase;
  offset_ = offset;
  wanted_ = count;
  return TAction::Read;
}

TSoundReader::TAction TSoundReader::Resynchronise(uint64_t nowMs) {
  resyncStart_ = nowMs;
  return ReadAt(TPhase::Hunt0, 0, 1);
}

TSoundReader::TAction TSoundReader::HuntOn(uint64_t nowMs) {
  if (nowMs - resyncStart_ < kSoundResyncWindow) return ReadAt(TPhase::Hunt0, 0, 1);
  return TAction::DeliverTimeout;
}

TSoundReader::TAction TSoundReader::AfterHeader(TPhase rest, bool hunting, uint64_t nowMs) {
  length_ = SoundBlockLength(block_[2]);
  if (length_ == 0) {
    if (hunting) return HuntOn(nowMs);
    return TAction::DeliverBad;
  }
  return ReadAt(rest, 3, length_ - 3);
}

TSoundReader::TAction TSoundReader::Step(bool error, uint64_t nowMs) {
  last_ = Decide(error, nowMs);
  return last_;
}

TSoundReader::TAction TSoundReader::Decide(bool error, uint64_t nowMs) {
  if (error) return TAction::DeliverTimeout;
  const uint8_t byte = block_[offset_];
  switch (phase_) {
    case TPhase::Preamble0:
      return byte == 0xFF ? ReadAt(TPhase::Preamble1, 1, 1) : TAction::DeliverBad;
    case TPhase::Preamble1:
      return byte == 0xFF ? ReadAt(TPhase::Header, 2, 1) : TAction::DeliverBad;
    case TPhase::Header:
      return AfterHeader(TPhase::Rest, false, nowMs);
    case TPhase::Rest:
      if (Crc16({block_.data(), length_}) != 0) return TAction::DeliverBad;
      block_[2] &= 0x07;  // the operator sees the block type alone
      return TAction::DeliverBlock;
    case TPhase::Hunt0:
      return byte == 0xFF ? ReadAt(TPhase::Hunt1, 1, 1) : HuntOn(nowMs);
    case TPhase::Hunt1:
      return byte == 0xFF ? ReadAt(TPhase::HuntHeader, 2, 1) : HuntOn(nowMs);
    case TPhase::HuntHeader:
      return AfterHeader(TPhase::HuntRest, true, nowMs);
    case TPhase::HuntRest:
      if (Crc16({block_.data(), length_}) == 0 && BlockType() == TSoundBlockType::StopAck) {
        block_[2] &= 0x07;
        return TAction::DeliverBlock;
      }
      return HuntOn(nowMs);
  }
  return TAction::DeliverBad;
}

TSoundReader::TAction TSoundReader::AfterDelivery(bool resync, uint64_t nowMs) {
  if (phase_ == TPhase::HuntRest) return TAction::Stop;  // the stop acknowledgement came
  if (last_ == TAction::DeliverBad || resync) return Resynchronise(nowMs);
  if (BlockType() == TSoundBlockType::Data) return ReadAt(TPhase::Preamble0, 0, 1);
  return TAction::Stop;
}

}  // namespace kalvist
