#include "P16Import.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "BitUtils.h"
#include "FrequencyTable.h"
#include "KalvistError.h"
#include "vltZarno.h"

namespace kalvist {

namespace {

// Bits of "Switches" that the old file sets.
constexpr int kStrokeBit = 0;      // 1: 4-stroke
constexpr int kAttenuatedBit = 1;  // 1: the knock channel is attenuated, 0: the reference
constexpr int kReverseOutputBit = 2;
constexpr int kMaxOutputBit = 3;
constexpr int kTripOpenBit = 4;  // trip contact inactive state: 1 open, 0 closed
constexpr int kBadSensorBit = 5;
constexpr int kLedLatchBit = 6;

constexpr int kInLine = 0;
constexpr int kVType = 1;

// Lines whose value is the field's value times a factor (numerator / denominator).
struct TScaledLine {
  size_t Line;
  uint16_t ObjectId;
  double Numerator;
  double Denominator;
};
constexpr TScaledLine kScaledLines[] = {
    {12, idTimingReductionGain, 100, 254},    {13, idDecreaseRamp, 30, 254},
    {14, idIgnitionReductionLimit, 100, 254}, {15, idDelayAfterLoadReduction, 1, 10},
    {16, idImmediateStopLimit, 100, 254},     {17, idMaximumOutputValue, 100, 254},
};

// Lines end with CR LF, LF or CR; a line break at the very end opens no further line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = std::min(text.find_first_of("\r\n"), text.size());
    lines.push_back(text.substr(0, end));
    size_t next = end;
    if (next < text.size() && text[next] == '\r') ++next;
    if (next < text.size() && text[next] == '\n') ++next;
    text.remove_prefix(next);
  }
  return lines;
}

class TP16Lines {
 public:
  explicit TP16Lines(std::string_view text) : lines_(SplitLines(text)) {}

  // The line's number when it is an integer 0..255, else nothing.
  std::optional<int> Value(size_t line) const {
    if (line >= lines_.size()) {
      throw TKalvistError("List index out of bounds (" + std::to_string(line) + ")");
    }
    const std::optional<int64_t> number = TextToInteger(lines_[line]);
    if (!number || *number < 0 || *number > 255) return std::nullopt;
    return static_cast<int>(*number);
  }
  size_t Count() const { return lines_.size(); }

 private:
  std::vector<std::string_view> lines_;
};

void SelectTableFrequency(IParamPageTarget& target, uint16_t objectId, std::optional<int> index) {
  if (index && static_cast<size_t>(*index) < FrequencyTable.size()) {
    target.SelectFrequency(objectId, FrequencyTable[static_cast<size_t>(*index)]);
  }
}

// Microsecond values go in as they are; edits that show degrees get them converted,
// both in one decision, or not at all when it is cancelled.
void ApplyWindow(IParamPageTarget& target, std::optional<int64_t> delay,
                 std::optional<int64_t> width, const TWindowDecision& convertWindow) {
  if (!delay && !width) return;
  double scale = 1.0;
  if (target.WindowInDegrees()) {
    TWindowConversionRequest request;
    request.Direction = TWindowDirection::MicrosecondsToDegrees;
    request.Source = {delay.value_or(0), width.value_or(0)};
    request.Limits.MaxDelayDegrees = target.MaxWindowDelayDegrees();
    const std::optional<TWindowPair> converted =
        convertWindow ? convertWindow(request) : std::nullopt;
    if (!converted) return;
    if (delay) delay = converted->Delay;
    if (width) width = converted->Width;
    scale = 0.1;  // the edits show degrees, the conversion gives tenths
  }
  if (delay) target.SetEditValue(idWindowDelay, static_cast<double>(*delay) * scale);
  if (width) target.SetEditValue(idWindowWidth, static_cast<double>(*width) * scale);
}

void ImportWindow(const TP16Lines& lines, IParamPageTarget& target,
                  const TWindowDecision& convertWindow) {
  std::optional<int64_t> delay;
  if (const auto d = lines.Value(4)) delay = 500 + 250 * *d;
  std::optional<int64_t> width;
  try {
    if (const auto d = lines.Value(6)) width = 250 * *d;
  } catch (const TKalvistError&) {
    ApplyWindow(target, delay, std::nullopt, convertWindow);  // the delay's line was there
    throw;
  }
  ApplyWindow(target, delay, width, convertWindow);
}

void ImportEngine(std::optional<int> d, IParamPageTarget& target) {
  if (d) target.SetEditValue(idCylinderCount, *d & 0x7F);
  target.SetEngineType(d && (*d & 0x80) ? kInLine : kVType);
}

void ImportAttenuation(int d, IParamPageTarget& target) {
  target.SetSwitchBit(kAttenuatedBit, (d & 0x80) == 0);
  const size_t index = static_cast<size_t>(d & 0x7F);
  if (index < BalanceTable.size()) target.SetEditValue(idAttenuation, BalanceTable[index]);
}

void ImportOptions(int d, IParamPageTarget& target) {
  target.SetSwitchBit(kReverseOutputBit, d & 0x01);
  target.SetSwitchBit(kMaxOutputBit, d & 0x02);
  target.SetSwitchBit(kBadSensorBit, d & 0x04);
  target.SetSwitchBit(kTripOpenBit, (d & 0x08) == 0);
  target.SetSwitchBit(kLedLatchBit, d & 0x10);
}

}  // namespace

void ImportP16Text(std::string_view text, IParamPageTarget& target,
                   const TWindowDecision& convertWindow) {
  const TP16Lines lines(text);
  target.SetSwitchBit(kStrokeBit, true);
  SelectTableFrequency(target, idKnockFilterFrequency, lines.Value(2));
  ImportWindow(lines, target, convertWindow);
  ImportEngine(lines.Value(7), target);
  SelectTableFrequency(target, idRefFilterFrequency, lines.Value(9));
  ImportAttenuation(lines.Value(11).value_or(0), target);
  for (const TScaledLine& scaled : kScaledLines) {
    if (const auto d = lines.Value(scaled.Line)) {
      target.SetEditValue(scaled.ObjectId, *d * scaled.Numerator / scaled.Denominator);
    }
  }
  ImportOptions(lines.Value(18).value_or(0), target);
}

bool P16HasValueLine(std::string_view text) {
  const TP16Lines lines(text);
  for (size_t line = 0; line < lines.Count(); ++line) {
    if (lines.Value(line)) return true;
  }
  return false;
}

// --- The device object as the pages' stand-in ---

bool TZarnoPageTarget::WindowInDegrees() const {
  return zarno_.WindowInDegrees();
}

int32_t TZarnoPageTarget::MaxWindowDelayDegrees() const {
  return zarno_.MaxWindowDelayDegrees();
}

void TZarnoPageTarget::SetEditValue(uint16_t objectId, double shownValue) {
  switch (objectId) {
    case idCylinderCount:
      Store(objectId, static_cast<int64_t>(std::clamp(shownValue, 2.0, double{kChannelCount})));
      return;
    case idWindowDelay:
    case idWindowWidth: {
      if (!WindowInDegrees()) {
        Store(objectId, static_cast<int64_t>(std::clamp(shownValue, 0.0, 65535.0)));
        return;
      }
      const int32_t maxDegrees = objectId == idWindowDelay ? MaxWindowDelayDegrees() : 60;
      const double degrees = std::clamp(shownValue, 0.0, static_cast<double>(maxDegrees));
      Store(objectId, static_cast<int64_t>(degrees * 10 + 0.01));
      return;
    }
    case idAttenuation:
      Store(objectId, std::clamp(shownValue, 0.0, 65.535) * 1000);
      return;
    case idIgnitionReductionLimit:
    case idImmediateStopLimit:
      Store(objectId, PercentToByte(std::clamp(shownValue, 0.0, 100.0)));
      return;
    case idDecreaseRamp:
    case idTimingReductionGain:
    case idMaximumOutputValue:
    case idDelayAfterLoadReduction:
      Store(objectId, std::clamp(shownValue, 0.0, 6553.5) * 10);
      return;
    default:
      throw TKalvistError("No page edit is bound to object " + std::to_string(objectId));
  }
}

void TZarnoPageTarget::SelectFrequency(uint16_t objectId, int32_t hz) {
  int32_t min = 0;
  int32_t max = 0;
  TZarno::FrequencyRange(zarno_.FrequencyRangeKind(), min, max);
  if (hz >= min && hz <= max) Store(objectId, hz);
}

void TZarnoPageTarget::SetSwitchBit(int bit, bool on) {
  zarno_.SetSwitchBit(bit, on);
  zarno_.ObjectChanged(idSwitches);
}

void TZarnoPageTarget::SetEngineType(int type) {
  zarno_.SetEngineType(type);
  zarno_.ObjectChanged(idSwitches);
}

void TZarnoPageTarget::Store(uint16_t objectId, const TValue& raw) {
  zarno_.SetValue(objectId, raw);
  zarno_.ObjectChanged(objectId);
}

}  // namespace kalvist
