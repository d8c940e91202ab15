// Sound recording of the device object: the file is created before the stream starts,
// gets its provisional header when the stream has started, one buffered write per
// block, and the real data size when the stream has ended.
//
// A recording is finished exactly once: HandleStopSound does nothing once the file is
// closed, whichever of the stop acknowledgement, a stream failure or the closing of the
// connection comes first (a close while streaming brings no sound event at all).
#include "KalvistError.h"
#include "vltZarno.h"

namespace kalvist {

void TZarno::ConnectSoundEvents() {
  comm_->OnStartSound = [this](TvltZarnoComm&, int result) { HandleStartSound(result); };
  comm_->OnSoundData = [this](TvltZarnoComm&, int result, const uint16_t* samples, int count) {
    HandleSoundData(result, samples, count);
  };
  comm_->OnStopSound = [this](TvltZarnoComm&, int result) { HandleStopSound(result); };
}

void TZarno::SetSoundForm(std::unique_ptr<TfmZarnoSound> form) {
  soundForm_ = std::move(form);
}

void TZarno::RecordSound(const std::string& fileName, const std::string& sensorName,
                         int32_t seconds, uint8_t channel) {
  if (!soundForm_) throw TKalvistError("TZarno.RecordSound: no recording form.");
  if (soundPhase_ != TSoundPhase::Idle) throw TKalvistError("FileStream is in use!");
  if (!soundFile_.Create(fileName)) {
    ShowError("Sound file can not be created!\r\n" + fileName + ": " + soundFile_.Error());
    return;
  }
  if (comm_->SoundMode()) {
    soundFile_.Remove();
    throw TKalvistError("SoundMode is On!");
  }
  if (!comm_->StartSound(channel)) {
    soundFile_.Remove();
    ShowError("Error recording sound");
    SoundError = 1;
    return;
  }
  soundPhase_ = TSoundPhase::Waiting;
  soundWindowDone_ = false;
  soundForm_->Start(sensorName, SampleRate, seconds);
  soundWindowDone_ = true;
  if (SequenceActive && soundForm_->StopPressed()) SequenceActive = false;
  comm_->StopSound();
}

void TZarno::HandleStartSound(int result) {
  if (soundPhase_ != TSoundPhase::Waiting) return;
  if (result != 0) {
    // The controller refused the sensor: as a refused start, nothing is recorded.
    AbandonSoundFile();
    ShowError("Error recording sound");
    SoundError = 1;
    return;
  }
  soundPhase_ = TSoundPhase::Recording;
  syncCounter_ = 0;
  soundBytes_ = 0;
  soundHeader_ = BuildAuHeader(kAuSizeUnknown, SampleRate);
  soundFile_.Write(soundHeader_);
  // The user stopped before the stream came: end it at once.
  if (soundWindowDone_) comm_->StopSound();
}

void TZarno::HandleSoundData(int result, const uint16_t* samples, int count) {
  if (result != 0) {
    EndStreamOnError(result);
    return;
  }
  if (soundPhase_ != TSoundPhase::Recording || count <= 0) return;
  WriteSoundBlock(samples, count);
  if (soundFile_.Failed() && soundForm_->IsOpen()) {
    // A full disk ends the recording; what was written stays readable.
    soundForm_->Close();
    SequenceActive = false;
    ShowError("Sound file can not be written!");
  }
}

void TZarno::EndStreamOnError(int result) {
  SoundError = result;
  if (result != orSoundErrorLeftOpen) {  // the caller closes then
    if (ReportedAsVanished()) return;    // the close finishes the file
    Disconnect();
  }
  if (soundForm_) soundForm_->Close();
  HandleStopSound(result);
  ShowError("Error writing sound data. Disconnected.");
}

void TZarno::WriteSoundBlock(const uint16_t* samples, int count) {
  const auto n = static_cast<size_t>(count);
  if (soundFrames_.size() < n) soundFrames_.resize(n);
  const std::span<TSoundFrame> frames(soundFrames_.data(), n);
  ConvertSoundWords({samples, n}, TimeStampDelay, syncCounter_, frames);
  soundOut_.clear();
  AppendFrameBytes(frames, soundOut_);
  soundFile_.Write(soundOut_);
  soundBytes_ += soundOut_.size();
  soundForm_->FeedScope(frames);
  soundForm_->ShowElapsed();
}

void TZarno::HandleStopSound(int /*result*/) {
  if (soundPhase_ == TSoundPhase::Idle) return;
  if (soundPhase_ == TSoundPhase::Waiting) {
    AbandonSoundFile();  // the stream never started: there is nothing to keep
  } else {
    soundPhase_ = TSoundPhase::Idle;
    soundHeader_ = BuildAuHeader(AuDataSize(soundBytes_), SampleRate);
    soundFile_.WriteAt(0, soundHeader_);
    if (soundForm_) soundForm_->Close();
    soundFile_.Close();
  }
  if (SequenceActive && OnSoundDone) OnSoundDone(*this);
}

void TZarno::AbandonSoundFile() {
  soundPhase_ = TSoundPhase::Idle;
  if (soundForm_) soundForm_->Close();
  soundFile_.Remove();
}

}  // namespace kalvist
