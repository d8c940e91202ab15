#include "Reconnector.h"

#include "SerialPort.h"

namespace kalvist {

TReconnector::TReconnector(TZarno& zarno, IMainThread& mainThread)
    : zarno_(zarno), mainThread_(mainThread) {}

TReconnector::~TReconnector() {
  StopWatching();
}

void TReconnector::StopWatching() {
  if (timer_ != 0) mainThread_.StopTimer(timer_);
  timer_ = 0;
}

void TReconnector::Disconnected() {
  if (reconnecting_) {
    // The new connection failed (the port came back but did not open, or the
    // controller did not answer): watch on.
    reconnecting_ = false;
  } else {
    // Gone while idle (the presence check), or gone under a transfer that then failed.
    const bool gone = zarno_.PortVanished || !PortExists(zarno_.PortPath());
    if (!Enabled || !gone) return;
    VanishedAtMs = mainThread_.NowMs();
  }
  if (timer_ == 0) timer_ = mainThread_.StartTimer(PollMs, [this] { Poll(); });
}

void TReconnector::Poll() {
  if (!Enabled) return StopWatching();
  if (!PortExists(zarno_.PortPath())) return;
  StopWatching();
  reconnecting_ = true;
  zarno_.Connect();
}

void TReconnector::Connected(bool accepted) {
  if (!reconnecting_) return;
  reconnecting_ = false;
  if (!accepted || !zarno_.IsConnected()) return;
  ReconnectedAtMs = mainThread_.NowMs();
  if (zarno_.LastAcceptedPassword) zarno_.EnterPassword(*zarno_.LastAcceptedPassword);
  if (OnReconnected) OnReconnected(*this);
}

}  // namespace kalvist
