// The connection the controller operator creates: the direct connection plus the
// settling pause after opening and the start of sound streaming.
//
// Sound mode begins when the start-sound request (object 24474) goes out. From then
// on the I/O thread reads stream blocks (TSoundReader) instead of replies and hands
// each one over like a reply; keep-alive and stop requests go out through
// SendWithoutReply, and the connection stays busy until the operator leaves the mode.
#pragma once

#include "vltDirectConnection.h"

namespace kalvist {

class TvltZarnoConnection final : public TvltDirectConnection {
 public:
  TvltZarnoConnection(IMainThread& mainThread, std::unique_ptr<ISerialPort> port);
  ~TvltZarnoConnection() override;

  static constexpr uint32_t kSettleMs = 150;

  // Opens, then lets the line settle (purge, 150 ms, purge) before reporting code 0.
  // The pause runs on a timer: the main thread does not wait for it.
  void Open(const std::string& portName) override;
  bool Send(const TLinkRequest& request) override;

 private:
  TTimerId settleTimer_ = 0;
};

}  // namespace kalvist
