#include "vltZarnoConnection.h"

namespace kalvist {

TvltZarnoConnection::TvltZarnoConnection(IMainThread& mainThread,
                                         std::unique_ptr<ISerialPort> port)
    : TvltDirectConnection(mainThread, std::move(port)) {}

TvltZarnoConnection::~TvltZarnoConnection() {
  if (settleTimer_ != 0) MainThread().StopTimer(settleTimer_);
}

void TvltZarnoConnection::LeaveSoundMode() { soundMode_ = false; }

void TvltZarnoConnection::Open(const std::string& portName) {
  LeaveSoundMode();
  if (!OpenPort(portName)) return;
  PurgeNow();
  const uint32_t generation = PortGeneration();
  if (settleTimer_ != 0) MainThread().StopTimer(settleTimer_);
  settleTimer_ = MainThread().StartTimer(kSettleMs, [this, generation] {
    MainThread().StopTimer(settleTimer_);
    settleTimer_ = 0;
    if (generation != PortGeneration()) return;  // closed while settling
    PurgeNow();
    WndProc(cmOpenResult, opOpened);
  });
}

}  // namespace kalvist
