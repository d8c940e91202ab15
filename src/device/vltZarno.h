// The controller as the rest of the program sees it: connecting and identification,
// the catalogue fitted to the hardware kind and firmware, value reads and writes through
// the queue, access levels and passwords, and the live values.
//
// Main thread only: the operator and the queue raise their events there, and callers
// call in from their own handlers. Errors found here go to the message boxes
// (ShowMessageAsync) and never wait for the user; internal errors (a hardware kind or
// unit-name index out of range) throw TKalvistError.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>

#include "SoundFile.h"
#include "fZarnoSound.h"
#include "vltControllerQueue.h"
#include "vltZarnoComm.h"
#include "vltZarnoParams.h"

namespace kalvist {

// Access levels: lower is more privileged.
inline constexpr uint8_t alAdministrator = 0;
inline constexpr uint8_t alOperator = 1;
inline constexpr uint8_t alMonitor = 2;

inline constexpr int kChannelCount = 20;

// The status lamps of object 10328, by bit; any bad-sensor bit lights kBadSensorLamp.
inline constexpr std::array<const char*, 7> kStatusBitNames{
    "ENGINE KNOCKING",  // bit 0
    "TRIP",             // bit 1
    "REDUCTION",        // bit 2
    "LOW RPM",          // bit 3
    "NO ISU PULSES",    // bit 4
    "SPURIOUS PULSE",   // bit 5
    "EEPROM FAULT",     // bit 6
};
inline constexpr const char* kBadSensorLamp = "BAD SENSOR";
inline constexpr uint16_t kNoPassword = 65535;

// The device's queue: drops catalogue transfers that the current access level may not
// do, and runs transfers through the operator's access-number prelude while it checks.
class TZarnoQueue : public TvltControllerQueue {
 public:
  bool AccessCheck = false;
  // The current access level; asked only while AccessCheck is on.
  std::function<uint8_t()> OnAccessMode;

  // Whether the access checks let this transfer through (always, for a plain object or
  // while AccessCheck is off).
  bool ReadPermitted(const TCustomCommObject& commObj) const;
  bool WritePermitted(const TCustomCommObject& commObj) const;

  // A dropped transfer returns false and reports nothing; a written entry loaded from a
  // file loses its LoadedFromFile flag when its write is queued.
  bool EnqueueRead(TCustomCommObject& commObj) override;
  bool EnqueueWrite(TCustomCommObject& commObj) override;

 protected:
  void StartHead() override;
  bool StartRead(uint16_t objectId, uint8_t* buffer, int32_t& size) override;
  bool StartWrite(uint16_t objectId, const uint8_t* buffer, int32_t size) override;
  bool StartWritePrefixed(uint16_t objectId, const uint8_t* buffer, uint16_t prefix,
                          int32_t size) override;

 private:
  uint8_t CurrentLevel() const;
  TvltZarnoComm& ZarnoComm() const;
};

// What a firmware version means for one hardware kind.
struct TSwVersionFlags {
  uint8_t FrequencyRangeKind = 0;
  bool NewVersion = false;
  bool ThreeLevel = false;  // also the window in degrees and the queue's access checks
  bool SetpointsIdName = false;
  bool EngineSerialNumber = false;
  bool MeasurementSensors = false;
};
// Throws TKalvistError "Unsuported hardware." for a mode other than 0, 1, 2.
TSwVersionFlags SwVersionFlags(uint8_t zarnoMode, int32_t swVersion);

class TZarno;
class TIniFile;
using TZarnoNotify = std::function<void(TZarno& sender)>;
using TObjectEvent = std::function<void(TZarno& sender, uint16_t aCommObjID)>;
using TTransferEvent =
    std::function<void(TZarno& sender, uint16_t aCommObjID, bool isWrite, int result)>;

// The numbers are those the status bar and the settings have always shown.
enum class TConnectionState : uint8_t { Offline = 0, Connecting = 1, Connected = 2 };

class TZarno {
 public:
  explicit TZarno(IMainThread& mainThread);
  // Tests put a scripted connection in place of the serial one.
  TZarno(IMainThread& mainThread, std::unique_ptr<TvltCustomConnection> connection);
  ~TZarno();
  TZarno(const TZarno&) = delete;
  TZarno& operator=(const TZarno&) = delete;

  TZarnoNotify OnConnect;     // the controller has been identified
  TZarnoNotify OnDisconnect;  // the connection has ended or failed to open
  // The last connection ended because its port went away (adapter pulled) while idle;
  // cleared by Connect. A reconnect watches for the same port to come back.
  bool PortVanished = false;
  // The password word that was accepted when the last connection ended, to enter again
  // on a reconnect.
  std::optional<uint16_t> LastAcceptedPassword;
  TObjectEvent OnObjectChanged;
  // Every queued transfer's end, before it is handled (a read answered with no bytes
  // ends without one).
  TTransferEvent OnTransferResult;

  // --- Port and connection ---
  uint8_t CommPort() const { return static_cast<uint8_t>(comm_->COM); }
  void SetCommPort(uint8_t port) { comm_->COM = port; }
  // The device path the port opens on this platform.
  const std::string& PortPath() const { return comm_->PortPath; }
  void SetPortPath(const std::string& path) { comm_->PortPath = path; }
  // The device path when set, else "COM" and the number.
  std::string PortName() const;

  void Connect();
  void Disconnect();
  bool IsConnected() const { return ConnectionState == TConnectionState::Connected; }
  bool IsConnecting() const { return ConnectionState == TConnectionState::Connecting; }

  // --- Identification and firmware ---
  int32_t SwVersion() const;
  // The raw value of object 24469 as last read.
  uint32_t HardwareTypeValue() const { return hardwareType_.AsCardinal(); }
  uint8_t ZarnoMode() const { return zarnoMode_; }
  void SetZarnoMode(uint8_t mode);
  void ApplySwVersion();
  void ApplyNewVersionSW();
  void SetNewVersionSW(bool flag);
  bool NewVersionSW() const { return newVersionSW_; }
  int32_t OfflineSWversion() const { return offlineSWversion_; }
  void SetOfflineSWversion(int32_t value);
  bool WindowInDegrees() const { return windowInDegrees_; }
  uint8_t FrequencyRangeKind() const { return frequencyRangeKind_; }
  bool ThreeLevel() const { return threeLevel_; }
  bool QueueAccessCheck() const { return queueAccessCheck_; }
  // Throws "Unsuported frequency range" for a kind other than 0, 1, 2.
  static void FrequencyRange(uint8_t kind, int32_t& min, int32_t& max);
  int32_t MaxWindowDelayDegrees() const { return zarnoMode_ == 2 ? 180 : 60; }

  std::string GetZarnoName() const;
  std::string ZarnoName() const { return GetZarnoName(); }
  std::string GetZarnoNames(int index) const;
  void SetZarnoNames(int index, const std::string& name);

  // --- Values ---
  // Reports "Parameter with ID: %d was not found" when the catalogue has no such entry.
  TZarnoParam* FindParam(uint16_t id);
  bool HasParam(uint16_t id) const { return params_.IndexOfId(id) >= 0; }
  std::optional<TValue> GetValue(uint16_t id);
  // Stores the value and queues its write when connected and the password state allows.
  // A value equal to the current one does nothing unless Loading. Returns whether a write
  // was queued.
  bool SetValue(uint16_t id, const TValue& value);
  // One value per data byte, stored always (no comparison). Throws "Cannot convert value,
  // unknown data size" for fewer values than bytes, and the conversion error for a value
  // that is no number; either way nothing is stored.
  bool SetValue(uint16_t id, std::span<const TValue> bytes);
  // Queues a read of one catalogue entry; false when there is none or the access checks
  // drop it.
  bool ReadValue(uint16_t id);
  // Queues a read of any object by its ID into `object`, whose size is the most it takes
  // (the reply sets it). Nothing of the device object's own state changes: the result
  // comes through OnTransferResult alone; a failed link (no or an invalid answer) ends the
  // connection as any read does, a refusal by the controller does not. `object` must live
  // until its read has ended or the queue has been cleared.
  bool ReadRawObject(TCustomCommObject& object);
  void ObjectChanged(uint16_t id);
  void ShowError(const std::string& text);

  bool SwitchBit(int n);
  void SetSwitchBit(int n, bool on);
  int EngineType();
  void SetEngineType(int type);

  // --- Access levels and passwords ---
  uint8_t AccessLevel() const;
  // "administrator", "operator", "monitor"; empty for any other level.
  static std::string AccessLevelName(uint8_t level);
  bool PasswordOK() const { return passwordOK_; }
  int32_t AccessLevelNumber() const { return accessLevelNumber_; }
  void EnterPassword(uint16_t value);
  // Throws "Writing password  to undefined comm. object." for a three-level change of a
  // level other than 0 and 1; nothing is sent then. Returns whether the write was queued
  // (the access checks may drop it).
  bool ChangePassword(uint16_t value, uint8_t level);
  void ResetPassword();
  void RequestEncryptedPassword();
  uint32_t EncryptedPassword() const { return encryptedPassword_.AsCardinal(); }

  // --- Live values ---
  void ReadStatus();
  void ReadLiveValues();
  void ReadAllParameters();
  void ClearLiveValues();
  double KnockIntensity(int channel) const;
  int KnockIntensityInt(int channel) const;
  double RegulationOutput() const;
  bool StatusBit(int n) const;
  bool SensorFault(int channel) const;
  bool AnySensorFault() const;
  int CylinderCount() const;
  bool ChannelUsed(int channel) const;
  void ComputeStatistics();
  void ResetPeak() { PeakIntensity = 0; }

  bool DiagnosticMode() const { return diagnosticMode_.AsByte() != 0; }
  void SetDiagnosticMode(bool on);
  uint16_t DiagnosticOutput() const { return diagnosticOutput_.AsWord(); }
  void SetDiagnosticOutput(uint16_t value);
  void SaveDirectDiagOutput(uint16_t value);
  uint16_t DiagnosticLeds() const { return diagnosticLeds_.AsWord(); }
  void SetDiagnosticLeds(uint16_t mask);

  using TFiringTable = std::array<uint8_t, kChannelCount>;
  TFiringTable GetFiringToChannel() const;
  void SetFiringToChannel(const TFiringTable& table);
  TFiringTable GetFiringToCylinder() const;
  void SetFiringToCylinder(const TFiringTable& table);
  void WriteCylinderConfiguration();

  // ---- Parameter files (vltZarnoFiles.cpp) ----
  // 1 (".zrn") for the 20-sensor unit below 2.5, 2 (".zr2") for the 2-sensor unit below
  // 1.3, else 0 (".zrp"). Throws "TZarno.GetSaveFileFormat: Unspecified ZarnoMode." for
  // a mode other than 0..2.
  uint8_t GetSaveFileFormat() const;
  // The file of that format: the identification (format 0), every catalogue entry in
  // catalogue order, and in mode 2 the cylinder configuration.
  TIniFile SaveToIni(uint8_t format) const;
  // Saves in the current format. A failure is shown with its reason (ShowError) and
  // leaves an existing file as it was; returns whether the file was written.
  bool SaveToFile(const std::string& fileName);
  // Whether the current access level may write every catalogue entry the file's
  // "parameters" section names; `needed` is the least privileged level that may.
  bool CheckFileAccess(const TIniFile& ini, uint8_t& needed) const;
  // Applies the file's values to the catalogue entries it names, each written even when
  // unchanged, then in mode 2 its cylinder configuration. Throws the conversion error of
  // a value its entry cannot take; the entries before it keep their new values.
  void LoadFromIni(const TIniFile& ini);
  // ---- end of parameter files ----

  // --- State the callers read ---
  double MaxIntensity = 0;
  double MinIntensity = 0;
  double AverageIntensity = 0;
  double PeakIntensity = 0;
  int MaxChannel = 0;
  bool Loading = false;  // a parameter file is being applied
  int NumMaxChannels = kChannelCount;
  TConnectionState ConnectionState = TConnectionState::Offline;

  // ---- Sound recording (vltZarnoSound.cpp) ----
  uint16_t SampleRate = 41000;    // written into the file header, given to the scope
  uint16_t TimeStampDelay = 100;  // frames of each synchronisation pulse in the file
  int32_t SoundError = 0;         // 0 none, 1 start failed, else the failed data event's result
  bool SequenceActive = false;    // a multi-sensor recording is running
  TZarnoNotify OnSoundDone;       // a recording has ended while a sequence is active
  // The recording window: the GUI puts its own in, the command-line tool and the tests a
  // headless one. RecordSound needs one.
  void SetSoundForm(std::unique_ptr<TfmZarnoSound> form);
  TfmZarnoSound* SoundForm() { return soundForm_.get(); }
  // Records one sensor (`channel` 1-based) into one file; returns when the recording
  // window has closed. The file is finished when the stream has ended.
  void RecordSound(const std::string& fileName, const std::string& sensorName, int32_t seconds,
                   uint8_t channel);
  void HandleStartSound(int result);
  void HandleSoundData(int result, const uint16_t* samples, int count);
  void HandleStopSound(int result);
  bool SoundFileOpen() const { return soundFile_.IsOpen(); }
  // ---- end of sound recording ----

  TZarnoParamList& Params() { return params_; }
  const TZarnoParamList& Params() const { return params_; }
  TZarnoQueue& Queue() { return queue_; }
  TvltZarnoComm& Comm() { return *comm_; }

 private:
  void Construct();
  void HandleOpen(int result);
  void HandleClose(int result);
  void HandlePortVanished();
  bool ReportedAsVanished();
  void ForgetPassword();
  void HandleRead(TCustomCommObject& object, int result);
  void HandleRawRead(const TCustomCommObject& object, int result);
  void HandleWritten(TCustomCommObject& object, int result);
  void HandleParamReset(TZarnoParam& entry);
  void Identify();
  void ReportReadError(uint16_t id, int result);
  void HandlePasswordWritten(uint16_t id, int result);
  void HandleThreeLevelRead(const TCustomCommObject& object);
  // A password change of the current level has ended: on success its word takes over.
  void TakeChangedPassword(bool accepted);
  void RestoreCylinderTableSize();
  uint16_t SwitchesValue();
  void ApplySwitches(uint16_t value);

  // ---- Sound recording ----
  enum class TSoundPhase : uint8_t { Idle, Waiting, Recording };
  void ConnectSoundEvents();
  void AbandonSoundFile();
  void EndStreamOnError(int result);
  void WriteSoundBlock(const uint16_t* samples, int count);
  std::unique_ptr<TfmZarnoSound> soundForm_;
  TSoundFileWriter soundFile_;
  TSoundPhase soundPhase_ = TSoundPhase::Idle;
  bool soundWindowDone_ = false;  // the window of the current recording has closed
  uint64_t soundBytes_ = 0;
  TAuHeader soundHeader_{};
  uint16_t syncCounter_ = 0;
  std::vector<TSoundFrame> soundFrames_;  // reused from block to block
  std::vector<uint8_t> soundOut_;
  // ---- end of sound recording ----

  std::unique_ptr<TvltZarnoComm> comm_;

  TCommObject knockIntensities_{idKnockIntensity, false, 20};
  TCommObject regulationOutput_{idRegulationOutput, false, 1};
  TCommObject status_{idStatus, false, 1};
  TCommObject badSensors_{idBadSensors, false, 4};
  TCommObject encryptedPassword_{idEncryptedPassword, false, 4};
  TCommObject swVersion_{idSwVersion, false, 2};
  TCommObject hardwareType_{idHardwareType, false, 4};
  TCommObject mode2Live1_{idMode2Live1, false, 20};
  TCommObject mode2Live2_{idMode2Live2, false, 4};
  TCommObject mode2Live3_{idMode2Live3, false, 2};
  TCommObject mode2Live4_{idMode2Live4, false, 4};
  TCommObject cylinderConfiguration_{idCylinderConfiguration, true, 40};
  TZarnoParam diagnosticMode_{"DiagnosticMode", idDiagnosticMode, 1, 0, false, 1, 1, 1};
  TZarnoParam diagnosticOutput_{"DiagnosticOutput", idDiagnosticOutput, 2, 0, false, 1, 1, 1};
  TZarnoParam diagnosticLeds_{"DiagnosticLeds", idDiagnosticLeds, 2, 0, false, 1, 1, 1};
  TZarnoParam threeLvLPassword_{"ThreeLvLPassword", idThreeLvLPassword, 2, 0, true, 2, 2, 2};
  TZarnoParam password_{"Password", idPassword, 2, 0, true, 0, 0, 0};
  TZarnoParam writeOperPassword_{"WriteOperPassword", idWriteOperPassword, 2, 0, true, 1, 1, 1};
  TZarnoParamList params_;

  TZarnoQueue queue_;
  std::set<const TCustomCommObject*> rawReads_;  // queued by ReadRawObject

  bool passwordOK_ = false;
  int32_t accessLevelNumber_ = 0;
  // The password word that a changed password of the current level brings once written.
  std::optional<uint16_t> changedPasswordWord_;
  uint8_t zarnoMode_ = 0;
  std::array<std::string, 3> unitNames_;
  bool newVersionSW_ = false;
  int32_t offlineSWversion_ = 0;
  bool windowInDegrees_ = false;
  uint8_t frequencyRangeKind_ = 0;
  bool newVersionWanted_ = false;
  bool queueAccessCheck_ = false;
  bool threeLevel_ = false;
};

}  // namespace kalvist
