// Import of the parameter files of the older 16-channel sibling device (".p16"): text
// lines of one number each, whose values belong in the fields of the configuration pages
// rather than straight in the device object. The GUI hands in its pages as the target;
// without a GUI, TZarnoPageTarget applies the values to the device object exactly as the
// pages would. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ParamFiles.h"
#include "vltCommObject.h"

namespace kalvist {

class TZarno;

// The page fields an import fills, named by the object each field is bound to.
class IParamPageTarget {
 public:
  virtual ~IParamPageTarget() = default;

  // The unit the window edits show: tenths of a degree, or microseconds.
  virtual bool WindowInDegrees() const = 0;
  virtual int32_t MaxWindowDelayDegrees() const = 0;
  // Sets the numeric edit bound to `objectId` to a value in the unit it shows (cylinders,
  // microseconds or degrees, the attenuation factor, %, %/s, s); the edit commits it.
  virtual void SetEditValue(uint16_t objectId, double shownValue) = 0;
  // Selects `hz` in the frequency list bound to `objectId` (10295 or 10296); a value the
  // list does not offer selects nothing and changes nothing.
  virtual void SelectFrequency(uint16_t objectId, int32_t hz) = 0;
  // The control of one bit of "Switches" (bit 0 the stroke, 1 the attenuated channel,
  // 2..6 the output options).
  virtual void SetSwitchBit(int bit, bool on) = 0;
  virtual void SetEngineType(int type) = 0;
};

// The attenuation factors of the old device, by index.
inline constexpr std::array<double, 64> BalanceTable{
    1.000, 0.960, 0.923, 0.889, 0.857, 0.828, 0.800, 0.774, 0.750, 0.727, 0.706, 0.686, 0.667,
    0.649, 0.632, 0.615, 0.600, 0.576, 0.554, 0.533, 0.514, 0.497, 0.480, 0.465, 0.450, 0.436,
    0.424, 0.411, 0.400, 0.389, 0.379, 0.369, 0.360, 0.346, 0.333, 0.320, 0.309, 0.298, 0.288,
    0.279, 0.270, 0.262, 0.254, 0.247, 0.240, 0.234, 0.228, 0.222, 0.217, 0.208, 0.200, 0.193,
    0.186, 0.179, 0.173, 0.168, 0.163, 0.158, 0.153, 0.149, 0.144, 0.141, 0.137, 0.133};

// Applies the lines of `text` to the target in the order of the file's table. A line
// that is no integer 0..255 leaves its field unchanged (or counts as 0 where the table
// says so). When the window edits show degrees, the file's microseconds go through
// `convertWindow` (unset or cancelled: the window fields stay). A used line beyond the
// end of the text throws TKalvistError "List index out of bounds (<line>)"; the fields
// set before it keep their new values.
void ImportP16Text(std::string_view text, IParamPageTarget& target,
                   const TWindowDecision& convertWindow);
// Whether any line of `text` is an integer 0..255: a file without one is no ".p16" file.
bool P16HasValueLine(std::string_view text);

// The pages' commit rules applied to the device object: each edit's value is limited to
// the edit's range and converted to the raw value, a list selection that the current
// filter range does not offer is skipped, and every change fires OnObjectChanged.
class TZarnoPageTarget : public IParamPageTarget {
 public:
  explicit TZarnoPageTarget(TZarno& zarno) : zarno_(zarno) {}

  bool WindowInDegrees() const override;
  int32_t MaxWindowDelayDegrees() const override;
  // Throws TKalvistError for an object no edit is bound to.
  void SetEditValue(uint16_t objectId, double shownValue) override;
  void SelectFrequency(uint16_t objectId, int32_t hz) override;
  void SetSwitchBit(int bit, bool on) override;
  void SetEngineType(int type) override;

 private:
  void Store(uint16_t objectId, const TValue& raw);

  TZarno& zarno_;
};

}  // namespace kalvist
