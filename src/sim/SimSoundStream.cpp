#include "SimSoundStream.h"

#include <algorithm>

#include "vltLinkFrame.h"

namespace kalvist::sim {
namespace {

constexpr uint8_t kTypeData = 0;
constexpr uint8_t kTypeStopAck = 1;
constexpr uint8_t kTypeError = 2;
// A client that falls this far behind the pace gets the schedule moved, not a burst.
constexpr auto kMaxLag = std::chrono::milliseconds(100);

struct TStreamFaultName {
  TStreamFaultKind Kind;
  const char* Name;
};

constexpr TStreamFaultName kStreamFaultNames[] = {
    {TStreamFaultKind::SkipCounter, "skip"}, {TStreamFaultKind::CorruptCrc, "crc"},
    {TStreamFaultKind::Garbage, "garbage"},  {TStreamFaultKind::ErrorBlock, "error"},
    {TStreamFaultKind::Silence, "silence"},
};

}  // namespace

std::optional<TStreamFaultKind> StreamFaultKindByName(const std::string& name) {
  for (const TStreamFaultName& n : kStreamFaultNames) {
    if (name == n.Name) return n.Kind;
  }
  return std::nullopt;
}

void BuildSoundBlock(uint8_t header, uint8_t code, std::span<const uint16_t> samples,
                     std::vector<uint8_t>& out) {
  const size_t start = out.size();
  out.resize(start + 6 + 2 * samples.size());
  uint8_t* p = out.data() + start;
  *p++ = 0xFF;
  *p++ = 0xFF;
  *p++ = header;
  *p++ = code;
  for (uint16_t s : samples) {
    *p++ = static_cast<uint8_t>(s & 0xFF);
    *p++ = static_cast<uint8_t>(s >> 8);
  }
  const uint16_t crc = Crc16(std::span(out).subspan(start, out.size() - start - 2));
  *p++ = static_cast<uint8_t>(crc & 0xFF);
  *p = static_cast<uint8_t>(crc >> 8);
}

TSimSoundStream::TSimSoundStream(const TSimOptions& options)
    : sizeCode_(options.SoundSizeCode),
      rate_(options.SoundRate),
      seed_(options.Seed),
      samples_(static_cast<size_t>(options.SoundSizeCode + 1) * 256) {}

void TSimSoundStream::StartOrKeepAlive(uint8_t sensor, TClock::time_point now) {
  lastKeepAlive_ = now;
  if (running_) return;
  running_ = true;
  stopDue_ = false;
  counter_ = 0;
  sent_ = 0;
  start_ = now;
  signal_.emplace(seed_, sensor);
}

void TSimSoundStream::Stop() {
  if (running_) stopDue_ = true;
}

void TSimSoundStream::Reset() {
  running_ = false;
  stopDue_ = false;
}

TSimSoundStream::TClock::time_point TSimSoundStream::DueTime() const {
  if (rate_ == 0 || stopDue_) return start_;
  const auto samples = static_cast<int64_t>(sent_ * samples_.size());
  return start_ + std::chrono::microseconds(samples * 1000000 / rate_);
}

int TSimSoundStream::WaitMs(TClock::time_point now) const {
  if (!running_) return -1;
  const auto lapse = lastKeepAlive_ + std::chrono::milliseconds(kKeepAliveLapseMs);
  const auto wake = std::min(DueTime(), lapse);
  if (wake <= now) return 0;
  // Rounded up, so that the wake-up never comes before the due time.
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wake - now).count());
}

bool TSimSoundStream::Next(TClock::time_point now, std::vector<uint8_t>& out) {
  out.clear();
  if (!running_) return false;
  if (stopDue_) {
    AppendEnd(kTypeStopAck, 0, out);
    ++stopAcks_;
    return true;
  }
  if (now - lastKeepAlive_ >= std::chrono::milliseconds(kKeepAliveLapseMs)) {
    running_ = false;  // the client has forgotten us: stop without a word
    return false;
  }
  const auto due = DueTime();
  if (due > now) return false;
  if (now - due > kMaxLag) start_ += now - due;
  AppendDataBlock(out);
  return !out.empty();
}

void TSimSoundStream::AppendDataBlock(std::vector<uint8_t>& out) {
  bool corrupt = false;
  if (!faults_.empty()) {
    const TStreamFault fault = faults_.front();
    faults_.pop_front();
    switch (fault.Kind) {
      case TStreamFaultKind::SkipCounter:
        ++counter_;
        break;
      case TStreamFaultKind::CorruptCrc:
        corrupt = true;
        break;
      case TStreamFaultKind::Garbage:
        out.insert(out.end(), std::begin(kGarbage), std::end(kGarbage));
        break;
      case TStreamFaultKind::ErrorBlock:
        return AppendEnd(kTypeError, fault.Code, out);
      case TStreamFaultKind::Silence:
        running_ = false;
        return;
    }
  }
  signal_->Fill(samples_);
  BuildSoundBlock(static_cast<uint8_t>(kTypeData | (sizeCode_ << 3)), counter_++, samples_, out);
  if (corrupt) out.back() ^= 0xFF;
  ++sent_;
  ++dataBlocks_;
}

void TSimSoundStream::AppendEnd(uint8_t type, uint8_t code, std::vector<uint8_t>& out) {
  BuildSoundBlock(type, code, {}, out);
  running_ = false;
  stopDue_ = false;
}

}  // namespace kalvist::sim
