// A plausible engine behind the live objects. Each step moves the knock intensity of
// every fitted cylinder a little around a quiet level and now and then starts a knock
// burst on one cylinder; the regulation output rises while the highest intensity is at
// or above "IgnitionReduction Limit", goes to full at or above "ImmediateStopLimit"
// and falls back otherwise; the status bits
// "ENGINE KNOCKING" (bit 0), "TRIP" (bit 1, at or above "ImmediateStopLimit") and
// "REDUCTION" (bit 2, output above 0) follow. Channels beyond the cylinder count, not
// in "UsedSensors" or marked in the bad-sensor word read 0; the bad-sensor word and the
// other status bits are left as they were set. The same seed gives the same steps.
#pragma once

#include <array>
#include <cstdint>
#include <random>

#include "SimObjectStore.h"

namespace kalvist::sim {

class TSimEngine {
 public:
  TSimEngine(uint64_t seed, int channels);  // channels: 20, or 2 on the 2-sensor unit

  void Step(TSimObjectStore& store);

 private:
  static constexpr int kChannels = 20;

  uint32_t Below(uint32_t bound);  // 0 .. bound-1
  void Wander();
  void MaybeStartBurst(int fitted);
  uint8_t Intensity(int channel) const;

  std::mt19937 random_;
  const int channels_;
  std::array<int, kChannels> quiet_{};  // quiet level per channel, 0..255
  std::array<int, kChannels> burst_{};  // current burst level, decays to 0
  int output_ = 0;
};

}  // namespace kalvist::sim
