// The connection the controller operator creates: the direct connection plus the
// settling pause after opening and the sound streaming mode.
#pragma once

#include "vltDirectConnection.h"

namespace kalvist {

class TvltZarnoConnection : public TvltDirectConnection {
 public:
  TvltZarnoConnection(IMainThread& mainThread, std::unique_ptr<ISerialPort> port);
  ~TvltZarnoConnection() override;

  static constexpr uint32_t kSettleMs = 150;

  // Opens, then lets the line settle (purge, 150 ms, purge) before reporting code 0.
  // The pause runs on a timer: the main thread does not wait for it.
  void Open(const std::string& portName) override;

  bool SoundMode() const { return soundMode_; }

 protected:
  void LeaveSoundMode();

  bool soundMode_ = false;

 private:
  TTimerId settleTimer_ = 0;
};

}  // namespace kalvist
