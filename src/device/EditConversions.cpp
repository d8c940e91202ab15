#include "EditConversions.h"

#include <array>
#include <cmath>

#include "BitUtils.h"

namespace kalvist {

namespace {

using C = TEditConversion;
using F = TEditFamily;

constexpr double kWide = 65535.0;

// In the order SetObjectTags goes through them.
constexpr std::array<TEditSpec, 13> kBoundEdits{{
    {"seDiagOutput", 10344, C::TenthsTruncated, F::Plain, 1, 0, 0, 100.0, kWide, true, 0.1},
    {"seCylinderCount", 10340, C::Whole, F::Plain, 0, 2, 2, 20, 20, false, 1},
    {"seAngleV", 10341, C::Whole, F::Plain, 0, 0, 0, 180, kWide, true, 1},
    // In degrees the window edits' valid range narrows (the pages set it by the unit).
    {"seWindowDelay", 10293, C::Window, F::Plain, 0, 0, 0, kWide, kWide, true, 1},
    {"seWindowWidth", 10294, C::Window, F::Plain, 0, 0, 0, kWide, kWide, true, 1},
    {"seAttenuation", 10297, C::Thousandths, F::Plain, 3, 0, 0, 1.0, 65.535, true, 0.001},
    {"seIgnitionReductionLimit", 10299, C::Percent255, F::Plain, 1, 0, 0, 100, 100, false, 0.1},
    {"seImmediateStopLimit", 10304, C::Percent255, F::Plain, 1, 0, 0, 100, 100, false, 0.1},
    {"seDecreaseRamp", 10300, C::Tenths, F::Plain, 1, 0, 0, 100.0, kWide, true, 0.1},
    {"seTimingReductionGain", 10301, C::Tenths, F::Plain, 1, 0, 0, 100.0, kWide, true, 0.1},
    {"seMaximumOutputValue", 10302, C::Tenths, F::Plain, 1, 0, 0, 100.0, kWide, true, 0.1},
    {"seDelayAfterLoadReduction", 10303, C::Tenths, F::Plain, 1, 0, 0, 25.4, kWide, true, 0.1},
    // A CAN address of 0 from the controller is shown (and marked); typed, 1 is the least.
    {"seCanAddr", 10306, C::Whole, F::Plain, 0, 0, 1, 127, 255, true, 1},
}};

constexpr uint16_t kAngleTagBase = 10272;
constexpr uint16_t kGainTagBase = 11042;
constexpr double kAngleRestingMaximum = 6553.5;

int64_t Rounded(double value) {
  return static_cast<int64_t>(std::nearbyint(value));  // halves to even
}

int64_t TenthsTruncated(double shown) {
  return static_cast<int64_t>(shown * 10 + 0.01);
}

}  // namespace

std::span<const TEditSpec> BoundEditSpecs() {
  return kBoundEdits;
}

TEditSpec AngleEditSpec(int n) {
  return {"seAngle",
          static_cast<uint16_t>(kAngleTagBase + n),
          C::TenthsTruncated,
          F::Angle,
          1,
          0,
          0,
          720.0,
          kAngleRestingMaximum,
          true,
          0.1};
}

TEditSpec GainEditSpec(int n) {
  return {"seGain",
          static_cast<uint16_t>(kGainTagBase + n),
          C::Truncated,
          F::Gain,
          0,
          0,
          0,
          300.0,
          kAngleRestingMaximum,
          true,
          1};
}

int AngleEditOfObject(uint16_t id) {
  // Alfa k is channel 2k - 1, Beta k channel 2k.
  return id < 10283 ? 2 * (id - 10273) + 1 : 2 * (id - 10283) + 2;
}

uint16_t AngleObjectOfEdit(int n) {
  const int t = kAngleTagBase + n;
  return static_cast<uint16_t>(n % 2 == 1 ? t - (t - 10273) / 2 : t + 10 - (t - 10272) / 2);
}

double ShownValue(TEditConversion conversion, int64_t raw, bool degrees) {
  switch (conversion) {
    case C::Window:
      return degrees ? raw / 10.0 : static_cast<double>(raw);
    case C::Thousandths:
      return raw / 1000.0;
    case C::Percent255:
      return raw == 255 ? 100.0 : ByteToPercent(static_cast<uint8_t>(raw));
    case C::Tenths:
    case C::TenthsTruncated:
      return raw / 10.0;
    case C::Whole:
    case C::Truncated:
      break;
  }
  return static_cast<double>(raw);
}

int64_t RawValue(TEditConversion conversion, double shown, bool degrees) {
  switch (conversion) {
    case C::Whole:
      return Rounded(shown);
    case C::Window:
      return degrees ? TenthsTruncated(shown) : Rounded(shown);
    case C::Thousandths:
      return Rounded(shown * 1000);
    case C::Percent255:
      return PercentToByte(shown);
    case C::Tenths:
      return Rounded(shown * 10);
    case C::TenthsTruncated:
      return TenthsTruncated(shown);
    case C::Truncated:
      break;
  }
  return static_cast<int64_t>(shown);
}

bool OutOfRange(const TEditSpec& def, double shown, double editingMaximum) {
  return def.Marked && (shown < def.EditingMinimum || shown > editingMaximum);
}

double DefaultFiringAngle(int n, int cylinders, double maxAngle) {
  const double step = maxAngle / cylinders;
  if (step == std::trunc(step)) return (n - 1) * step;
  return static_cast<double>(Rounded((n - 1) * step * 10)) / 10;
}

}  // namespace kalvist
