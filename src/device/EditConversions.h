// The numeric edits of the configuration pages as data: which object each shows, its
// ranges, how a raw value becomes the shown one and back, and when the shown value is
// marked as out of range. The pages build one edit per entry; the arithmetic lives here
// so that it is the same wherever a shown value turns into a raw one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace kalvist {

enum class TEditConversion : uint8_t {
  Whole,            // shown r; raw v (cylinder count, V-angle, CAN address)
  Window,           // microseconds: r and v; degrees: r / 10 and (v * 10 + 0.01) truncated
  Thousandths,      // r / 1000; v * 1000 rounded
  Percent255,       // r * 100 / 255 (255 exactly 100); v / (100/255) rounded, at most 255
  Tenths,           // r / 10; v * 10 rounded
  TenthsTruncated,  // r / 10; (v * 10 + 0.01) truncated (diagnostic output, firing angles)
  Truncated,        // r; v truncated (input gains)
};

// Which edit protocol variant an edit follows.
enum class TEditFamily : uint8_t { Plain, Angle, Gain };

struct TEditSpec {
  const char* Name;  // the edit's name on the form
  uint16_t Id;       // object shown; the edit's tag
  TEditConversion Conversion;
  TEditFamily Family;
  int Decimals;
  double Minimum;         // lower limit while at rest
  double EditingMinimum;  // lower limit while the edit has the focus
  double EditingMaximum;  // the valid range's top; in force while the edit has the focus
  double RestingMaximum;  // wide enough for any raw value the controller may hold
  bool Marked;            // a value outside the valid range shows yellow
  double SingleStep;
};

// The thirteen edits bound at start-up, in the order their tags are set.
std::span<const TEditSpec> BoundEditSpecs();
// The firing-angle edit N (1..20; its object is Alfa or Beta) and the gain edit N.
TEditSpec AngleEditSpec(int n);
TEditSpec GainEditSpec(int n);
// The angle edit number (1..20) that shows object `id` (10273..10292), and back.
int AngleEditOfObject(uint16_t id);
uint16_t AngleObjectOfEdit(int n);

// `degrees` matters only for the window edits: true when they show tenths of a degree.
double ShownValue(TEditConversion conversion, int64_t raw, bool degrees);
int64_t RawValue(TEditConversion conversion, double shown, bool degrees);
// Whether a shown value lies outside an edit's valid range (EditingMinimum..maximum);
// `editingMaximum` is passed in because the angles' follows the engine stroke.
bool OutOfRange(const TEditSpec& def, double shown, double editingMaximum);

// The firing angles spread evenly over one cycle: edit N gets (N - 1) x maxAngle /
// cylinders, to one decimal (ties to even) when the step is no whole number; edits above
// the cylinder count continue the series.
double DefaultFiringAngle(int n, int cylinders, double maxAngle);

}  // namespace kalvist
