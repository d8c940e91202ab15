#include "SimSoundSignal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kalvist::sim {
namespace {

constexpr double kCentre = 2047;
constexpr double kKnockHz = 6800;
constexpr double kSampleRate = 41000;
constexpr double kDecay = 0.985;  // per sample: the ringing fades within about 300 samples
constexpr int kBurstLength = 400;
constexpr uint32_t kBurstOdds = 3;  // one cycle in this many knocks
constexpr int kBurstWindow = 500;   // bursts start this many samples after the mark at most

}  // namespace

TSimSoundSignal::TSimSoundSignal(uint64_t seed, uint8_t sensor)
    : state_(seed * 0x9E3779B97F4A7C15ull + sensor + 1), noise_(25 + 5 * (sensor % 4)) {}

// xorshift64*: cheap enough for an unthrottled stream.
uint32_t TSimSoundSignal::Random() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
}

void TSimSoundSignal::StartCycle() {
  position_ = 0;
  burstStart_ = -1;
  if (Random() % kBurstOdds != 0) return;
  burstStart_ = 100 + static_cast<int>(Random() % kBurstWindow);
  burstAmplitude_ = 300 + Random() % 1400;
}

// A damped oscillator: y[n] = 2 r cos(w) y[n-1] - r^2 y[n-2], started with one kick.
double TSimSoundSignal::NextBurstValue() {
  if (burstStart_ < 0 || position_ < burstStart_ || position_ >= burstStart_ + kBurstLength) {
    return 0;
  }
  if (position_ == burstStart_) {
    ring2_ = 0;
    ring1_ = burstAmplitude_;
    return ring1_;
  }
  static const double kFeed = 2 * kDecay * std::cos(2 * std::numbers::pi * kKnockHz / kSampleRate);
  const double next = kFeed * ring1_ - kDecay * kDecay * ring2_;
  ring2_ = ring1_;
  ring1_ = next;
  return next;
}

void TSimSoundSignal::Fill(std::span<uint16_t> samples) {
  for (uint16_t& sample : samples) {
    if (position_ == kCycleSamples) StartCycle();
    // Two uniform draws make a triangular noise around the centre.
    const double noise = ((Random() & 0xFFFF) + (Random() & 0xFFFF)) / 65535.0 - 1.0;
    const double value = kCentre + noise * noise_ + NextBurstValue();
    sample = static_cast<uint16_t>(std::clamp(std::lround(value), 0l, 4095l));
    if (position_ == 0) sample |= kSyncBit;
    ++position_;
  }
}

}  // namespace kalvist::sim
