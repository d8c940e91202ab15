// Connects again when the port of a controller that went away comes back (the same
// device path, as when a USB adapter is plugged in again): identification as on any
// connect, then the password that had been accepted, so that the configuration is read
// again under the same access level.
//
// The owner (main window, command-line tool) calls Disconnected from its OnDisconnect
// handler and Connected from its OnConnect handler once its own checks are done.
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "MainThread.h"
#include "vltZarno.h"

namespace kalvist {

class TReconnector {
 public:
  TReconnector(TZarno& zarno, IMainThread& mainThread);
  ~TReconnector();
  TReconnector(const TReconnector&) = delete;
  TReconnector& operator=(const TReconnector&) = delete;

  bool Enabled = false;
  uint32_t PollMs = 200;
  // After a reconnect: the password (if one had been accepted) is on its way again.
  std::function<void(TReconnector&)> OnReconnected;

  void Disconnected();
  // `accepted` false: the owner refused the controller (its firmware, say) and is about
  // to disconnect; that is no reason to try again.
  void Connected(bool accepted = true);
  bool Watching() const { return timer_ != 0; }

  // Milliseconds of the main thread's clock, for the user and for measuring.
  uint64_t VanishedAtMs = 0;
  uint64_t ReconnectedAtMs = 0;

 private:
  void Poll();
  void StopWatching();

  TZarno& zarno_;
  IMainThread& mainThread_;
  TTimerId timer_ = 0;
  bool reconnecting_ = false;
};

}  // namespace kalvist
