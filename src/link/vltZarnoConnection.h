// The connection the controller operator creates: the direct connection plus the
// settling pause after opening and the sound streaming mode.
//
// Sound mode begins when the start-sound request (object 24474) goes out. From then
// on the I/O thread reads stream blocks (TSoundReader) instead of replies and hands
// each one over like a reply; requests are written without purging and without
// awaiting a reply, and the connection stays busy until the operator leaves the mode.
#pragma once

#include <atomic>

#include "vltDirectConnection.h"
#include "vltSoundReader.h"

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

  bool SoundMode() const override { return soundMode_; }
  void LeaveSoundMode() override;

 protected:
  void ParseReply() override;
  void HandleIoEvent(bool error) override;
  void BeginReception(uint32_t replyTimeout) override;
  bool CanPurge() const override { return !soundMode_; }
  void Recover() override;
  void ClosePort() override;

 private:
  void RunReaderAction(TSoundReader::TAction action);

  std::atomic<bool> soundMode_{false};
  TSoundReader reader_;            // I/O thread while streaming
  uint32_t streamGeneration_ = 0;  // the port the stream runs on
  TTimerId settleTimer_ = 0;
};

}  // namespace kalvist
