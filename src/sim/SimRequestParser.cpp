#include "SimRequestParser.h"

#include "vltLinkFrame.h"

namespace kalvist::sim {
namespace {

constexpr uint8_t kPreambleByte = 0xFF;
constexpr int kPreambleSize = 2;
constexpr size_t kHeaderAfterPreamble = 5;  // length, control, sequence, object ID

size_t FrameSizeAfterPreamble(uint8_t length) {
  return length + kRequestOverhead - kPreambleSize;
}

}  // namespace

void TRequestParser::Feed(std::span<const uint8_t> bytes, std::vector<TSimRequest>& out) {
  for (uint8_t b : bytes) Step(b, out);
}

void TRequestParser::Reset() {
  state_ = TState::Hunt;
  ffRun_ = 0;
  frame_.clear();
}

void TRequestParser::Step(uint8_t byte, std::vector<TSimRequest>& out) {
  switch (state_) {
    case TState::Hunt:
      if (byte == kPreambleByte) state_ = TState::Preamble;
      return;
    case TState::Preamble:
      if (byte == kPreambleByte) {
        state_ = TState::Length;
        ffRun_ = kPreambleSize;
      } else {
        state_ = TState::Hunt;
      }
      return;
    case TState::Length:
      StepLength(byte);
      return;
    case TState::Body:
      frame_.push_back(byte);
      if (frame_.size() == FrameSizeAfterPreamble(frame_[0])) FinishFrame(out);
      return;
  }
}

void TRequestParser::StepLength(uint8_t byte) {
  if (byte == kPreambleByte) {
    if (++ffRun_ == kPreambleSize + 1) ++floods_;
    return;
  }
  ffRun_ = 0;
  if (byte > kMaxFrameData) {
    state_ = TState::Hunt;
    return;
  }
  frame_.assign(1, byte);
  state_ = TState::Body;
}

void TRequestParser::FinishFrame(std::vector<TSimRequest>& out) {
  state_ = TState::Hunt;
  if (Crc16(frame_) != 0) {
    ++badChecks_;
    const std::vector<uint8_t> rest(frame_.begin() + 1, frame_.end());
    frame_.clear();
    Feed(rest, out);
    return;
  }
  TSimRequest request;
  request.Code = frame_[1] & 0x07;
  request.Address = frame_[1] >> 3;
  request.Sequence = frame_[2];
  request.ObjectID = static_cast<uint16_t>(frame_[3] | (frame_[4] << 8));
  request.Data.assign(frame_.begin() + kHeaderAfterPreamble, frame_.end() - 2);
  out.push_back(std::move(request));
  frame_.clear();
}

}  // namespace kalvist::sim
