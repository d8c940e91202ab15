#include "EditConversions.h"

#include <gtest/gtest.h>

#include <string>

using namespace kalvist;

namespace {

const TEditSpec& Def(std::string_view name) {
  for (const TEditSpec& def : BoundEditSpecs()) {
    if (name == def.Name) return def;
  }
  throw std::runtime_error("no edit " + std::string(name));
}

struct TConversionCase {
  const char* Edit;
  bool Degrees;
  int64_t Raw;        // from the controller
  double Shown;       // what the edit shows
  double Typed;       // what the user commits
  int64_t Committed;  // what is written
};

// One row or more per edit: the shown value of a raw one and the raw value of a typed one.
const TConversionCase kConversions[] = {
    {"seCylinderCount", false, 6, 6, 7, 7},
    {"seAngleV", false, 400, 400, 90, 90},
    {"seWindowDelay", false, 1000, 1000, 1234, 1234},
    {"seWindowDelay", true, 23, 2.3, 2.3, 23},  // (2.3 x 10 + 0.01) truncated, not 22
    {"seWindowWidth", true, 300, 30.0, 59.9, 599},
    {"seAttenuation", false, 1500, 1.5, 1.0, 1000},
    {"seAttenuation", false, 1, 0.001, 0.0625, 62},  // a half goes to the even one
    {"seIgnitionReductionLimit", false, 76, 76 * 100.0 / 255, 29.8, 76},
    {"seImmediateStopLimit", false, 255, 100.0, 100.0, 255},
    {"seImmediateStopLimit", false, 0, 0.0, 0.1, 0},
    {"seDecreaseRamp", false, 234, 23.4, 23.4, 234},
    {"seTimingReductionGain", false, 1000, 100.0, 0.25, 2},  // 2.5 to even
    {"seMaximumOutputValue", false, 65535, 6553.5, 0.75, 8},
    {"seDelayAfterLoadReduction", false, 254, 25.4, 25.4, 254},
    {"seCanAddr", false, 0, 0, 127, 127},
    {"seDiagOutput", false, 1001, 100.1, 2.3, 23},
};

}  // namespace

TEST(EditConversions, EveryEditBothWays) {
  for (const TConversionCase& c : kConversions) {
    SCOPED_TRACE(std::string(c.Edit) + (c.Degrees ? " (degrees)" : ""));
    const TEditSpec& def = Def(c.Edit);
    EXPECT_NEAR(ShownValue(def.Conversion, c.Raw, c.Degrees), c.Shown, 1e-9);
    EXPECT_EQ(RawValue(def.Conversion, c.Typed, c.Degrees), c.Committed);
  }
}

TEST(EditConversions, AnglesAndGains) {
  const TEditSpec angle = AngleEditSpec(3);
  EXPECT_EQ(angle.Id, 10275);
  EXPECT_EQ(ShownValue(angle.Conversion, 1029, false), 102.9);
  EXPECT_EQ(RawValue(angle.Conversion, 102.9, false), 1029);
  const TEditSpec gain = GainEditSpec(20);
  EXPECT_EQ(gain.Id, 11062);
  EXPECT_EQ(RawValue(gain.Conversion, 250.9, false), 250);  // truncated
}

TEST(EditConversions, AngleEditsCarryAlfaAndBetaInTurn) {
  for (int n = 1; n <= 20; ++n) {
    SCOPED_TRACE(n);
    const uint16_t expected = n % 2 == 1 ? 10272 + (n + 1) / 2 : 10282 + n / 2;
    EXPECT_EQ(AngleObjectOfEdit(n), expected);
    EXPECT_EQ(AngleEditOfObject(expected), n);
  }
}

TEST(EditConversions, MarkingFollowsTheValidRange) {
  struct TCase {
    const char* Edit;
    double Shown;
    bool Marked;
  };
  const TCase cases[] = {
      {"seAngleV", 180, false},
      {"seAngleV", 181, true},
      {"seAttenuation", 1.0, false},
      {"seAttenuation", 1.5, true},
      {"seCanAddr", 0, true},
      {"seCanAddr", 1, false},
      {"seCanAddr", 128, true},
      {"seDecreaseRamp", 100.1, true},
      {"seDelayAfterLoadReduction", 25.4, false},
      {"seDelayAfterLoadReduction", 25.5, true},
      {"seWindowDelay", 65535, false},
      {"seImmediateStopLimit", 100, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Edit) + " " + std::to_string(c.Shown));
    const TEditSpec& def = Def(c.Edit);
    EXPECT_EQ(OutOfRange(def, c.Shown, def.EditingMaximum), c.Marked);
  }
}

TEST(EditConversions, DefaultFiringAngles) {
  struct TCase {
    int Cylinders;
    double MaxAngle;
    std::vector<double> First;
  };
  const TCase cases[] = {
      {6, 720, {0, 120, 240, 360, 480, 600, 720, 840}},
      {7, 720, {0, 102.9, 205.7, 308.6, 411.4, 514.3, 617.1, 720}},
      {6, 360, {0, 60, 120, 180, 240, 300, 360}},
      {7, 360, {0, 51.4, 102.9, 154.3, 205.7, 257.1, 308.6, 360}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Cylinders) + " cylinders, " + std::to_string(c.MaxAngle));
    for (size_t i = 0; i < c.First.size(); ++i) {
      EXPECT_NEAR(DefaultFiringAngle(static_cast<int>(i) + 1, c.Cylinders, c.MaxAngle), c.First[i],
                  1e-9);
    }
  }
}
