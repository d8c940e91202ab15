#include "vltZarnoConnection.h"

namespace kalvist {

TvltZarnoConnection::TvltZarnoConnection(IMainThread& mainThread, std::unique_ptr<ISerialPort> port)
    : TvltDirectConnection(mainThread, std::move(port)) {}

TvltZarnoConnection::~TvltZarnoConnection() {
  if (settleTimer_ != 0) MainThread().StopTimer(settleTimer_);
}

void TvltZarnoConnection::Open(const std::string& portName) {
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

bool TvltZarnoConnection::Send(const TLinkRequest& request) {
  if (Busy() || request.ObjectID != kStartSoundId || State() != 1) {
    return TvltDirectConnection::Send(request);
  }
  StartStream(request);
  return true;
}

}  // namespace kalvist
