#include "CliSession.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "CliOutput.h"
#include "DeviceVersionCheck.h"
#include "MessageThread.h"
#include "ZarnoSimulator.h"

namespace kalvist::cli {

namespace {

uint64_t SteadyUs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

// The opening itself: the settling pause and some room for the system.
constexpr uint64_t kOpenBoundMs = 2000;
// Beyond the reply time-outs, one try may take the watchdog margin and a recovery flood.
constexpr uint64_t kTryOverheadMs = 3000;

}  // namespace

void TLineSink::Show(const TMessage& m, std::function<void()> closed) {
  ++count_;
  if (BeforeMessage) BeforeMessage();
  std::string text = m.Caption.empty() ? "" : m.Caption + ": ";
  for (const char c : Cp1252ToUtf8(m.Text)) {
    // One message, one line: a line break becomes a blank, a CR LF pair one blank.
    if (c == '\r') continue;
    text += c == '\n' ? ' ' : c;
  }
  ErrorLine(text);
  if (m.Kind == mkError) NoteError(text.substr(m.Caption.empty() ? 0 : m.Caption.size() + 2));
  if (closed) closed();
}

TCliSession::TCliSession(TSessionOptions options) : options_(std::move(options)) {
  SetMessageSink(&sink_);
}

TCliSession::~TCliSession() {
  if (zarno_ && (zarno_->IsConnected() || zarno_->IsConnecting())) zarno_->Disconnect();
  zarno_.reset();
  simulator_.reset();
  SetMessageSink(nullptr);
}

void TCliSession::Error(const std::string& text) {
  sink_.Show({text, "Error", mkError, 0}, {});
}

void TCliSession::StartSimulator() {
  static bool told = false;  // once, also for a command that opens several sessions
  if (!told) ErrorLine("using the built-in controller simulator");
  told = true;
  sim::TSimOptions options;
  options.Kind = options_.SimKind;
  options.Firmware = options_.SimFirmware;
  options.AccessNumber = options_.AccessNumber;
  simulator_ = std::make_unique<sim::TZarnoSimulator>(options);
  portPath_ = simulator_->Start();
}

void TCliSession::SetUpLink() {
  zarno_ = std::make_unique<TZarno>(loop_);
  // The default unit name of each kind stands in for the user's own.
  for (uint8_t mode = 0; mode < 3; ++mode) zarno_->SetZarnoNames(mode, DeviceTypeName(mode));
  zarno_->SetPortPath(portPath_);
  TvltZarnoComm& comm = zarno_->Comm();
  comm.SetCommTimeout(options_.TimeoutMs);
  comm.SetCommMaxRepeat(options_.Retries);
  comm.AccessNum = options_.AccessNumber;
  if (options_.Trace) {
    traceStartUs_ = SteadyUs();
    comm.Connection()->OnTrace = [start = traceStartUs_](TTraceDirection direction,
                                                         std::span<const uint8_t> bytes,
                                                         uint64_t atUs) {
      ErrorLine(TraceLine(direction, bytes, atUs, start));
    };
  }
  zarno_->OnTransferResult = [this](TZarno&, uint16_t id, bool isWrite, int result) {
    (isWrite ? writes_ : reads_)[id] = result;
  };
  zarno_->OnConnect = [this](TZarno&) { HandleConnect(); };
  reconnector_ = std::make_unique<TReconnector>(*zarno_, loop_);
  reconnector_->Enabled = options_.Reconnect;
  zarno_->OnDisconnect = [this](TZarno&) { reconnector_->Disconnected(); };
}

void TCliSession::HandleConnect() {
  TZarno& z = *zarno_;
  identified_ = true;
  const auto firmware = static_cast<uint8_t>(z.SwVersion());
  const std::optional<std::string> refusal = CheckDeviceVersion(z.ZarnoMode(), firmware);
  identity_ = {z.ZarnoMode(),       firmware,        z.GetZarnoName(), z.ThreeLevel(),
               z.WindowInDegrees(), z.AccessLevel(), z.PasswordOK(),   z.Params().Count(),
               !refusal.has_value()};
  if (refusal) {
    Error(*refusal);
    reconnector_->Connected(false);
    z.Disconnect();
    return;
  }
  z.ResetPassword();
  reconnector_->Connected();
}

bool TCliSession::AwaitReconnect() {
  if (!options_.Reconnect || !reconnector_->Watching()) return false;
  ErrorLine("Waiting for " + zarno_->PortPath() + " to come back...");
  const bool back = loop_.RunUntil(
      [this] { return zarno_->IsConnected() && reconnector_->ReconnectedAtMs != 0 && Settled(); },
      options_.ReconnectWaitMs);
  if (!back) return false;
  ErrorLine("Reconnected to " + zarno_->PortPath() + " " +
            std::to_string(reconnector_->ReconnectedAtMs - reconnector_->VanishedAtMs) +
            " ms after the port went away");
  reconnector_->ReconnectedAtMs = 0;
  return true;
}

bool TCliSession::Settled() const {
  return zarno_->Queue().Count() == 0 && !zarno_->Comm().Busy();
}

uint64_t TCliSession::TransferBoundMs() const {
  return (2ull * options_.TimeoutMs + kTryOverheadMs) * (options_.Retries + 1ull);
}

int TCliSession::Open() {
  if (options_.Port.empty()) {
    StartSimulator();
  } else {
    portPath_ = options_.Port;
  }
  SetUpLink();
  zarno_->Connect();
  // The access number, the hardware type and the firmware version.
  loop_.RunUntil([this] { return !zarno_->IsConnecting(); }, kOpenBoundMs + 3 * TransferBoundMs());
  if (zarno_->IsConnecting()) {
    zarno_->Disconnect();
    Error("No answer from " + zarno_->PortName());
    return exNoDevice;
  }
  if (!zarno_->IsConnected()) {
    if (zarno_->Comm().Connection()->LastOpenError() == std::strerror(EACCES)) {
      ErrorLine(
          "Hint: the port's group (\"dialout\" on Debian) may use it: usermod -aG dialout "
          "$USER, then log in again");
    }
    if (!identified_ && ReadResult(idSwVersion) == 0) {
      char text[80];
      std::snprintf(text, sizeof text, "Unknown hardware type (object 24469 reads 0x%08X)",
                    zarno_->HardwareTypeValue());
      Error(text);
    }
    return exNoDevice;
  }
  identity_.AccessLevel = zarno_->AccessLevel();
  identity_.PasswordOK = zarno_->PasswordOK();
  if (!options_.Password) return exOk;
  const int shown = MessagesShown();
  zarno_->EnterPassword(*options_.Password);
  if (!Settle(2) || !zarno_->PasswordOK()) {
    if (MessagesShown() == shown) Error("The password was not accepted");
    return exFailed;
  }
  identity_.AccessLevel = zarno_->AccessLevel();
  identity_.PasswordOK = true;
  return exOk;
}

bool TCliSession::Settle(int transfers, const std::function<bool()>& stop) {
  loop_.RunUntil([this, &stop] { return !zarno_->IsConnected() || Settled() || (stop && stop()); },
                 static_cast<uint64_t>(transfers) * TransferBoundMs() + kOpenBoundMs);
  return zarno_->IsConnected() && Settled();
}

std::optional<std::vector<std::string>> TCliSession::ReadConfiguration() {
  TZarno& zarno = *zarno_;
  ForgetResults();
  zarno.ReadAllParameters();
  if (!Settle(zarno.Params().Count() + 4)) {
    if (zarno.IsConnected()) Error("The controller did not finish in time");
    return std::nullopt;
  }
  std::vector<std::string> notRead;
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    const TZarnoParam& entry = zarno.Params().Items(i);
    if (ReadResult(entry.ObjectID) != 0) notRead.push_back(entry.Name);
  }
  return notRead;
}

void TCliSession::Idle(uint32_t ms) {
  loop_.RunUntil([] { return false; }, ms);
}

std::optional<int> TCliSession::ReadResult(uint16_t id) const {
  const auto found = reads_.find(id);
  return found == reads_.end() ? std::nullopt : std::optional<int>(found->second);
}

std::optional<int> TCliSession::WriteResult(uint16_t id) const {
  const auto found = writes_.find(id);
  return found == writes_.end() ? std::nullopt : std::optional<int>(found->second);
}

void TCliSession::ForgetResults() {
  reads_.clear();
  writes_.clear();
}

}  // namespace kalvist::cli
