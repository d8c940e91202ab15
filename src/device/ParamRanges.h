// What a value may be, in raw units: whether a text fits its communication object at all
// (the object would otherwise wrap it), and the valid range the configuration pages give
// an object (the editing ranges of the bound edits, the offered list entries). Values
// that fit but lie outside the valid range are what a controller may hold and the pages
// show yellow; values that do not fit are never written. The command-line tool checks
// its writes and parameter files with these; the pages share the same table.
//
// Pure functions; main thread only where a TZarno is read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvist {

class TCustomCommObject;
class TIniFile;
class TZarno;

// The valid raw values of one object: Min..Max, and when Allowed is not empty only the
// values it lists.
struct TValidRange {
  int64_t Min = 0;
  int64_t Max = 0;
  std::vector<int64_t> Allowed;

  bool Contains(int64_t raw) const;
  // "2..20"; the allowed values separated by commas, or for a long list "one of 91
  // listed values in 305..15070".
  std::string Text() const;
};

// What decides the ranges that depend on the device and its settings.
struct TRangeContext {
  bool WindowInDegrees = false;
  int32_t MaxWindowDelayDegrees = 60;
  bool FourStroke = true;  // the firing angles go up to 720 degrees, else 360
  uint8_t FrequencyRangeKind = 0;
};
// The context of the device object as it is now.
TRangeContext RangeContextOf(TZarno& zarno);

// The firing angles (Alfa 1..10, Beta 1..10), whose range follows the engine stroke.
bool IsFiringAngle(uint16_t objectId);

// The valid range of an object in raw units, or nothing when the pages set none.
std::optional<TValidRange> ValidRange(uint16_t objectId, const TRangeContext& context);

// Why `text` does not fit `object` ("not a number", "not a whole number", "does not fit
// 0..255", "longer than 15 characters"), or nothing when it fits: a number object takes
// a whole number from 0 to its largest unsigned value, a text object at most its size
// less one characters.
std::optional<std::string> DoesNotFit(const TCustomCommObject& object, std::string_view text);

// One value that may not go out as it is.
struct TValueFault {
  std::string Name;
  std::string Value;
  std::string Reason;  // "does not fit 0..255", "outside the valid range 2..20"
  bool Fits = true;    // false: the object cannot hold it; true: outside the valid range

  // "CylinderCount=300 (does not fit 0..255)"
  std::string Text() const;
};

// The fault of one value for a catalogue entry, or nothing when it may go out.
std::optional<TValueFault> CheckValue(const TCustomCommObject& object, const std::string& name,
                                      const std::string& text, const TRangeContext& context);

// Every value of a file's "parameters" section that names a catalogue entry of `zarno`,
// checked in catalogue order; the firing angles are checked by the stroke the file's
// "Switches" gives (the device's when the file has none).
std::vector<TValueFault> CheckFileValues(TZarno& zarno, const TIniFile& ini);

// "a; b; c" of the faults' texts.
std::string FaultList(const std::vector<TValueFault>& faults);

}  // namespace kalvist
