#include "vltZarnoParams.h"

#include <algorithm>

#include "KalvistError.h"

namespace kalvist {

namespace {

struct TParamRow {
  const char* Name;
  uint16_t Id;
  int Size;
  TParamDefault Default;
  uint8_t Read;
  uint8_t Write;
  uint8_t FileWrite;
  bool Protected = true;
};

using TTable = std::vector<TParamRow>;

// Present in every mode, in this order.
const TTable& BaseEntries() {
  static const TTable rows{
      {"UsedSensors", idUsedSensors, 4, 0xFFFFF, 2, 0, 1},
      {"WindowDelay", idWindowDelay, 2, 1000, 0, 0, 1},
      {"WindowWidth", idWindowWidth, 2, 1500, 0, 0, 1},
      {"KnockFilterFrequency", idKnockFilterFrequency, 2, 5480, 0, 0, 1},
      {"RefFilterFrequency", idRefFilterFrequency, 2, 1780, 0, 0, 1},
      {"Attenuation", idAttenuation, 2, 1000, 0, 0, 1},
      {"ImmediateStopLimit", idImmediateStopLimit, 1, 177, 2, 0, 1},
      {"IgnitionReduction Limit", idIgnitionReductionLimit, 1, 76, 2, 0, 1},
      {"DecreaseRamp", idDecreaseRamp, 2, 300, 2, 0, 1},
      {"TimingReductionGain", idTimingReductionGain, 2, 400, 0, 0, 1},
      {"MaximumOutputValue", idMaximumOutputValue, 2, 1000, 0, 0, 1},
      {"DelayAfterLoadReduction", idDelayAfterLoadReduction, 2, 10, 0, 0, 1},
      {"Switches", idSwitches, 2, 1, 2, 0, 0},
      {"CylinderCount", idCylinderCount, 1, 20, 2, 0, 1},
      {"AngleV", idAngleV, 2, 0, 0, 0, 1},
      // The CAN settings go without the password word.
      {"CANAddress", idCANAddress, 1, 1, 2, 2, 2, false},
      {"BusSpeed", idBusSpeed, 2, 250, 2, 2, 2, false},
      {"CANMode", idCANMode, 1, 0, 2, 2, 2, false},
  };
  return rows;
}

// Alfa k and Beta k go in pairs.
const TTable& FiringAngles() {
  static const TTable rows{
      {"Alfa1", 10273, 2, 0, 0, 0, 1},  {"Beta1", 10283, 2, 0, 0, 0, 1},
      {"Alfa2", 10274, 2, 0, 0, 0, 1},  {"Beta2", 10284, 2, 0, 0, 0, 1},
      {"Alfa3", 10275, 2, 0, 0, 0, 1},  {"Beta3", 10285, 2, 0, 0, 0, 1},
      {"Alfa4", 10276, 2, 0, 0, 0, 1},  {"Beta4", 10286, 2, 0, 0, 0, 1},
      {"Alfa5", 10277, 2, 0, 0, 0, 1},  {"Beta5", 10287, 2, 0, 0, 0, 1},
      {"Alfa6", 10278, 2, 0, 0, 0, 1},  {"Beta6", 10288, 2, 0, 0, 0, 1},
      {"Alfa7", 10279, 2, 0, 0, 0, 1},  {"Beta7", 10289, 2, 0, 0, 0, 1},
      {"Alfa8", 10280, 2, 0, 0, 0, 1},  {"Beta8", 10290, 2, 0, 0, 0, 1},
      {"Alfa9", 10281, 2, 0, 0, 0, 1},  {"Beta9", 10291, 2, 0, 0, 0, 1},
      {"Alfa10", 10282, 2, 0, 0, 0, 1}, {"Beta10", 10292, 2, 0, 0, 0, 1},
  };
  return rows;
}

const TTable& Gains() {
  static const TTable rows{
      {"Gain1", 11043, 2, 100, 0, 0, 1},  {"Gain2", 11044, 2, 100, 0, 0, 1},
      {"Gain3", 11045, 2, 100, 0, 0, 1},  {"Gain4", 11046, 2, 100, 0, 0, 1},
      {"Gain5", 11047, 2, 100, 0, 0, 1},  {"Gain6", 11048, 2, 100, 0, 0, 1},
      {"Gain7", 11049, 2, 100, 0, 0, 1},  {"Gain8", 11050, 2, 100, 0, 0, 1},
      {"Gain9", 11051, 2, 100, 0, 0, 1},  {"Gain10", 11052, 2, 100, 0, 0, 1},
      {"Gain11", 11053, 2, 100, 0, 0, 1}, {"Gain12", 11054, 2, 100, 0, 0, 1},
      {"Gain13", 11055, 2, 100, 0, 0, 1}, {"Gain14", 11056, 2, 100, 0, 0, 1},
      {"Gain15", 11057, 2, 100, 0, 0, 1}, {"Gain16", 11058, 2, 100, 0, 0, 1},
      {"Gain17", 11059, 2, 100, 0, 0, 1}, {"Gain18", 11060, 2, 100, 0, 0, 1},
      {"Gain19", 11061, 2, 100, 0, 0, 1}, {"Gain20", 11062, 2, 100, 0, 0, 1},
  };
  return rows;
}

const TTable& IndividualDelays() {
  static const TTable rows{
      {"IndividualDelaysAlfa1", 13180, 2, 0, 0, 0, 1},
      {"IndividualDelaysBeta1", 13190, 2, 0, 0, 0, 1},
      {"IndividualDelaysAlfa2", 13181, 2, 0, 0, 0, 1},
      {"IndividualDelaysBeta2", 13191, 2, 0, 0, 0, 1},
      {"IndividualDelaysAlfa3", 13182, 2, 0, 0, 0, 1},
      {"IndividualDelaysBeta3", 13192, 2, 0, 0, 0, 1},
      {"IndividualDelaysAlfa4", 13183, 2, 0, 0, 0, 1},
      {"IndividualDelaysBeta4", 13193, 2, 0, 0, 0, 1},
      {"IndividualDelaysAlfa5", 13184, 2, 0, 0, 0, 1},
      {"IndividualDelaysBeta5", 13194, 2, 0, 0, 0, 1},
      {"IndividualDelaysAlfa6", 13185, 2, 0, 0, 0, 1},
      {"IndividualDelaysBeta6", 13195, 2, 0, 0, 0, 1},
      {"IndividualDelaysAlfa7", 13186, 2, 0, 0, 0, 1},
      {"IndividualDelaysBeta7", 13196, 2, 0, 0, 0, 1},
      {"IndividualDelaysAlfa8", 13187, 2, 0, 0, 0, 1},
      {"IndividualDelaysBeta8", 13197, 2, 0, 0, 0, 1},
      {"IndividualDelaysAlfa9", 13188, 2, 0, 0, 0, 1},
      {"IndividualDelaysBeta9", 13198, 2, 0, 0, 0, 1},
      {"IndividualDelaysAlfa10", 13189, 2, 0, 0, 0, 1},
      {"IndividualDelaysBeta10", 13199, 2, 0, 0, 0, 1},
  };
  return rows;
}

const TTable& MeasurementSensors() {
  static const TTable rows{
      {"MeasurementSensors", idMeasurementSensors, 20, std::vector<uint8_t>(20, 0), 1, 0, 1},
  };
  return rows;
}

const TTable& SetpointsIdName() {
  static const TTable rows{{"SetpointsIDName", idSetpointsIdName, 16, "", 2, 1, 1}};
  return rows;
}

const TTable& EngineSerialNumber() {
  static const TTable rows{{"EngineSerialNumber", idEngineSerialNumber, 32, "", 2, 1, 1}};
  return rows;
}

const TTable& SelectSensors() {
  static const TTable rows{{"SelectSensors", idSelectSensors, 4, 0, 2, 0, 1}};
  return rows;
}

const TTable& TdcSynchronizeMethod() {
  static const TTable rows{{"TDCSynchronizeMethod", idTDCSynchronizeMethod, 1, 0, 2, 0, 1}};
  return rows;
}

const TTable& MisfiringLimits() {
  static const TTable rows{
      {"FiringLimit", idFiringLimit, 2, 26, 2, 0, 1},
      {"MisfiringLimit", idMisfiringLimit, 2, 80, 2, 0, 1},
      {"MisfInt", idMisfInt, 2, 10, 2, 0, 1},
      {"WrnMisfiring", idWrnMisfiring, 2, 60, 2, 0, 1},
  };
  return rows;
}

// MisfGain20 lies outside the series of the other nineteen.
const TTable& MisfiringGains() {
  static const TTable rows{
      {"MisfGain1", 13880, 2, 100, 0, 0, 1},  {"MisfGain2", 13881, 2, 100, 0, 0, 1},
      {"MisfGain3", 13882, 2, 100, 0, 0, 1},  {"MisfGain4", 13883, 2, 100, 0, 0, 1},
      {"MisfGain5", 13884, 2, 100, 0, 0, 1},  {"MisfGain6", 13885, 2, 100, 0, 0, 1},
      {"MisfGain7", 13886, 2, 100, 0, 0, 1},  {"MisfGain8", 13887, 2, 100, 0, 0, 1},
      {"MisfGain9", 13888, 2, 100, 0, 0, 1},  {"MisfGain10", 13889, 2, 100, 0, 0, 1},
      {"MisfGain11", 13890, 2, 100, 0, 0, 1}, {"MisfGain12", 13891, 2, 100, 0, 0, 1},
      {"MisfGain13", 13892, 2, 100, 0, 0, 1}, {"MisfGain14", 13893, 2, 100, 0, 0, 1},
      {"MisfGain15", 13894, 2, 100, 0, 0, 1}, {"MisfGain16", 13895, 2, 100, 0, 0, 1},
      {"MisfGain17", 13896, 2, 100, 0, 0, 1}, {"MisfGain18", 13897, 2, 100, 0, 0, 1},
      {"MisfGain19", 13898, 2, 100, 0, 0, 1}, {"MisfGain20", 14268, 2, 100, 0, 0, 1},
  };
  return rows;
}

// A group's entries are all password-protected, as Ensure adds them.
void EnsureRows(TZarnoParamList& list, const TTable& rows, bool present) {
  for (const auto& row : rows) {
    list.Ensure(row.Name, row.Id, row.Size, row.Default, present, row.Read, row.Write,
                row.FileWrite);
  }
}

}  // namespace

TZarnoParam::TZarnoParam(std::string name, uint16_t id, int size, const TParamDefault& defaultValue,
                         bool passwordProtected, uint8_t readLevel, uint8_t writeLevel,
                         uint8_t fileWriteLevel)
    : TCommObject(id, passwordProtected, size),
      Name(std::move(name)),
      DefaultValue(id, passwordProtected, size),
      ReadLevel(readLevel),
      WriteLevel(writeLevel),
      FileWriteLevel(fileWriteLevel) {
  if (const auto* value = std::get_if<TValue>(&defaultValue)) {
    DefaultValue.SetValue(*value);
  } else {
    const auto& bytes = std::get<std::vector<uint8_t>>(defaultValue);
    const int count = std::min(size, static_cast<int>(bytes.size()));
    for (int i = 0; i < count; ++i) DefaultValue.Bytes(i) = bytes[static_cast<size_t>(i)];
  }
  ResetToDefault();
}

void TZarnoParam::ResetToDefault() {
  AssignData(DefaultValue);
}

TZarnoParamList::TZarnoParamList() {
  for (const auto& row : BaseEntries()) {
    Add(row.Name, row.Id, row.Size, row.Default, row.Protected, row.Read, row.Write, row.FileWrite);
  }
}

size_t TZarnoParamList::CheckedIndex(int index) const {
  if (index < 0 || index >= Count()) {
    throw TKalvistError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return static_cast<size_t>(index);
}

TZarnoParam& TZarnoParamList::Items(int index) {
  return *items_[CheckedIndex(index)];
}
const TZarnoParam& TZarnoParamList::Items(int index) const {
  return *items_[CheckedIndex(index)];
}

int TZarnoParamList::IndexOfId(uint16_t id) const {
  const auto it = std::find_if(items_.begin(), items_.end(),
                               [id](const auto& item) { return item->ObjectID == id; });
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int TZarnoParamList::IndexOfName(std::string_view name) const {
  const auto it = std::find_if(items_.begin(), items_.end(),
                               [name](const auto& item) { return item->Name == name; });
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TZarnoParam& TZarnoParamList::Add(std::string name, uint16_t id, int size,
                                  const TParamDefault& defaultValue, bool passwordProtected,
                                  uint8_t readLevel, uint8_t writeLevel, uint8_t fileWriteLevel) {
  items_.push_back(std::make_shared<TZarnoParam>(std::move(name), id, size, defaultValue,
                                                 passwordProtected, readLevel, writeLevel,
                                                 fileWriteLevel));
  return *items_.back();
}

void TZarnoParamList::Ensure(const std::string& name, uint16_t id, int size,
                             const TParamDefault& defaultValue, bool present, uint8_t readLevel,
                             uint8_t writeLevel, uint8_t fileWriteLevel) {
  const int index = IndexOfName(name);
  if (present && index < 0) {
    Add(name, id, size, defaultValue, true, readLevel, writeLevel, fileWriteLevel);
  } else if (!present && index >= 0) {
    items_.erase(items_.begin() + index);
  }
}

void TZarnoParamList::EnsureFiringAngles(bool present) {
  EnsureRows(*this, FiringAngles(), present);
}
void TZarnoParamList::EnsureGains(bool present) {
  EnsureRows(*this, Gains(), present);
}
void TZarnoParamList::EnsureIndividualDelays(bool present) {
  EnsureRows(*this, IndividualDelays(), present);
}
void TZarnoParamList::EnsureMeasurementSensors(bool present) {
  EnsureRows(*this, MeasurementSensors(), present);
}
void TZarnoParamList::EnsureSetpointsIdName(bool present) {
  EnsureRows(*this, SetpointsIdName(), present);
}
void TZarnoParamList::EnsureEngineSerialNumber(bool present) {
  EnsureRows(*this, EngineSerialNumber(), present);
}
void TZarnoParamList::EnsureSelectSensors(bool present) {
  EnsureRows(*this, SelectSensors(), present);
}
void TZarnoParamList::EnsureTdcSynchronizeMethod(bool present) {
  EnsureRows(*this, TdcSynchronizeMethod(), present);
}
void TZarnoParamList::EnsureMisfiringLimits(bool present) {
  EnsureRows(*this, MisfiringLimits(), present);
}
void TZarnoParamList::EnsureMisfiringGains(bool present) {
  EnsureRows(*this, MisfiringGains(), present);
}

void TZarnoParamList::ResetToDefaults() {
  // By index: a handler may change the list.
  for (size_t i = 0; i < items_.size(); ++i) {
    TZarnoParam& item = *items_[i];
    item.ResetToDefault();
    if (OnParamReset) OnParamReset(*this, item);
  }
}

}  // namespace kalvist
