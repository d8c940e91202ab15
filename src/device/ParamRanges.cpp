#include "ParamRanges.h"

#include <algorithm>

#include "FrequencyTable.h"
#include "IniFile.h"
#include "ParamFiles.h"
#include "vltZarno.h"

namespace kalvist {

namespace {

constexpr int64_t kWindowMicroseconds = 65535;
constexpr int64_t kMaxWindowWidthDegrees = 60;
constexpr int64_t kTenthsPerUnit = 10;
constexpr int64_t kMaxPercentTenths = 1000;  // 100.0 %
constexpr int64_t kMaxGain = 300;
constexpr size_t kListedValues = 8;

TValidRange Span(int64_t min, int64_t max) {
  return {min, max, {}};
}

TValidRange FilterFrequencies(uint8_t rangeKind) {
  int32_t min = 0;
  int32_t max = 0;
  TZarno::FrequencyRange(rangeKind, min, max);
  TValidRange range{min, max, {}};
  for (const int32_t hz : FrequencyTable) {
    if (hz >= min && hz <= max) range.Allowed.push_back(hz);
  }
  return range;
}

bool IsGain(uint16_t id) {
  return id >= idGain1 && id < idGain1 + kChannelCount;
}

TValidRange WindowRange(uint16_t id, const TRangeContext& context) {
  if (!context.WindowInDegrees) return Span(0, kWindowMicroseconds);
  const int64_t degrees =
      id == idWindowDelay ? context.MaxWindowDelayDegrees : kMaxWindowWidthDegrees;
  return Span(0, degrees * kTenthsPerUnit);
}

}  // namespace

bool IsFiringAngle(uint16_t objectId) {
  return objectId >= idAlfa1 && objectId < idAlfa1 + kChannelCount;  // Alfa 1..10, Beta 1..10
}

bool TValidRange::Contains(int64_t raw) const {
  if (raw < Min || raw > Max) return false;
  return Allowed.empty() || std::find(Allowed.begin(), Allowed.end(), raw) != Allowed.end();
}

std::string TValidRange::Text() const {
  const std::string span = std::to_string(Min) + ".." + std::to_string(Max);
  if (Allowed.empty()) return span;
  // A long list (the filter frequencies) says only how many values and where.
  if (Allowed.size() > kListedValues) {
    return "one of " + std::to_string(Allowed.size()) + " listed values in " + span;
  }
  std::string text;
  for (const int64_t value : Allowed) text += (text.empty() ? "" : ", ") + std::to_string(value);
  return text;
}

TRangeContext RangeContextOf(TZarno& zarno) {
  return {zarno.WindowInDegrees(), zarno.MaxWindowDelayDegrees(), zarno.SwitchBit(0),
          zarno.FrequencyRangeKind()};
}

std::optional<TValidRange> ValidRange(uint16_t objectId, const TRangeContext& context) {
  if (IsFiringAngle(objectId)) {
    return Span(0, (context.FourStroke ? 720 : 360) * kTenthsPerUnit);
  }
  if (IsGain(objectId)) return Span(0, kMaxGain);
  switch (objectId) {
    case idCylinderCount:
      return Span(2, kChannelCount);
    case idAngleV:
      return Span(0, 180);
    case idWindowDelay:
    case idWindowWidth:
      return WindowRange(objectId, context);
    case idKnockFilterFrequency:
    case idRefFilterFrequency:
      return FilterFrequencies(context.FrequencyRangeKind);
    case idAttenuation:
      return Span(0, 1000);  // 1.000
    case idDecreaseRamp:
    case idTimingReductionGain:
    case idMaximumOutputValue:
    case idDiagnosticOutput:
      return Span(0, kMaxPercentTenths);
    case idDelayAfterLoadReduction:
      return Span(0, 254);  // 25.4 s
    case idCANAddress:
      return Span(1, 127);
    case idBusSpeed:
      return TValidRange{50, 1000, {50, 100, 125, 250, 500, 1000}};
    case idCANMode:
      return Span(0, 1);
    case idUsedSensors:
      return Span(0, 0xFFFFF);  // 20 channels
    case idSelectSensors:
      return Span(0, 3);  // sensors A and B
    default:
      return std::nullopt;
  }
}

std::optional<std::string> DoesNotFit(const TCustomCommObject& object, std::string_view text) {
  const int size = object.Size();
  if (size >= 5 && size <= 64) {
    if (text.size() <= static_cast<size_t>(size - 1)) return std::nullopt;
    return "longer than " + std::to_string(size - 1) + " characters";
  }
  if (size != 1 && size != 2 && size != 4) return std::nullopt;  // the object refuses itself
  const int64_t max = (int64_t{1} << (8 * size)) - 1;
  const std::string range = "0.." + std::to_string(max);
  const std::optional<int64_t> number = TextToInteger(text);
  if (!number) {
    try {
      (void)TValue(std::string(text)).AsDouble();
      return "not a whole number; fits " + range;
    } catch (const std::exception&) {
      return "not a number; fits " + range;
    }
  }
  if (*number < 0 || *number > max) return "does not fit " + range;
  return std::nullopt;
}

std::string TValueFault::Text() const {
  return Name + "=" + Value + " (" + Reason + ")";
}

std::optional<TValueFault> CheckValue(const TCustomCommObject& object, const std::string& name,
                                      const std::string& text, const TRangeContext& context) {
  if (const std::optional<std::string> reason = DoesNotFit(object, text)) {
    return TValueFault{name, text, *reason, false};
  }
  const std::optional<TValidRange> range = ValidRange(object.ObjectID, context);
  const std::optional<int64_t> raw = TextToInteger(text);
  if (!range || !raw || range->Contains(*raw)) return std::nullopt;
  return TValueFault{name, text, "outside the valid range " + range->Text(), true};
}

std::vector<TValueFault> CheckFileValues(TZarno& zarno, const TIniFile& ini) {
  TRangeContext context = RangeContextOf(zarno);
  const std::optional<int64_t> switches =
      TextToInteger(ini.ReadString(kParametersSection, "Switches", {}));
  if (switches) context.FourStroke = (*switches & 1) != 0;
  std::vector<TValueFault> faults;
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    const TZarnoParam& entry = zarno.Params().Items(i);
    if (!ini.ValueExists(kParametersSection, entry.Name)) continue;
    const std::string text = ini.ReadString(kParametersSection, entry.Name, {});
    if (auto fault = CheckValue(entry, entry.Name, text, context)) faults.push_back(*fault);
  }
  return faults;
}

std::string FaultList(const std::vector<TValueFault>& faults) {
  std::string list;
  for (const TValueFault& fault : faults) list += (list.empty() ? "" : "; ") + fault.Text();
  return list;
}

}  // namespace kalvist
