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
    if (!Enabled || !zarno_.PortVanished) return;
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

void TReconnector::Connected() {
  if (!reconnecting_) return;
  reconnecting_ = false;
  if (!zarno_.IsConnected()) return;  // refused by the owner's checks
  ReconnectedAtMs = mainThread_.NowMs();
  if (zarno_.PasswordAtVanish) zarno_.EnterPassword(*zarno_.PasswordAtVanish);
  if (OnReconnected) OnReconnected(*this);
}

}  // namespace kalvist
