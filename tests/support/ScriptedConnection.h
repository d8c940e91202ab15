// A connection whose replies the test writes: every Send is recorded, and Answer
// delivers a link result as the hand-over would, on the test's (main) thread.
#pragma once

#include <vector>

#include "vltCustomConnection.h"

namespace kalvist::test {

class TScriptedConnection : public TvltCustomConnection {
 public:
  explicit TScriptedConnection(IMainThread& mainThread) : TvltCustomConnection(mainThread) {}

  // What the next Open reports; anything but 0 leaves the port closed.
  int OpenResult = 0;

  void Open(const std::string&) override {
    state_ = OpenResult == 0 ? 1 : 0;
    if (OnOpen) OnOpen(*this, OpenResult);
  }
  void Close() override {
    state_ = 0;
    busy_ = false;
    if (OnClose) OnClose(*this, 0);
  }
  bool Send(const TLinkRequest& request) override {
    if (busy_) return false;
    sent.push_back(request);
    busy_ = true;
    if (request.ObjectID == kStartSoundId) soundMode_ = true;
    return true;
  }
  bool SendWithoutReply(const TLinkRequest& request) override {
    if (!soundMode_) return false;
    sent.push_back(request);
    return true;
  }
  void RequestResynchronisation() override { resyncRequested = true; }
  bool SoundMode() const override { return soundMode_; }
  void LeaveSoundMode() override {
    soundMode_ = false;
    busy_ = false;
  }
  int MaxFrameData() const override { return kMaxFrameData; }
  int SegmentData() const override { return kSegmentData; }

  // Ends the exchange in flight with `code` and `data`.
  void Answer(TLinkResult code, std::vector<uint8_t> data = {}) {
    answerData_ = std::move(data);
    if (!soundMode_) busy_ = false;  // a stream keeps the connection busy
    reply_ = TLinkReply{code, static_cast<uint16_t>(answerData_.size()), answerData_.data()};
    WndProc(cmTransferDone, 0);
  }
  void SetBusy(bool busy) { busy_ = busy; }

  std::vector<TLinkRequest> sent;
  bool resyncRequested = false;  // the operator asked the stream reader to resynchronise

 private:
  std::vector<uint8_t> answerData_;
  bool soundMode_ = false;
};

}  // namespace kalvist::test
