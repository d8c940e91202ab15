#include "WindowConversion.h"

#include <algorithm>
#include <cmath>

namespace kalvist {

namespace {

// Halves go to the even neighbour (the default rounding mode).
int64_t Rounded(double value) {
  return static_cast<int64_t>(std::nearbyint(value));
}

bool ConvertsToDegrees(TWindowDirection direction) {
  return direction == TWindowDirection::MicrosecondsToDegrees;
}

bool AboveLimit(TWindowDirection direction, int64_t converted, int32_t degrees,
                int32_t microseconds) {
  return ConvertsToDegrees(direction) ? converted / 10.0 > degrees : converted > microseconds;
}

int64_t Limit(TWindowDirection direction, int32_t degrees, int32_t microseconds) {
  return ConvertsToDegrees(direction) ? int64_t{degrees} * 10 : microseconds;
}

}  // namespace

double RevolutionsPerSecond(int32_t rpm) {
  return std::max(1.0, rpm / 60.0);
}

int64_t DegreesToMicroseconds(int64_t tenthsOfDegree, int32_t rpm) {
  return Rounded(tenthsOfDegree / 10.0 / (360.0 * RevolutionsPerSecond(rpm)) * 1000000.0);
}

int64_t MicrosecondsToDegrees(int64_t microseconds, int32_t rpm) {
  return Rounded(microseconds / 1000000.0 * 360.0 * RevolutionsPerSecond(rpm) * 10.0);
}

TWindowPair ConvertWindow(TWindowDirection direction, TWindowPair source, int32_t rpm) {
  const auto convert = ConvertsToDegrees(direction) ? MicrosecondsToDegrees : DegreesToMicroseconds;
  return {convert(source.Delay, rpm), convert(source.Width, rpm)};
}

bool DelayAboveLimit(TWindowDirection direction, int64_t converted, const TWindowLimits& limits) {
  return AboveLimit(direction, converted, limits.MaxDelayDegrees, limits.MaxDelayMicroseconds);
}

bool WidthAboveLimit(TWindowDirection direction, int64_t converted, const TWindowLimits& limits) {
  return AboveLimit(direction, converted, limits.MaxWidthDegrees, limits.MaxWidthMicroseconds);
}

TWindowPair ClampToLimits(TWindowDirection direction, TWindowPair converted,
                          const TWindowLimits& limits) {
  if (DelayAboveLimit(direction, converted.Delay, limits)) {
    converted.Delay = Limit(direction, limits.MaxDelayDegrees, limits.MaxDelayMicroseconds);
  }
  if (WidthAboveLimit(direction, converted.Width, limits)) {
    converted.Width = Limit(direction, limits.MaxWidthDegrees, limits.MaxWidthMicroseconds);
  }
  return converted;
}

int32_t ClampWindowSpeed(int32_t rpm) {
  return std::clamp(rpm, kMinWindowSpeed, kMaxWindowSpeed);
}

}  // namespace kalvist
