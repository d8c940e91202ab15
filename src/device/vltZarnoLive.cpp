#include <algorithm>

#include "BitUtils.h"
#include "vltZarno.h"

namespace kalvist {

namespace {

// A live object may have come back shorter than its full size: missing bytes read as 0.
uint8_t ByteAt(const TCustomCommObject& object, int index) {
  return index < object.Size() ? object.Bytes(index) : 0;
}

bool ValidChannel(int channel) {
  return channel >= 1 && channel <= kChannelCount;
}

// Byte of firing position i (1-based) in the firing-to-channel table: odd positions in
// bytes 0-9, even positions in bytes 10-19.
int ChannelTableByte(int position) {
  return position % 2 == 1 ? (position - 1) / 2 : kChannelCount / 2 + (position / 2 - 1);
}

void ClearObject(TCustomCommObject& object) {
  std::fill_n(object.Data(), object.Size(), uint8_t{0});
}

constexpr int kCylinderTableStart = kChannelCount;
constexpr int kCylinderTableSize = 2 * kChannelCount;

}  // namespace

void TZarno::ReadStatus() {
  queue_.EnqueueRead(status_);
  queue_.EnqueueRead(badSensors_);
}

void TZarno::ReadLiveValues() {
  queue_.EnqueueRead(knockIntensities_);
  queue_.EnqueueRead(regulationOutput_);
  if (zarnoMode_ != 2) return;
  for (TCommObject* object : {&mode2Live1_, &mode2Live2_, &mode2Live3_, &mode2Live4_}) {
    queue_.EnqueueRead(*object);
  }
}

void TZarno::ReadAllParameters() {
  for (int i = 0; i < params_.Count(); ++i) queue_.EnqueueRead(params_.Items(i));
  for (TZarnoParam* object : {&diagnosticMode_, &diagnosticOutput_, &diagnosticLeds_}) {
    queue_.EnqueueRead(*object);
  }
  if (zarnoMode_ == 2) queue_.EnqueueRead(cylinderConfiguration_);
}

void TZarno::ClearLiveValues() {
  queue_.Clear();
  for (TCommObject* object : {&knockIntensities_, &regulationOutput_, &status_, &badSensors_}) {
    ClearObject(*object);
    ObjectChanged(object->ObjectID);
  }
  if (TZarnoParam* count = FindParam(idCylinderCount)) {
    const int cylinders = CylinderCount();
    ClearObject(*count);
    count->SetAsByte(static_cast<uint8_t>(cylinders));
    ObjectChanged(idCylinderCount);
  }
  if (TZarnoParam* used = FindParam(idUsedSensors)) {
    ClearObject(*used);
    used->SetAsInteger(0xFFFFF);  // all 20 channels analysed
    ObjectChanged(idUsedSensors);
  }
  for (TCommObject* object : {&mode2Live1_, &mode2Live3_, &mode2Live2_, &mode2Live4_}) {
    ClearObject(*object);
    ObjectChanged(object->ObjectID);
  }
}

double TZarno::KnockIntensity(int channel) const {
  if (!ValidChannel(channel)) return -1;
  if (!ChannelUsed(channel)) return 0;
  return ByteToPercent(ByteAt(knockIntensities_, channel - 1));
}

int TZarno::KnockIntensityInt(int channel) const {
  return static_cast<int>(KnockIntensity(channel));
}

double TZarno::RegulationOutput() const {
  return ByteToPercent(regulationOutput_.AsByte());
}

bool TZarno::StatusBit(int n) const {
  return GetBit0(status_.AsByte(), n);
}

bool TZarno::SensorFault(int channel) const {
  return !ValidChannel(channel) || GetBit0(badSensors_.AsCardinal(), channel - 1);
}

bool TZarno::AnySensorFault() const {
  return badSensors_.AsCardinal() != 0;
}

int TZarno::CylinderCount() const {
  const int index = params_.IndexOfId(idCylinderCount);
  const int value = index < 0 ? kChannelCount : params_.Items(index).AsByte();
  return std::clamp(value, 1, kChannelCount);
}

bool TZarno::ChannelUsed(int channel) const {
  const int index = params_.IndexOfId(idUsedSensors);
  return ValidChannel(channel) && index >= 0 &&
         GetBit0(params_.Items(index).AsCardinal(), channel - 1);
}

void TZarno::ComputeStatistics() {
  MaxIntensity = 0;
  MinIntensity = 100;
  MaxChannel = 0;
  int count = 0;
  double sum = 0;
  for (int c = 1; c <= CylinderCount(); ++c) {
    if (!ChannelUsed(c)) continue;
    const double v = KnockIntensity(c);
    ++count;
    sum += v;
    if (v > MaxIntensity) {
      MaxIntensity = v;
      MaxChannel = c;
    }
    MinIntensity = std::min(MinIntensity, v);
    PeakIntensity = std::max(PeakIntensity, v);
  }
  PeakIntensity = std::max(PeakIntensity, MaxIntensity);
  if (count > 0) AverageIntensity = sum / count;
}

// --- Diagnostics ---

void TZarno::SetDiagnosticMode(bool on) {
  const uint8_t value = on ? 1 : 0;
  if (value == diagnosticMode_.AsByte()) return;
  diagnosticMode_.SetAsByte(value);
  if (IsConnected()) queue_.EnqueueWrite(diagnosticMode_);
}

void TZarno::SetDiagnosticLeds(uint16_t mask) {
  if (mask == diagnosticLeds_.AsWord()) return;
  diagnosticLeds_.SetAsWord(mask);
  if (IsConnected()) queue_.EnqueueWrite(diagnosticLeds_);
}

void TZarno::SetDiagnosticOutput(uint16_t value) {
  if (value != diagnosticOutput_.AsWord()) SaveDirectDiagOutput(value);
}

void TZarno::SaveDirectDiagOutput(uint16_t value) {
  diagnosticOutput_.SetAsWord(value);
  if (IsConnected()) queue_.EnqueueWrite(diagnosticOutput_);
}

// --- Cylinder configuration ---

void TZarno::RestoreCylinderTableSize() {
  // A short answer of the controller shrank it; the tables always have their full size.
  if (cylinderConfiguration_.Size() < kCylinderTableSize) {
    cylinderConfiguration_.SetSize(kCylinderTableSize);
  }
}

TZarno::TFiringTable TZarno::GetFiringToChannel() const {
  TFiringTable table{};
  for (int i = 1; i <= kChannelCount; ++i) {
    table[static_cast<size_t>(i - 1)] = ByteAt(cylinderConfiguration_, ChannelTableByte(i));
  }
  return table;
}

void TZarno::SetFiringToChannel(const TFiringTable& table) {
  RestoreCylinderTableSize();
  for (int i = 1; i <= kChannelCount; ++i) {
    cylinderConfiguration_.Bytes(ChannelTableByte(i)) = table[static_cast<size_t>(i - 1)];
  }
}

TZarno::TFiringTable TZarno::GetFiringToCylinder() const {
  TFiringTable table{};
  for (int i = 0; i < kChannelCount; ++i) {
    table[static_cast<size_t>(i)] = ByteAt(cylinderConfiguration_, kCylinderTableStart + i);
  }
  return table;
}

void TZarno::SetFiringToCylinder(const TFiringTable& table) {
  RestoreCylinderTableSize();
  for (int i = 0; i < kChannelCount; ++i) {
    cylinderConfiguration_.Bytes(kCylinderTableStart + i) = table[static_cast<size_t>(i)];
  }
}

void TZarno::WriteCylinderConfiguration() {
  if (IsConnected() && zarnoMode_ == 2) queue_.EnqueueWrite(cylinderConfiguration_);
}

}  // namespace kalvist
