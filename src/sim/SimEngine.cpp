#include "SimEngine.h"

#include <algorithm>

#include "vltZarnoParams.h"

namespace kalvist::sim {
namespace {

constexpr int kQuietLevel = 40;  // about 16 %
constexpr int kQuietMin = 10;
constexpr int kQuietMax = 90;
constexpr uint32_t kBurstOdds = 40;  // one step in this many starts a burst
constexpr int kBurstMin = 150;
constexpr int kBurstDecay = 25;  // per step
constexpr int kOutputRise = 16;
constexpr int kOutputFall = 4;
constexpr uint8_t kStatusKnocking = 0x01;
constexpr uint8_t kStatusTrip = 0x02;
constexpr uint8_t kStatusReduction = 0x04;

}  // namespace

TSimEngine::TSimEngine(uint64_t seed, int channels)
    : random_(static_cast<uint32_t>(seed ^ (seed >> 32))),
      channels_(std::clamp(channels, 1, kChannels)) {
  quiet_.fill(kQuietLevel);
}

uint32_t TSimEngine::Below(uint32_t bound) {
  return random_() % bound;
}

void TSimEngine::Wander() {
  for (int& level : quiet_) {
    const int drift = static_cast<int>(Below(7)) - 3;
    const int pull = (kQuietLevel - level) / 8;
    level = std::clamp(level + drift + pull, kQuietMin, kQuietMax);
  }
  for (int& level : burst_) level = std::max(0, level - kBurstDecay);
}

void TSimEngine::MaybeStartBurst(int fitted) {
  if (Below(kBurstOdds) != 0) return;
  const int channel = static_cast<int>(Below(static_cast<uint32_t>(fitted)));
  burst_[channel] = kBurstMin + static_cast<int>(Below(256 - kBurstMin));
}

uint8_t TSimEngine::Intensity(int channel) const {
  return static_cast<uint8_t>(std::max(quiet_[channel], burst_[channel]));
}

void TSimEngine::Step(TSimObjectStore& store) {
  const int fitted = std::min(
      channels_, std::clamp(static_cast<int>(store.Number(idCylinderCount)), 1, kChannels));
  Wander();
  MaybeStartBurst(fitted);

  const uint32_t used = store.Number(idUsedSensors) & ~store.Number(idBadSensors);
  std::vector<uint8_t> intensities(kChannels, 0);
  for (int c = 0; c < fitted; ++c) {
    if (used & (1u << c)) intensities[c] = Intensity(c);
  }
  store.Store(idKnockIntensity, intensities);

  const int highest = *std::max_element(intensities.begin(), intensities.end());
  const bool knocking = highest >= static_cast<int>(store.Number(idIgnitionReductionLimit));
  const bool trip = highest >= static_cast<int>(store.Number(idImmediateStopLimit));
  output_ = trip ? 255 : std::clamp(output_ + (knocking ? kOutputRise : -kOutputFall), 0, 255);
  store.SetNumber(idRegulationOutput, static_cast<uint32_t>(output_));

  const uint8_t kept = static_cast<uint8_t>(store.Number(idStatus) &
                                            ~(kStatusKnocking | kStatusTrip | kStatusReduction));
  const uint8_t status = kept | (knocking ? kStatusKnocking : 0) | (trip ? kStatusTrip : 0) |
                         (output_ > 0 ? kStatusReduction : 0);
  store.SetNumber(idStatus, status);
}

}  // namespace kalvist::sim
