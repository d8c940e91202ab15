#include "vltCustomConnection.h"

namespace kalvist {

TvltCustomConnection::TvltCustomConnection(IMainThread& mainThread)
    : mainThread_(mainThread),
      self_(std::make_shared<TvltCustomConnection*>(this)),
      handOver_(mainThread, [this] { WndProc(cmTransferDone, 0); }) {}

TvltCustomConnection::~TvltCustomConnection() {
  if (timer_ != 0) mainThread_.StopTimer(timer_);
}

void TvltCustomConnection::StartTimer() {
  if (TimerInterval() != 0 && timer_ == 0) {
    timer_ = mainThread_.StartTimer(TimerInterval(), [this] { OnTimer(); });
  }
}

void TvltCustomConnection::WndProc(int message, int param) {
  switch (message) {
    case cmTransferDone:
      ParseReply();
      if (OnTransferDone) OnTransferDone(*this, reply_);
      break;
    case cmOpenResult:
      if (OnOpen) OnOpen(*this, param);
      break;
    case cmCloseResult:
      if (OnClose) OnClose(*this, param);
      break;
    case cmState:
      state_ = param;
      break;
    default:
      break;
  }
}

void TvltCustomConnection::PostMessage(int message, int param) {
  std::weak_ptr<TvltCustomConnection*> self = self_;
  mainThread_.Post([self, message, param] {
    if (auto alive = self.lock()) (*alive)->WndProc(message, param);
  });
}

}  // namespace kalvist
