#include "SimSeed.h"

#include "vltLinkFrame.h"
#include "vltZarnoParams.h"

namespace kalvist::sim {
namespace {

struct TPlainObject {
  uint16_t Id;
  int Size;
  bool PasswordProtected;
};

constexpr TPlainObject kOutsideCatalogue[] = {
    {idKnockIntensity, 20, false},
    {idRegulationOutput, 1, false},
    {idStatus, 1, false},
    {idBadSensors, 4, false},
    {idMode2Live1, 20, false},
    {idMode2Live2, 4, false},
    {idMode2Live3, 2, false},
    {idMode2Live4, 4, false},
    {idSwVersion, 2, false},
    {idHardwareType, 4, false},
    {idEncryptedPassword, 4, false},
    {idDiagnosticMode, 1, false},
    {idDiagnosticOutput, 2, false},
    {idDiagnosticLeds, 2, false},
    {idCylinderConfiguration, 40, true},
    {idPassword, 2, true},
    {kSoundSensorId, 1, false},  // the stream's sensor, 0-based
    {kStartSoundId, 0, false},
    {kStopSoundId, 0, false},
};

// Objects that only the three-level scheme knows.
constexpr TPlainObject kThreeLevelObjects[] = {
    {idThreeLvLPassword, 2, true},
    {idWriteOperPassword, 2, true},
};

constexpr uint8_t kEmptyPosition = 255;

void SeedCatalogue(TSimObjectStore& store) {
  TZarnoParamList list;
  list.EnsureFiringAngles(true);
  list.EnsureGains(true);
  list.EnsureIndividualDelays(true);
  list.EnsureMeasurementSensors(true);
  list.EnsureSetpointsIdName(true);
  list.EnsureEngineSerialNumber(true);
  list.EnsureSelectSensors(true);
  list.EnsureTdcSynchronizeMethod(true);
  list.EnsureMisfiringLimits(true);
  list.EnsureMisfiringGains(true);
  for (int i = 0; i < list.Count(); ++i) {
    const TZarnoParam& entry = list.Items(i);
    store.Add(entry.ObjectID, entry.Size(), entry.PasswordProtected);
    store.Store(entry.ObjectID,
                std::span<const uint8_t>(entry.Data(), static_cast<size_t>(entry.Size())));
  }
}

}  // namespace

TSimObjectStore SeededStore(const TSimOptions& options) {
  TSimObjectStore store;
  SeedCatalogue(store);
  for (const TPlainObject& o : kOutsideCatalogue) store.Add(o.Id, o.Size, o.PasswordProtected);
  if (ThreeLevelOf(options)) {
    for (const TPlainObject& o : kThreeLevelObjects) store.Add(o.Id, o.Size, o.PasswordProtected);
  }
  store.SetNumber(idSwVersion, FirmwareOf(options));
  store.SetNumber(idHardwareType, HardwareTypeOf(options));
  store.Store(idCylinderConfiguration, std::vector<uint8_t>(40, kEmptyPosition));
  return store;
}

}  // namespace kalvist::sim
