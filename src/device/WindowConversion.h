// The detonation window in the two units controller firmware takes: whole microseconds,
// or tenths of a crank degree. Converting between them needs the engine speed; the
// conversion dialog and the parameter-file adaptation share these pure functions.
#pragma once

#include <cstdint>

namespace kalvist {

enum class TWindowDirection : uint8_t {
  DegreesToMicroseconds = 0,  // source in tenths of a degree
  MicrosecondsToDegrees = 1,  // source in microseconds
};

// The engine speed field's range, in rpm.
inline constexpr int kMinWindowSpeed = 60;
inline constexpr int kMaxWindowSpeed = 10000;
inline constexpr int kDefaultWindowSpeed = 1500;

// Upper limits of the converted values; there are no lower limits.
struct TWindowLimits {
  int32_t MaxDelayDegrees = 60;  // whole degrees
  int32_t MaxWidthDegrees = 60;
  int32_t MaxDelayMicroseconds = 65535;
  int32_t MaxWidthMicroseconds = 65535;
};

struct TWindowPair {
  int64_t Delay = 0;
  int64_t Width = 0;
  bool operator==(const TWindowPair&) const = default;
};

// Speed / 60, but at least 1 (one crankshaft revolution is 360 degrees whatever the
// stroke).
double RevolutionsPerSecond(int32_t rpm);
// Both round to the nearest integer, a half to the even one.
int64_t DegreesToMicroseconds(int64_t tenthsOfDegree, int32_t rpm);
int64_t MicrosecondsToDegrees(int64_t microseconds, int32_t rpm);
TWindowPair ConvertWindow(TWindowDirection direction, TWindowPair source, int32_t rpm);

// Whether a converted value (in the unit the direction converts to) is above its limit;
// degrees compare as degrees, so 605 tenths is above 60 and 600 is not.
bool DelayAboveLimit(TWindowDirection direction, int64_t converted, const TWindowLimits& limits);
bool WidthAboveLimit(TWindowDirection direction, int64_t converted, const TWindowLimits& limits);
// Each value above its limit becomes the limit (in tenths for degrees).
TWindowPair ClampToLimits(TWindowDirection direction, TWindowPair converted,
                          const TWindowLimits& limits);

// The speed limited to kMinWindowSpeed..kMaxWindowSpeed.
int32_t ClampWindowSpeed(int32_t rpm);

}  // namespace kalvist
