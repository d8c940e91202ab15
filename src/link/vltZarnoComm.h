// The operator the device model owns: it creates its connection, opens and closes the
// port, and puts the access-number write in front of operations when the controller
// expects it (after opening, and after 10 s without a good reply).
//
// Main thread only.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "vltControllerOper.h"
#include "vltSoundReader.h"
#include "vltZarnoConnection.h"

namespace kalvist {

class TvltZarnoComm;
using TSoundControl = std::function<void(TvltZarnoComm& sender, int result)>;
// `samples` points into the operator's sample buffer and is valid only during the call.
using TSoundData =
    std::function<void(TvltZarnoComm& sender, int result, const uint16_t* samples, int count)>;

class TvltZarnoComm : public TvltControllerOper {
 public:
  explicit TvltZarnoComm(IMainThread& mainThread);
  // Tests put a scripted connection in place of the serial one.
  TvltZarnoComm(IMainThread& mainThread, std::unique_ptr<TvltCustomConnection> connection);
  ~TvltZarnoComm() override;

  static constexpr uint64_t kAccessLifetimeMs = 10000;

  uint8_t AccessNum = 0;
  uint32_t COM = 1;
  // The device path that Open uses on this platform (COM keeps the Windows-style number).
  std::string PortPath;
  TConnResult OnOpenConnection;
  TConnResult OnCloseConnection;
  TSoundControl OnStartSound;
  TSoundControl OnStopSound;
  TSoundData OnSoundData;

  static constexpr uint64_t kKeepAliveMs = 900;

  void OpenConnection();
  void CloseConnection();
  // A well-formed reply of any kind has come since the port was last opened: something
  // that speaks the protocol is on the line.
  bool Answered() const { return answered_; }

  // As the plain operations, with the access-number prelude when it is due.
  bool ReadWithAccess(uint16_t objectId, uint8_t* buffer, int32_t& size);
  bool WriteWithAccess(uint16_t objectId, const uint8_t* buffer, int32_t size);
  bool WritePrefixedWithAccess(uint16_t objectId, const uint8_t* buffer, uint16_t prefix,
                               int32_t size);

  // Streams the signal of `sensor` (1-based). False when streaming already or busy;
  // otherwise the outcome follows through OnStartSound.
  bool StartSound(uint8_t sensor);
  // Ends the stream after the next block; false when not streaming.
  bool StopSound();
  bool SoundMode() const { return Connection()->SoundMode(); }

  // Maps a link result to an operation result (used where no repeats apply).
  static int ResultOfLink(const TLinkReply& reply);

 protected:
  void HandleTransfer(TLinkReply* reply) override;
  void DoWriteResult(int result) override;

 private:
  enum class TPendingKind : uint8_t { None, Read, Write, WritePrefixed, SoundSource };
  struct TPending {
    TPendingKind Kind = TPendingKind::None;
    uint16_t ObjectID = 0;
    uint8_t* Buffer = nullptr;
    const uint8_t* Source = nullptr;
    int32_t Size = 0;
    uint16_t Prefix = 0;
  };

  // The sound control, as one state machine (HandleSoundReply and AfterSoundBlock):
  //   Off       --StartSound-->                 Starting (the sensor write is out)
  //   Starting  --its reply Ok-->               StartDue; any other reply: Off, OnStartSound
  //   StartDue  --the call without a reply-->   Streaming (start write out, OnStartSound(0))
  //   Streaming --a stop requested-->           Stopping (stop write out)
  //   Streaming/Stopping --a bad block-->       Failed (remembering which it was)
  //   any streaming phase --its end-->          Off, with OnSoundData or OnStopSound
  enum class TSoundPhase : uint8_t { Off, Starting, StartDue, Streaming, Stopping, Failed };

  bool AccessValid() const;
  void HandleSoundTransfer(TLinkReply* reply);
  void HandleSoundReply(const TLinkReply& reply);
  void HandleSoundStartReply(const TLinkReply& reply);
  void StartStreaming();
  void AfterSoundBlock();
  void FailSound(int code, bool resync);
  void ForceSend(uint16_t objectId);
  void EndSound();
  void FireSoundData(int result, const uint16_t* samples, int count);
  void FireSamples(const TLinkReply& block);
  void FireStopSound(int result);
  bool RunPrelude(const TPending& pending);
  void HandlePreludeResult(int result);
  bool StartPending();
  // Ends the operation behind the prelude, which could not start, with `result`.
  void FailPending(int result);

  std::unique_ptr<TvltCustomConnection> connection_;
  TPending pending_;
  bool preludeRunning_ = false;  // the access-number write ahead of pending_ is out
  bool accessNeeded_ = true;
  uint64_t lastGoodReply_ = 0;
  bool answered_ = false;
  uint8_t accessValue_[2] = {0, 0};

  TSoundPhase soundPhase_ = TSoundPhase::Off;
  TSoundPhase phaseBeforeFailure_ = TSoundPhase::Streaming;
  bool stopRequested_ = false;
  uint8_t packetCounter_ = 0;
  int failureCode_ = 0;
  uint64_t lastKeepAlive_ = 0;
  uint8_t soundSensor_ = 0;
  std::array<uint16_t, (kMaxSoundBlock - 6) / 2> samples_{};
};

}  // namespace kalvist
