#include "fZarnoSound.h"

#include <cstdio>
#include <limits>

namespace kalvist {

std::string FormatElapsed(uint64_t ms) {
  char text[48];
  std::snprintf(text, sizeof text, "%llu:%02u:%02u,%03u",
                static_cast<unsigned long long>(ms / 3600000),
                static_cast<unsigned>(ms / 60000 % 60), static_cast<unsigned>(ms / 1000 % 60),
                static_cast<unsigned>(ms % 1000));
  return text;
}

TfmZarnoSound::~TfmZarnoSound() {
  StopTimer();
}

void TfmZarnoSound::Start(const std::string& sensorName, uint16_t sampleRate, int32_t seconds) {
  sensorName_ = sensorName;
  Prepare(sensorName, sampleRate);
  startMs_ = mainThread_.NowMs();
  ShowElapsed();
  stopPressed_ = false;
  StopTimer();
  if (seconds > 0) {
    timer_ = mainThread_.StartTimer(static_cast<uint32_t>(seconds) * 1000, [this] { Close(); });
  }
  open_ = true;
  RunModal();
  // A loop that was told to quit leaves the window behind: it is closed all the same.
  Close();
}

void TfmZarnoSound::ShowElapsed() {
  ShowTime(FormatElapsed(ElapsedMs()));
}

void TfmZarnoSound::StopClick() {
  if (!open_) return;
  stopPressed_ = true;
  Close();
}

void TfmZarnoSound::Close() {
  StopTimer();
  if (!open_) return;
  open_ = false;
  EndModal();
}

void TfmZarnoSound::StopTimer() {
  if (timer_ != 0) mainThread_.StopTimer(timer_);
  timer_ = 0;
}

void TfmZarnoSoundHeadless::ShowTime(const std::string& text) {
  if (OnElapsed) OnElapsed(SensorName(), text);
}

void TfmZarnoSoundHeadless::RunModal() {
  loop_.RunUntil([this] { return !IsOpen(); }, std::numeric_limits<uint64_t>::max() / 4);
}

}  // namespace kalvist
