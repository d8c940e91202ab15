#include <gtest/gtest.h>

#include "WindowConversion.h"

namespace kalvist {
namespace {

constexpr auto kToMicroseconds = TWindowDirection::DegreesToMicroseconds;
constexpr auto kToDegrees = TWindowDirection::MicrosecondsToDegrees;

TEST(WindowConversionTest, ConvertsBothWaysWithTheSpeed) {
  struct Case {
    TWindowDirection direction;
    int64_t source;
    int32_t rpm;
    int64_t expected;
  };
  const Case cases[] = {
      {kToMicroseconds, 100, 1500, 1111},  // 10.0 degrees at 25 revolutions per second
      {kToMicroseconds, 200, 1500, 2222},
      {kToDegrees, 1000, 1500, 90},
      {kToDegrees, 2222, 1500, 200},
      {kToMicroseconds, 600, 60, 166667},  // one revolution per second
      {kToMicroseconds, 600, 30, 166667},  // never below one revolution per second
      {kToMicroseconds, 600, 0, 166667},
      {kToDegrees, 250, 1500, 22},  // 22.5: the half goes to the even neighbour
      {kToDegrees, 350, 1500, 32},  // 31.5
      {kToDegrees, 0, 10000, 0},
      {kToMicroseconds, 0, 60, 0},
      {kToDegrees, 65535, 10000, 39321},
  };
  for (const Case& c : cases) {
    const TWindowPair converted = ConvertWindow(c.direction, {c.source, 0}, c.rpm);
    EXPECT_EQ(converted.Delay, c.expected) << c.source << " at " << c.rpm;
    EXPECT_EQ(ConvertWindow(c.direction, {0, c.source}, c.rpm).Width, c.expected);
  }
}

TEST(WindowConversionTest, OnlyValuesAboveTheirLimitAreClamped) {
  const TWindowLimits limits{180, 60, 65535, 65535};
  // Degrees compare as degrees: 60.5 is above 60, 60.0 is not.
  EXPECT_EQ(ClampToLimits(kToDegrees, {1801, 605}, limits), (TWindowPair{1800, 600}));
  EXPECT_EQ(ClampToLimits(kToDegrees, {1800, 600}, limits), (TWindowPair{1800, 600}));
  EXPECT_TRUE(WidthAboveLimit(kToDegrees, 601, limits));
  EXPECT_FALSE(DelayAboveLimit(kToDegrees, 1800, limits));
  EXPECT_EQ(ClampToLimits(kToMicroseconds, {166667, 65535}, limits), (TWindowPair{65535, 65535}));
  EXPECT_TRUE(DelayAboveLimit(kToMicroseconds, 65536, limits));
  EXPECT_FALSE(WidthAboveLimit(kToMicroseconds, 65535, limits));
}

TEST(WindowConversionTest, SpeedIsKeptInItsRange) {
  EXPECT_EQ(ClampWindowSpeed(59), 60);
  EXPECT_EQ(ClampWindowSpeed(60), 60);
  EXPECT_EQ(ClampWindowSpeed(10001), 10000);
  EXPECT_EQ(ClampWindowSpeed(1500), 1500);
}

}  // namespace
}  // namespace kalvist
