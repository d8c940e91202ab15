#include "vltZarno.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "BitUtils.h"
#include "KalvistError.h"
#include "MessageThread.h"

namespace kalvist {

namespace {

std::string Format(const char* pattern, long long a, long long b) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

}  // namespace

namespace {

struct TSwVersionRow {
  uint8_t Mode;
  int32_t From;  // the row holds from this version up to the next row of the mode
  TSwVersionFlags Flags;
};

constexpr int32_t kAnyVersion = std::numeric_limits<int32_t>::min();

// Flags: frequency range kind, newer parameter set, three-level scheme, set-point name,
// engine serial number, measurement sensors.
constexpr TSwVersionRow kSwVersionRows[] = {
    {0, kAnyVersion, {0, false, false, false, false, false}},
    {0, 20, {0, true, false, false, false, false}},
    {0, 24, {1, true, false, false, false, false}},
    {0, 25, {2, true, true, true, false, false}},
    {0, 26, {2, true, true, true, true, true}},
    {1, kAnyVersion, {0, false, false, false, false, false}},
    {1, 12, {1, false, false, false, false, false}},
    {1, 13, {2, true, true, true, false, false}},
    {1, 14, {2, true, true, true, true, false}},
    {2, kAnyVersion, {2, true, true, true, false, false}},
};

}  // namespace

TSwVersionFlags SwVersionFlags(uint8_t zarnoMode, int32_t swVersion) {
  const TSwVersionRow* found = nullptr;
  for (const TSwVersionRow& row : kSwVersionRows) {
    if (row.Mode == zarnoMode && row.From <= swVersion) found = &row;
  }
  if (!found) throw TKalvistError("Unsuported hardware.");
  return found->Flags;
}

TZarno::TZarno(IMainThread& mainThread) : TZarno(mainThread, nullptr) {}

TZarno::TZarno(IMainThread& mainThread, std::unique_ptr<TvltCustomConnection> connection)
    : comm_(connection ? std::make_unique<TvltZarnoComm>(mainThread, std::move(connection))
                       : std::make_unique<TvltZarnoComm>(mainThread)) {
  Construct();
}

TZarno::~TZarno() = default;

void TZarno::Construct() {
  cylinderConfiguration_.SetSize(40);
  std::fill_n(cylinderConfiguration_.Data(), 40, uint8_t{0xFF});
  params_.OnParamReset = [this](TZarnoParamList&, TZarnoParam& entry) { HandleParamReset(entry); };
  SetNewVersionSW(true);

  comm_->AccessNum = 0;
  comm_->OnOpenConnection = [this](TvltCustomConnection&, int result) { HandleOpen(result); };
  comm_->OnCloseConnection = [this](TvltCustomConnection&, int result) { HandleClose(result); };
  ConnectSoundEvents();

  queue_.SetSiteComm(comm_.get());
  queue_.OnCommObjRead = [this](TCustomCommObjectQueue&, TCustomCommObject& obj, int result) {
    HandleRead(obj, result);
  };
  queue_.OnCommObjWritten = [this](TCustomCommObjectQueue&, TCustomCommObject& obj, int result) {
    HandleWritten(obj, result);
  };
  queue_.OnAccessMode = [this] { return AccessLevel(); };
}

std::string TZarno::PortName() const {
  if (!comm_->PortPath.empty()) return comm_->PortPath;
  return "COM" + std::to_string(CommPort());
}

void TZarno::ShowError(const std::string& text) {
  ShowMessageAsync(text, 0, mkError);
}

// --- Connection ---

void TZarno::Connect() {
  ConnectionState = TConnectionState::Connecting;
  PortVanished = false;
  params_.ResetToDefaults();
  PeakIntensity = 0;
  queue_.Clear();
  comm_->OpenConnection();
}

void TZarno::HandleOpen(int result) {
  queue_.AccessCheck = true;
  if (result != 0) {
    ConnectionState = TConnectionState::Offline;
    if (OnDisconnect) OnDisconnect(*this);
    // The number only where no device path names the port.
    std::string text = "Error connecting to " +
                       (PortPath().empty() ? "Com" + std::to_string(CommPort()) : PortPath());
    const std::string& reason = comm_->Connection()->LastOpenError();
    if (!reason.empty()) text += ": " + reason;
    ShowError(text);
    return;
  }
  queue_.EnqueueRead(hardwareType_);
  queue_.EnqueueRead(swVersion_);
}

void TZarno::Disconnect() {
  comm_->CloseConnection();
  ForgetPassword();
  ConnectionState = TConnectionState::Offline;
}

// Every connection ends locked; the password that had been accepted is kept aside for a
// reconnect to the same controller.
void TZarno::ForgetPassword() {
  LastAcceptedPassword.reset();
  if (passwordOK_) LastAcceptedPassword = queue_.PasswordWord;
  passwordOK_ = false;
  accessLevelNumber_ = 0;
  changedPasswordWord_.reset();
  queue_.PasswordWord = kNoPassword;
}

void TZarno::HandleClose(int result) {
  if (result == clPortVanished) {
    HandlePortVanished();
    return;
  }
  ConnectionState = TConnectionState::Offline;
  // A close while streaming brings no sound event: the recording ends here instead.
  HandleStopSound(orNotConnected);
  // Under the three-level scheme no value read under an access level may stay visible.
  if (queueAccessCheck_) params_.ResetToDefaults();
  ClearLiveValues();
  ApplySwVersion();
  if (OnDisconnect) OnDisconnect(*this);
}

// The adapter was pulled, or the other end hung up. Closing the connection brings it
// back to closed, so that the same port can be opened again, and its close report takes
// the device model offline. The user is told once, here.
void TZarno::HandlePortVanished() {
  const bool wasOnline = ConnectionState != TConnectionState::Offline;
  PortVanished = true;
  ForgetPassword();
  comm_->CloseConnection();
  if (wasOnline)
    ShowError(GetZarnoName() + " is disconnected.\r\nThe port " + PortName() + " has gone.");
}

// A transfer that failed because the adapter was pulled tells the user of the lost port,
// not of the failed object.
bool TZarno::ReportedAsVanished() {
  if (comm_->Connection()->PortPresent()) return false;
  HandlePortVanished();
  return true;
}

// --- Transfer results ---

bool TZarno::ReadRawObject(TCustomCommObject& object) {
  // An empty queue holds no raw read any more; a cleared one may have left some behind.
  if (queue_.Count() == 0) rawReads_.clear();
  if (!queue_.EnqueueRead(object)) return false;
  rawReads_.insert(&object);
  return true;
}

void TZarno::HandleRawRead(const TCustomCommObject& object, int result) {
  if (OnTransferResult) OnTransferResult(*this, object.ObjectID, false, result);
  if (result == orNoAnswer || result == orInvalidAnswer) ReportReadError(object.ObjectID, result);
}

void TZarno::HandleRead(TCustomCommObject& object, int result) {
  if (rawReads_.erase(&object) > 0) {
    HandleRawRead(object, result);
    return;
  }
  const uint16_t id = object.ObjectID;
  if (OnTransferResult) OnTransferResult(*this, id, false, result);
  if (result == orRefusalIgnored) return;
  if (result != 0) {
    ReportReadError(id, result);
    return;
  }
  switch (id) {
    case idSwVersion:
      ConnectionState = TConnectionState::Connected;
      Identify();
      return;
    case idThreeLvLPassword:
      HandleThreeLevelRead(object);
      return;
    default:
      ObjectChanged(id);
  }
}

void TZarno::ReportReadError(uint16_t id, int result) {
  if (ReportedAsVanished()) return;
  Disconnect();
  if (id == idSwVersion) {
    ShowError(GetZarnoName() + " was not found. (Error reading SW version)");
  } else if (result == orNoAnswer) {
    std::string text = GetZarnoName() + " is disconnected.\r\nTimeout error reading.";
    if (!comm_->Answered()) {
      text += "\r\nNo controller answered on " + PortName() +
              ": check the cable, the port and the controller's power.";
    }
    ShowError(text);
  } else {
    ShowError(GetZarnoName() +
              Format(" is disconnected.\r\nError reading object. Object ID: %lld, error # %lld", id,
                     result));
  }
}

void TZarno::HandleWritten(TCustomCommObject& object, int result) {
  const uint16_t id = object.ObjectID;
  if (OnTransferResult) OnTransferResult(*this, id, true, result);
  if (id == idThreeLvLPassword || id == idPassword) {
    HandlePasswordWritten(id, result);
    return;
  }
  if (id == idWriteOperPassword) TakeChangedPassword(result == 0);
  if (result == orSuccess || result == orRefusalIgnored) return;
  if (ReportedAsVanished()) return;
  Disconnect();
  ShowError(GetZarnoName() +
            Format(" is disconnected.\r\nError writing object. Object ID: %lld, error # %lld", id,
                   result));
}

void TZarno::Identify() {
  queue_.PasswordWord = kNoPassword;
  accessLevelNumber_ = 0;
  uint8_t mode;
  switch ((hardwareType_.AsCardinal() >> 16) & 0xFF) {
    case 0x13:
      mode = 0;
      break;
    case 0x21:
      mode = 1;
      break;
    case 0x6C:
      mode = 2;
      break;
    default:
      Disconnect();
      SetZarnoMode(0);
      return;
  }
  SetZarnoMode(mode);
  ApplySwVersion();
  ApplyNewVersionSW();
  if (OnConnect) OnConnect(*this);
}

// --- Hardware kind and firmware ---

int32_t TZarno::SwVersion() const {
  return IsConnected() ? swVersion_.AsByte() : offlineSWversion_;
}

void TZarno::SetZarnoMode(uint8_t mode) {
  zarnoMode_ = mode;
  params_.EnsureSelectSensors(mode == 1);
  params_.EnsureTdcSynchronizeMethod(mode == 2);
  params_.EnsureMisfiringLimits(mode == 2);
  params_.EnsureMisfiringGains(mode == 2);
}

void TZarno::ApplySwVersion() {
  frequencyRangeKind_ = 0;
  newVersionWanted_ = false;
  queueAccessCheck_ = threeLevel_ = windowInDegrees_ = false;
  params_.EnsureMeasurementSensors(false);
  const TSwVersionFlags flags = SwVersionFlags(zarnoMode_, SwVersion());
  frequencyRangeKind_ = flags.FrequencyRangeKind;
  newVersionWanted_ = flags.NewVersion;
  queueAccessCheck_ = threeLevel_ = windowInDegrees_ = flags.ThreeLevel;
  params_.EnsureSetpointsIdName(flags.SetpointsIdName);
  params_.EnsureEngineSerialNumber(flags.EngineSerialNumber);
  params_.EnsureMeasurementSensors(flags.MeasurementSensors);
}

void TZarno::ApplyNewVersionSW() {
  SetNewVersionSW(newVersionWanted_);
  queue_.AccessCheck = queueAccessCheck_;
}

void TZarno::SetNewVersionSW(bool flag) {
  if (flag == newVersionSW_) return;
  newVersionSW_ = flag;
  params_.EnsureFiringAngles(flag);
  params_.EnsureGains(flag);
  if (!flag) {
    params_.EnsureIndividualDelays(false);
    return;
  }
  const int32_t v = SwVersion();
  switch (zarnoMode_) {
    case 0:
      if (v >= 26) params_.EnsureIndividualDelays(true);
      break;
    case 1:
      if (v >= 14) params_.EnsureIndividualDelays(true);
      break;
    case 2:
      break;
    default:
      throw TKalvistError("TZarno.SetNewVersionSW: Unspecified ZarnoMode.");
  }
}

void TZarno::SetOfflineSWversion(int32_t value) {
  offlineSWversion_ = value;
  if (IsConnected()) return;
  ApplySwVersion();
  ApplyNewVersionSW();
}

void TZarno::FrequencyRange(uint8_t kind, int32_t& min, int32_t& max) {
  switch (kind) {
    case 0:
      min = 1220;
      max = 10120;
      return;
    case 1:
      min = 1220;
      max = 15070;
      return;
    case 2:
      min = 305;
      max = 15070;
      return;
    default:
      throw TKalvistError("Unsuported frequency range");
  }
}

std::string TZarno::GetZarnoName() const {
  if (zarnoMode_ > 2) throw TKalvistError("TZarno.GetZarnoName: Unspecified ZarnoMode.");
  return unitNames_[zarnoMode_];
}

std::string TZarno::GetZarnoNames(int index) const {
  if (index < 0 || index > 2) {
    throw TKalvistError("TZarno.GetZarnoNames - value Index out of range.");
  }
  return unitNames_[static_cast<size_t>(index)];
}

void TZarno::SetZarnoNames(int index, const std::string& name) {
  if (index < 0 || index > 2) {
    throw TKalvistError("TZarno.SetZarnoNames - value Index out of range.");
  }
  unitNames_[static_cast<size_t>(index)] = name;
}

// --- Values ---

void TZarno::HandleParamReset(TZarnoParam& entry) {
  if (windowInDegrees_) {
    // 20.0 and 30.0 degrees in place of the microsecond defaults.
    if (entry.ObjectID == idWindowDelay) entry.SetAsWord(200);
    if (entry.ObjectID == idWindowWidth) entry.SetAsWord(300);
  }
  ObjectChanged(entry.ObjectID);
}

TZarnoParam* TZarno::FindParam(uint16_t id) {
  const int index = params_.IndexOfId(id);
  if (index < 0) {
    ShowError("Parameter with ID: " + std::to_string(id) + " was not found");
    return nullptr;
  }
  return &params_.Items(index);
}

std::optional<TValue> TZarno::GetValue(uint16_t id) {
  TZarnoParam* entry = FindParam(id);
  if (!entry) return std::nullopt;
  return entry->Value();
}

namespace {

bool MayWrite(const TZarno& zarno, const TZarnoParam& entry) {
  return zarno.IsConnected() && (!entry.PasswordProtected || zarno.PasswordOK());
}

}  // namespace

bool TZarno::SetValue(uint16_t id, const TValue& value) {
  TZarnoParam* entry = FindParam(id);
  if (!entry) return false;
  if (!Loading && ValuesEqual(value, entry->Value())) return false;
  entry->SetValue(value);
  return MayWrite(*this, *entry) && queue_.EnqueueWrite(*entry);
}

bool TZarno::SetValue(uint16_t id, std::span<const TValue> bytes) {
  TZarnoParam* entry = FindParam(id);
  if (!entry) return false;
  if (std::ssize(bytes) < entry->Size()) {
    throw TKalvistError("Cannot convert value, unknown data size");
  }
  std::vector<uint8_t> converted(static_cast<size_t>(entry->Size()));
  for (size_t i = 0; i < converted.size(); ++i) {
    converted[i] = static_cast<uint8_t>(bytes[i].AsInt64());
  }
  std::copy(converted.begin(), converted.end(), entry->Data());
  return MayWrite(*this, *entry) && queue_.EnqueueWrite(*entry);
}

bool TZarno::ReadValue(uint16_t id) {
  TZarnoParam* entry = FindParam(id);
  return entry && queue_.EnqueueRead(*entry);
}

void TZarno::ObjectChanged(uint16_t id) {
  if (id == idEncryptedPassword) {
    ShowMessageAsync("Encrypted password value is: " + std::to_string(EncryptedPassword()), 0,
                     mkInformation);
    return;
  }
  if (OnObjectChanged) OnObjectChanged(*this, id);
}

// --- "Switches" ---

uint16_t TZarno::SwitchesValue() {
  const std::optional<TValue> value = GetValue(idSwitches);
  return value ? static_cast<uint16_t>(value->AsInt64()) : 0;
}

void TZarno::ApplySwitches(uint16_t value) {
  if (value != SwitchesValue()) SetValue(idSwitches, TValue(value));
}

bool TZarno::SwitchBit(int n) {
  return GetBit0(SwitchesValue(), n);
}

void TZarno::SetSwitchBit(int n, bool on) {
  uint16_t value = SwitchesValue();
  SetBit0(value, n, on);
  ApplySwitches(value);
}

int TZarno::EngineType() {
  const uint16_t value = SwitchesValue();
  // Bit 11 says whether the type sits in its new place (bits 9-10) or the old (7-8).
  return static_cast<int>(GetBit0(value, 11) ? GetMaskedBits(value, 10, 2)
                                             : GetMaskedBits(value, 8, 2));
}

void TZarno::SetEngineType(int type) {
  uint32_t value = SwitchesValue();
  const auto bits = static_cast<uint32_t>(type) & 3u;
  SetMaskedBits(value, 8, 2, bits);
  SetMaskedBits(value, 10, 2, bits);
  ApplySwitches(static_cast<uint16_t>(value));
}

}  // namespace kalvist
