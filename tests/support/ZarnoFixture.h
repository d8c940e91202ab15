// A device object on a scripted connection whose controller answers from a table of
// objects, plus a sink that records the message boxes. Runs on fake time.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "EventLoop.h"
#include "MessageThread.h"
#include "ScriptedConnection.h"
#include "vltZarno.h"

namespace kalvist::test {

class TRecordingSink : public IMessageSink {
 public:
  void Show(const TMessage& m, std::function<void()> closed) override {
    messages.push_back(m);
    closed();
  }
  std::vector<TMessage> messages;
};

// Kind byte of object 24469 (third byte) for each hardware kind.
inline std::vector<uint8_t> HardwareType(uint8_t kindByte) {
  return {0x01, 0x02, kindByte, 0};
}

class ZarnoFixture : public ::testing::Test {
 protected:
  ZarnoFixture() : loop(TEventLoop::TClock::Fake) {
    Recreate();
    SetMessageSink(&sink);
    SetController(0x13, 25);
    // The objects outside the catalogue answer zeros of their own size.
    for (auto [id, size] : {std::pair<uint16_t, size_t>{idKnockIntensity, 20},
                            {idRegulationOutput, 1},
                            {idStatus, 1},
                            {idBadSensors, 4},
                            {idMode2Live1, 20},
                            {idMode2Live2, 4},
                            {idMode2Live3, 2},
                            {idMode2Live4, 4},
                            {idEncryptedPassword, 4},
                            {idDiagnosticMode, 1},
                            {idCylinderConfiguration, 40}}) {
      objects[id] = std::vector<uint8_t>(size, 0);
    }
  }
  ~ZarnoFixture() override { SetMessageSink(nullptr); }

  // A fresh device object on a fresh link; the controller's table stays.
  void Recreate() {
    zarno.reset();
    auto scripted = std::make_unique<TScriptedConnection>(loop);
    link = scripted.get();
    zarno = std::make_unique<TZarno>(loop, std::move(scripted));
    zarno->SetZarnoNames(0, "Z20");
    zarno->SetZarnoNames(1, "Z2");
    zarno->SetZarnoNames(2, "Z3");
    zarno->OnObjectChanged = [this](TZarno&, uint16_t id) { changed.push_back(id); };
    zarno->OnConnect = [this](TZarno&) { ++connects; };
    zarno->OnDisconnect = [this](TZarno&) { ++disconnects; };
    changed.clear();
    connects = disconnects = 0;
  }

  void SetController(uint8_t kindByte, uint8_t firmware) {
    objects[idHardwareType] = HardwareType(kindByte);
    objects[idSwVersion] = {firmware, 0};
  }

  // Answers every request the device sends until the link is idle.
  void Pump() {
    for (int guard = 0; link->Busy() && guard < 10000; ++guard) Answer(link->sent.back());
  }

  void ConnectTo(uint8_t kindByte, uint8_t firmware) {
    SetController(kindByte, firmware);
    zarno->Connect();
    Pump();
  }

  // Ids of the requests sent since `from`, the access-number writes left out.
  std::vector<uint16_t> SentIds(size_t from = 0) const {
    std::vector<uint16_t> ids;
    for (size_t i = from; i < link->sent.size(); ++i) {
      if (link->sent[i].ObjectID != kAccessNumberId) ids.push_back(link->sent[i].ObjectID);
    }
    return ids;
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& m : sink.messages) texts.push_back(m.Caption + ": " + m.Text);
    return texts;
  }

  TEventLoop loop;
  TScriptedConnection* link;
  std::unique_ptr<TZarno> zarno;
  TRecordingSink sink;
  std::map<uint16_t, std::vector<uint8_t>> objects;   // what reads answer (zeros otherwise)
  std::map<uint16_t, std::vector<uint8_t>> refusals;  // error bytes per object
  std::set<uint16_t> silent;                          // objects that never answer
  std::map<uint16_t, std::vector<uint8_t>> written;   // last data written per object
  std::vector<uint16_t> changed;
  int connects = 0;
  int disconnects = 0;

 private:
  void Answer(const TLinkRequest& request) {
    const uint16_t id = request.ObjectID;
    if (silent.count(id)) return link->Answer(TLinkResult::Timeout);
    if (auto refusal = refusals.find(id); refusal != refusals.end()) {
      return link->Answer(TLinkResult::DeviceError, refusal->second);
    }
    if (request.Op == TLinkOp::Write) {
      written[id].assign(request.Data.begin(), request.Data.begin() + request.DataLength);
      return link->Answer(TLinkResult::Ok);
    }
    auto object = objects.find(id);
    link->Answer(TLinkResult::Ok, object != objects.end() ? object->second : Zeros(id));
  }

  // A catalogue entry answers zeros of its own size.
  std::vector<uint8_t> Zeros(uint16_t id) const {
    const int index = zarno->Params().IndexOfId(id);
    const int size = index < 0 ? 2 : zarno->Params().Items(index).Size();
    return std::vector<uint8_t>(static_cast<size_t>(size), 0);
  }
};

}  // namespace kalvist::test
