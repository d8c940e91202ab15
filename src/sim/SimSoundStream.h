// The controller's sound stream. A write of 24474 starts it (for the sensor last
// written to 24475) and, while it runs, keeps it alive; a write of 24473 ends it with a
// stop acknowledgement. Without a keep-alive for kKeepAliveLapseMs it ends by itself,
// silently. Data blocks carry (k + 1) * 256 samples and a packet counter from 0
// (modulo 256); they go out as fast as the client reads (SoundRate 0) or paced to
// SoundRate samples per second.
//
// Faults act on the next block: a skipped counter value, a broken check, garbage bytes
// before it, an error block (which ends the stream) or silence (the stream ends
// without another byte). Not thread-safe: the simulator guards it.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "SimOptions.h"
#include "SimSoundSignal.h"

namespace kalvist::sim {

enum class TStreamFaultKind { SkipCounter, CorruptCrc, Garbage, ErrorBlock, Silence };

// The names the control commands use ("skip", "crc", ...); nullopt for others.
std::optional<TStreamFaultKind> StreamFaultKindByName(const std::string& name);

struct TStreamFault {
  TStreamFaultKind Kind = TStreamFaultKind::Silence;
  uint8_t Code = 0;  // ErrorBlock: byte 3 of the error block
};

// A stream block with its check: type 0 carries `samples`, types 1 and 2 the code.
void BuildSoundBlock(uint8_t header, uint8_t code, std::span<const uint16_t> samples,
                     std::vector<uint8_t>& out);

class TSimSoundStream {
 public:
  using TClock = std::chrono::steady_clock;
  static constexpr uint32_t kKeepAliveLapseMs = 2000;
  static constexpr uint8_t kGarbage[] = {0x00, 0x13, 0x37, 0xA5, 0x5A};

  explicit TSimSoundStream(const TSimOptions& options);

  // A write of 24474: starts the stream, or keeps it alive while it runs.
  void StartOrKeepAlive(uint8_t sensor, TClock::time_point now);
  // A write of 24473: the next output is the stop acknowledgement.
  void Stop();
  // The client has gone: no more output, faults kept.
  void Reset();
  void Inject(const TStreamFault& fault) { faults_.push_back(fault); }
  void ClearFaults() { faults_.clear(); }

  bool Running() const { return running_; }
  // Milliseconds until output is due, -1 while nothing will be.
  int WaitMs(TClock::time_point now) const;
  // The output due now into `out` (emptied first); false when nothing is due.
  bool Next(TClock::time_point now, std::vector<uint8_t>& out);

  uint64_t DataBlocks() const { return dataBlocks_; }
  uint64_t StopAcks() const { return stopAcks_; }

 private:
  TClock::time_point DueTime() const;
  void AppendDataBlock(std::vector<uint8_t>& out);
  void AppendEnd(uint8_t type, uint8_t code, std::vector<uint8_t>& out);

  const uint8_t sizeCode_;
  const uint32_t rate_;
  const uint64_t seed_;
  bool running_ = false;
  bool stopDue_ = false;
  uint8_t counter_ = 0;
  uint64_t sent_ = 0;  // data blocks of this stream, for the pacing
  TClock::time_point start_{};
  TClock::time_point lastKeepAlive_{};
  std::optional<TSimSoundSignal> signal_;
  std::vector<uint16_t> samples_;
  std::deque<TStreamFault> faults_;
  uint64_t dataBlocks_ = 0;
  uint64_t stopAcks_ = 0;
};

}  // namespace kalvist::sim
