// The recording window: sensor name, elapsed time, an optional scope, the button
// "Stop", and a timer that closes it after the recording time. Start shows it modally:
// it returns once the window has closed, and the recording's events arrive meanwhile
// through the main thread's loop. The GUI derives its window from this class; the
// command-line tool and the tests use TfmZarnoSoundHeadless.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "EventLoop.h"
#include "MainThread.h"
#include "SoundFile.h"

namespace kalvist {

// "h:nn:ss,zzz": hours without a leading zero, then minutes, seconds, milliseconds.
std::string FormatElapsed(uint64_t ms);

class TfmZarnoSound {
 public:
  explicit TfmZarnoSound(IMainThread& mainThread) : mainThread_(mainThread) {}
  virtual ~TfmZarnoSound();
  TfmZarnoSound(const TfmZarnoSound&) = delete;
  TfmZarnoSound& operator=(const TfmZarnoSound&) = delete;

  // Shows the window modally; `seconds` above 0 closes it after that time.
  void Start(const std::string& sensorName, uint16_t sampleRate, int32_t seconds);
  void ShowElapsed();
  bool StopPressed() const { return stopPressed_; }
  // The button "Stop": records that the user stopped and closes the window.
  void StopClick();
  // Closes with Cancel; harmless when closed.
  void Close();
  bool IsOpen() const { return open_; }
  const std::string& SensorName() const { return sensorName_; }
  uint64_t ElapsedMs() const { return mainThread_.NowMs() - startMs_; }

  // The frames of one block as the file gets them, for a scope; none by default.
  virtual void FeedScope(std::span<const TSoundFrame>) {}

 protected:
  // Clears the scope and sets its sample rate; labels the sensor.
  virtual void Prepare(const std::string& sensorName, uint16_t sampleRate) = 0;
  virtual void ShowTime(const std::string& text) = 0;
  // Runs until EndModal.
  virtual void RunModal() = 0;
  virtual void EndModal() = 0;

 private:
  void StopTimer();

  IMainThread& mainThread_;
  std::string sensorName_;
  uint64_t startMs_ = 0;
  TTimerId timer_ = 0;
  bool open_ = false;
  bool stopPressed_ = false;
};

// No window: the modal run is the core's own loop, the time goes to OnElapsed.
class TfmZarnoSoundHeadless : public TfmZarnoSound {
 public:
  explicit TfmZarnoSoundHeadless(TEventLoop& loop) : TfmZarnoSound(loop), loop_(loop) {}

  // The sensor name and the elapsed time, at every ShowElapsed.
  std::function<void(const std::string& sensor, const std::string& elapsed)> OnElapsed;

 protected:
  void Prepare(const std::string&, uint16_t) override {}
  void ShowTime(const std::string& text) override;
  void RunModal() override;
  void EndModal() override {}

 private:
  TEventLoop& loop_;
};

}  // namespace kalvist
