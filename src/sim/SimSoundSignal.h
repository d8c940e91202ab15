// A knock sensor's raw signal as the controller samples it: 12-bit values around 2047
// with noise, now and then a knock burst (a decaying ringing in the knock band) after
// the top dead centre, and bit 15 set on the first sample of every engine cycle. The
// same seed and sensor give the same signal.
#pragma once

#include <cstdint>
#include <span>

namespace kalvist::sim {

class TSimSoundSignal {
 public:
  static constexpr int kCycleSamples = 3280;  // 1500 rpm, four strokes, 41000 samples/s
  static constexpr uint16_t kSyncBit = 0x8000;

  TSimSoundSignal(uint64_t seed, uint8_t sensor);

  void Fill(std::span<uint16_t> samples);

 private:
  uint32_t Random();
  void StartCycle();
  double NextBurstValue();

  uint64_t state_;
  double noise_;         // peak noise in counts
  int position_ = 0;     // sample within the engine cycle
  int burstStart_ = -1;  // sample of this cycle's burst, -1 without one
  double burstAmplitude_ = 0;
  double ring1_ = 0;  // the two last values of the ringing
  double ring2_ = 0;
};

}  // namespace kalvist::sim
