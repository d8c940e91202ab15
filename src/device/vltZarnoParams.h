// The parameter catalogue: the controller's configuration objects that carry a key name
// for parameter files, a default and the access levels a read, an edit and a file load
// need. Which entries are present depends on the hardware kind and the firmware; the
// device object decides that through the Ensure operations. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vltCommObject.h"

namespace kalvist {

// Catalogue entries. Series (Alfa/Beta k, Gain n, ...) count on from their first ID.
inline constexpr uint16_t idUsedSensors = 10298;
inline constexpr uint16_t idWindowDelay = 10293;
inline constexpr uint16_t idWindowWidth = 10294;
inline constexpr uint16_t idKnockFilterFrequency = 10295;
inline constexpr uint16_t idRefFilterFrequency = 10296;
inline constexpr uint16_t idAttenuation = 10297;
inline constexpr uint16_t idImmediateStopLimit = 10304;
inline constexpr uint16_t idIgnitionReductionLimit = 10299;
inline constexpr uint16_t idDecreaseRamp = 10300;
inline constexpr uint16_t idTimingReductionGain = 10301;
inline constexpr uint16_t idMaximumOutputValue = 10302;
inline constexpr uint16_t idDelayAfterLoadReduction = 10303;
inline constexpr uint16_t idSwitches = 10305;
inline constexpr uint16_t idCylinderCount = 10340;
inline constexpr uint16_t idAngleV = 10341;
inline constexpr uint16_t idCANAddress = 10306;
inline constexpr uint16_t idBusSpeed = 10307;
inline constexpr uint16_t idCANMode = 10338;
inline constexpr uint16_t idAlfa1 = 10273;  // Alfa k: idAlfa1 + k - 1, channel 2k-1
inline constexpr uint16_t idBeta1 = 10283;  // Beta k: idBeta1 + k - 1, channel 2k
inline constexpr uint16_t idGain1 = 11043;  // Gain n: idGain1 + n - 1
inline constexpr uint16_t idIndividualDelaysAlfa1 = 13180;
inline constexpr uint16_t idIndividualDelaysBeta1 = 13190;
inline constexpr uint16_t idMeasurementSensors = 13462;
inline constexpr uint16_t idSetpointsIdName = 24377;
inline constexpr uint16_t idEngineSerialNumber = 13464;
inline constexpr uint16_t idSelectSensors = 10915;
inline constexpr uint16_t idTDCSynchronizeMethod = 13776;
inline constexpr uint16_t idFiringLimit = 14269;
inline constexpr uint16_t idMisfiringLimit = 13876;
inline constexpr uint16_t idMisfInt = 14058;
inline constexpr uint16_t idWrnMisfiring = 13879;
inline constexpr uint16_t idMisfGain1 = 13880;   // MisfGain n for n = 1..19: idMisfGain1 + n - 1
inline constexpr uint16_t idMisfGain20 = 14268;  // out of the series

// Objects the device object keeps outside the catalogue.
inline constexpr uint16_t idKnockIntensity = 24471;
inline constexpr uint16_t idRegulationOutput = 10329;
inline constexpr uint16_t idStatus = 10328;
inline constexpr uint16_t idBadSensors = 10330;
// Read every tick in mode 2 although nothing shows them (20, 4, 2 and 4 bytes).
inline constexpr uint16_t idMode2Live1 = 13875;
inline constexpr uint16_t idMode2Live2 = 13877;
inline constexpr uint16_t idMode2Live3 = 13878;
inline constexpr uint16_t idMode2Live4 = 14563;
inline constexpr uint16_t idSwVersion = 10346;
inline constexpr uint16_t idHardwareType = 24469;
inline constexpr uint16_t idEncryptedPassword = 10335;
inline constexpr uint16_t idThreeLvLPassword = 24524;
inline constexpr uint16_t idPassword = 24549;
inline constexpr uint16_t idWriteOperPassword = 24514;
inline constexpr uint16_t idDiagnosticMode = 10343;
inline constexpr uint16_t idDiagnosticOutput = 10344;
inline constexpr uint16_t idDiagnosticLeds = 10345;
inline constexpr uint16_t idCylinderConfiguration = 14401;

// A default is a typed value, or raw bytes stored one by one for an entry whose bytes
// are no text (missing bytes are 0, surplus bytes are ignored).
using TParamDefault = std::variant<TValue, std::vector<uint8_t>>;

class TZarnoParam : public TCommObject {
 public:
  // Throws the communication object's conversion errors when the default does not fit.
  TZarnoParam(std::string name, uint16_t id, int size, const TParamDefault& defaultValue,
              bool passwordProtected, uint8_t readLevel, uint8_t writeLevel,
              uint8_t fileWriteLevel);

  std::string Name;  // key in parameter files, compared case-sensitively
  TCommObject DefaultValue;
  // Least privileged access level (0 administrator .. 2 monitor) that may do each.
  uint8_t ReadLevel;
  uint8_t WriteLevel;
  uint8_t FileWriteLevel;
  // The value just came from a parameter file: the next write checks FileWriteLevel.
  bool LoadedFromFile = false;

  // Copies the default's bytes, so that no byte of an earlier value survives the reset.
  void ResetToDefault();
};

// Owns its entries, in insertion order; a new list holds the 18 base entries. An entry
// that leaves the list lives on while a queued transfer still holds it.
class TZarnoParamList {
 public:
  TZarnoParamList();

  int Count() const { return static_cast<int>(items_.size()); }
  // Throws TKalvistError "List index out of bounds (%d)" outside 0..Count()-1.
  TZarnoParam& Items(int index);
  const TZarnoParam& Items(int index) const;

  // First match, or -1.
  int IndexOfId(uint16_t id) const;
  int IndexOfName(std::string_view name) const;

  TZarnoParam& Add(std::string name, uint16_t id, int size, const TParamDefault& defaultValue,
                   bool passwordProtected, uint8_t readLevel, uint8_t writeLevel,
                   uint8_t fileWriteLevel);
  // Adds the entry (password-protected) when `present` and the name is missing, removes
  // it when not `present` and the name is there; an entry already there stays as it is.
  void Ensure(const std::string& name, uint16_t id, int size, const TParamDefault& defaultValue,
              bool present, uint8_t readLevel, uint8_t writeLevel, uint8_t fileWriteLevel);

  void EnsureFiringAngles(bool present);
  void EnsureGains(bool present);
  void EnsureIndividualDelays(bool present);
  void EnsureMeasurementSensors(bool present);
  void EnsureSetpointsIdName(bool present);
  void EnsureEngineSerialNumber(bool present);
  void EnsureSelectSensors(bool present);
  void EnsureTdcSynchronizeMethod(bool present);
  void EnsureMisfiringLimits(bool present);
  void EnsureMisfiringGains(bool present);

  // Each entry in list order takes its default, then OnParamReset sees it.
  void ResetToDefaults();

  std::function<void(TZarnoParamList&, TZarnoParam&)> OnParamReset;

 private:
  size_t CheckedIndex(int index) const;

  std::vector<std::shared_ptr<TZarnoParam>> items_;
};

}  // namespace kalvist
