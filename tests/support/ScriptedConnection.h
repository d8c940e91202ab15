// A connection whose replies the test writes: every Send is recorded, and Answer
// delivers a link result as the hand-over would, on the test's (main) thread.
#pragma once

#include <vector>

#include "vltCustomConnection.h"

namespace kalvist::test {

class TScriptedConnection : public TvltCustomConnection {
 public:
  explicit TScriptedConnection(IMainThread& mainThread) : TvltCustomConnection(mainThread) {}

  void Open(const std::string&) override {
    state_ = 1;
    if (OnOpen) OnOpen(*this, 0);
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
    return true;
  }
  int MaxFrameData() const override { return kMaxFrameData; }
  int SegmentData() const override { return kSegmentData; }

  // Ends the exchange in flight with `code` and `data`.
  void Answer(TLinkResult code, std::vector<uint8_t> data = {}) {
    answerData_ = std::move(data);
    busy_ = false;
    reply_ = TLinkReply{code, static_cast<uint16_t>(answerData_.size()), answerData_.data()};
    WndProc(cmTransferDone, 0);
  }
  void SetBusy(bool busy) { busy_ = busy; }

  std::vector<TLinkRequest> sent;

 private:
  std::vector<uint8_t> answerData_;
};

}  // namespace kalvist::test
