#include <gtest/gtest.h>

#include "ParamRanges.h"
#include "vltZarno.h"

namespace kalvist {
namespace {

TEST(ParamRangesTest, AValueFitsItsObjectOrSaysWhyNot) {
  struct Case {
    int size;
    const char* text;
    std::optional<std::string> reason;
  };
  const Case cases[] = {
      {1, "255", std::nullopt},
      {1, "$FF", std::nullopt},
      {1, "256", "does not fit 0..255"},
      {1, "-1", "does not fit 0..255"},
      {2, "65535", std::nullopt},
      {2, "65536", "does not fit 0..65535"},
      {4, "4294967295", std::nullopt},
      {4, "4294967296", "does not fit 0..4294967295"},
      {4, "-1", "does not fit 0..4294967295"},
      {2, "12.5", "not a whole number; fits 0..65535"},
      {2, "12.0", "not a whole number; fits 0..65535"},
      {2, "", "not a number; fits 0..65535"},
      {2, "twelve", "not a number; fits 0..65535"},
      {16, "fifteen letters", std::nullopt},
      {16, "sixteen letters!", "longer than 15 characters"},
      {3, "1", std::nullopt},  // no typed value: the object refuses it itself
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " bytes, \"" + c.text + "\"");
    EXPECT_EQ(DoesNotFit(TCommObject(1, false, c.size), c.text), c.reason);
  }
}

TEST(ParamRangesTest, ValidRangesFollowThePagesInRawUnits) {
  const TRangeContext microseconds{false, 60, true, 0};
  const TRangeContext degrees{true, 60, false, 2};
  const TRangeContext thirdKind{true, 180, true, 2};
  struct Case {
    const char* name;
    uint16_t id;
    TRangeContext context;
    int64_t min;
    int64_t max;
    std::vector<int64_t> inside;
    std::vector<int64_t> outside;
  };
  const Case cases[] = {
      {"cylinders", idCylinderCount, microseconds, 2, 20, {2, 20}, {0, 1, 21}},
      {"V angle", idAngleV, microseconds, 0, 180, {180}, {181}},
      {"delay in us", idWindowDelay, microseconds, 0, 65535, {65535}, {}},
      {"delay in degrees", idWindowDelay, degrees, 0, 600, {600}, {601}},
      {"delay of the third kind", idWindowDelay, thirdKind, 0, 1800, {1800}, {1801}},
      {"width in degrees", idWindowWidth, thirdKind, 0, 600, {600}, {601}},
      {"attenuation", idAttenuation, microseconds, 0, 1000, {1000}, {1001}},
      {"ramp", idDecreaseRamp, microseconds, 0, 1000, {1000}, {1001}},
      {"delay after reduction", idDelayAfterLoadReduction, microseconds, 0, 254, {254}, {255}},
      {"CAN address", idCANAddress, microseconds, 1, 127, {1, 127}, {0, 128}},
      {"bus speed", idBusSpeed, microseconds, 50, 1000, {50, 125, 1000}, {0, 51, 200, 2000}},
      {"CAN mode", idCANMode, microseconds, 0, 1, {0, 1}, {2}},
      {"channels", idUsedSensors, microseconds, 0, 0xFFFFF, {0xFFFFF}, {0x100000}},
      {"sensors A and B", idSelectSensors, microseconds, 0, 3, {3}, {4}},
      {"angle, 4-stroke", idAlfa1, microseconds, 0, 7200, {7200}, {7201}},
      {"angle, 2-stroke", idBeta1 + 9, degrees, 0, 3600, {3600}, {3601}},
      {"gain", idGain1 + 19, microseconds, 0, 300, {300}, {301}},
      {"knock filter, old range",
       idKnockFilterFrequency,
       microseconds,
       1220,
       10120,
       {1220, 10120},
       {1219, 1221, 10460, 305}},
      {"reference filter, new range",
       idRefFilterFrequency,
       degrees,
       305,
       15070,
       {305, 15070},
       {306}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<TValidRange> range = ValidRange(c.id, c.context);
    ASSERT_TRUE(range.has_value());
    EXPECT_EQ(range->Min, c.min);
    EXPECT_EQ(range->Max, c.max);
    for (const int64_t raw : c.inside) EXPECT_TRUE(range->Contains(raw)) << raw;
    for (const int64_t raw : c.outside) EXPECT_FALSE(range->Contains(raw)) << raw;
  }
  // Objects no page limits.
  for (const uint16_t id : {idSwitches, idImmediateStopLimit, idSetpointsIdName, uint16_t{9999}}) {
    EXPECT_FALSE(ValidRange(id, microseconds).has_value()) << id;
  }
  EXPECT_EQ(ValidRange(idBusSpeed, microseconds)->Text(), "50, 100, 125, 250, 500, 1000");
  EXPECT_EQ(ValidRange(idKnockFilterFrequency, degrees)->Text(),
            "one of 91 listed values in 305..15070");
}

TEST(ParamRangesTest, AValueIsCheckedForItsObjectFirstThenForItsRange) {
  const TCommObject count(idCylinderCount, true, 1);
  const TRangeContext context;
  EXPECT_EQ(CheckValue(count, "CylinderCount", "20", context), std::nullopt);
  const auto unfit = CheckValue(count, "CylinderCount", "300", context);
  ASSERT_TRUE(unfit);
  EXPECT_FALSE(unfit->Fits);
  EXPECT_EQ(unfit->Text(), "CylinderCount=300 (does not fit 0..255)");
  const auto outside = CheckValue(count, "CylinderCount", "21", context);
  ASSERT_TRUE(outside);
  EXPECT_TRUE(outside->Fits);
  EXPECT_EQ(FaultList({*unfit, *outside}),
            "CylinderCount=300 (does not fit 0..255); CylinderCount=21 (outside the valid range "
            "2..20)");
}

}  // namespace
}  // namespace kalvist
