#include <gtest/gtest.h>

#include "EventLoop.h"
#include "ScriptedConnection.h"
#include "SoundBlocks.h"
#include "vltZarnoComm.h"

namespace kalvist {
namespace {

using test::SoundBlock;
using test::TScriptedConnection;
using R = TLinkResult;

class SoundOperatorTest : public ::testing::Test {
 protected:
  SoundOperatorTest() : loop(TEventLoop::TClock::Fake) {
    auto scripted = std::make_unique<TScriptedConnection>(loop);
    link = scripted.get();
    oper = std::make_unique<TvltZarnoComm>(loop, std::move(scripted));
    oper->OnStartSound = [this](TvltZarnoComm&, int r) {
      log.push_back("start " + std::to_string(r));
    };
    oper->OnStopSound = [this](TvltZarnoComm&, int r) {
      log.push_back("stop " + std::to_string(r));
    };
    oper->OnSoundData = [this](TvltZarnoComm&, int r, const uint16_t* samples, int count) {
      log.push_back("data " + std::to_string(r) + " " + std::to_string(count));
      if (count > 0) firstSample = samples[0];
    };
    oper->OnIdle = [this](TvltControllerOper&) { log.push_back("idle"); };
    oper->OnReadCommObjResult = [this](TvltControllerOper&, int r) {
      log.push_back("read " + std::to_string(r));
    };
  }

  // Access granted, sensor 3 selected, stream running.
  void StartStreaming() {
    ASSERT_TRUE(oper->StartSound(3));
    if (LastSentId() == kAccessNumberId) link->Answer(R::Ok);
    ASSERT_EQ(link->sent.back().ObjectID, kSoundSensorId);
    EXPECT_EQ(link->sent.back().Data[0], 2);  // 0-based sensor index
    link->Answer(R::Ok);                      // sensor write
    ASSERT_EQ(link->sent.back().ObjectID, kStartSoundId);
    ASSERT_TRUE(oper->SoundMode());
    log.clear();
  }

  void Block(std::vector<uint8_t> block) {
    block[2] &= 0x07;  // the reader hands the type alone
    link->Answer(R::Ok, block);
  }

  uint16_t LastSentId() const { return link->sent.back().ObjectID; }

  TEventLoop loop;
  TScriptedConnection* link;
  std::unique_ptr<TvltZarnoComm> oper;
  std::vector<std::string> log;
  uint16_t firstSample = 0;
};

TEST_F(SoundOperatorTest, StartReportsSuccessOnceTheStartWriteIsOut) {
  ASSERT_TRUE(oper->StartSound(1));
  link->Answer(R::Ok);
  link->Answer(R::Ok);
  EXPECT_EQ(log, std::vector<std::string>{"start 0"});
  EXPECT_FALSE(oper->StartSound(1));  // already streaming
}

TEST_F(SoundOperatorTest, RefusedSensorWriteIsNotRepeated) {
  ASSERT_TRUE(oper->StartSound(1));
  link->Answer(R::Ok);
  const size_t before = link->sent.size();
  link->Answer(R::DeviceError, {0, 0, 0, 5});
  EXPECT_EQ(link->sent.size(), before);
  EXPECT_EQ(log, (std::vector<std::string>{"start 5", "idle"}));
  EXPECT_FALSE(oper->SoundMode());
}

TEST_F(SoundOperatorTest, CountersWrapAndSamplesAreLittleEndianWords) {
  StartStreaming();
  for (uint8_t counter = 0; counter < 3; ++counter) Block(SoundBlock(0, counter, 15, 0x8123));
  EXPECT_EQ(log, std::vector<std::string>(3, "data 0 4096"));
  EXPECT_EQ(firstSample, 0x8123);
}

TEST_F(SoundOperatorTest, SkippedCounterStopsAndReportsAfterTheAcknowledgement) {
  StartStreaming();
  Block(SoundBlock(0, 0));
  Block(SoundBlock(0, 2));
  EXPECT_TRUE(link->resyncRequested);
  EXPECT_EQ(LastSentId(), kStopSoundId);
  Block(SoundBlock(1, 0));
  EXPECT_EQ(log, (std::vector<std::string>{"data 0 256", "data 5 0", "idle"}));
  EXPECT_FALSE(oper->SoundMode());
}

TEST_F(SoundOperatorTest, StopTakesEffectAfterTheNextBlock) {
  StartStreaming();
  ASSERT_TRUE(oper->StopSound());
  EXPECT_EQ(LastSentId(), kStartSoundId);  // nothing sent yet
  Block(SoundBlock(0, 0));
  EXPECT_EQ(LastSentId(), kStopSoundId);
  Block(SoundBlock(0, 1));  // in flight: no data event
  Block(SoundBlock(1, 0));
  EXPECT_EQ(log, (std::vector<std::string>{"data 0 256", "stop 0", "idle"}));
}

TEST_F(SoundOperatorTest, KeepAliveFollowsABlockOnce900msHavePassed) {
  StartStreaming();
  loop.AdvanceTime(899);
  Block(SoundBlock(0, 0));
  EXPECT_EQ(link->sent.size(), 3u);
  loop.AdvanceTime(1);
  Block(SoundBlock(0, 1));
  EXPECT_EQ(link->sent.size(), 4u);
  EXPECT_EQ(LastSentId(), kStartSoundId);
  EXPECT_TRUE(link->Busy());  // still streaming
}

TEST_F(SoundOperatorTest, EndingsWhileStreamingAndStopping) {
  struct Case {
    bool stopping;
    R code;
    std::vector<uint8_t> block;
    int result;
  };
  for (const Case& c :
       {Case{false, R::Timeout, {}, orNoAnswer}, Case{false, R::NotOpen, {}, orNotConnected},
        Case{false, R::Ok, SoundBlock(2, 0xFF), orClass8First},
        Case{false, R::Ok, SoundBlock(2, 0x10), orUnknownRefusal},
        Case{true, R::Timeout, {}, orNoAnswer},
        Case{true, R::Ok, SoundBlock(2, 0xFE), orClass8First + 1}}) {
    const std::string event =
        c.stopping ? "stop " + std::to_string(c.result) : "data " + std::to_string(c.result) + " 0";
    SCOPED_TRACE(event);
    StartStreaming();
    if (c.stopping) {
      oper->StopSound();
      Block(SoundBlock(0, 0));
      log.clear();
    }
    if (c.block.empty())
      link->Answer(c.code);
    else
      Block(c.block);
    EXPECT_EQ(log, (std::vector<std::string>{event, "idle"}));
    EXPECT_FALSE(oper->SoundMode());
  }
}

TEST_F(SoundOperatorTest, BadBlockEndsWithInvalidAnswerWhenTheHuntGivesUp) {
  StartStreaming();
  link->Answer(R::BadReply);
  EXPECT_EQ(LastSentId(), kStopSoundId);
  link->Answer(R::Timeout);
  EXPECT_EQ(log, (std::vector<std::string>{"data 2 0", "idle"}));
}

TEST_F(SoundOperatorTest, QueuedReadWaitsForTheStreamToEnd) {
  StartStreaming();
  std::vector<uint8_t> buffer(2);
  int32_t size = 2;
  EXPECT_FALSE(oper->ReadCommObj(10293, buffer.data(), size));
  oper->StopSound();
  Block(SoundBlock(0, 0));
  Block(SoundBlock(1, 0));
  ASSERT_EQ(log.back(), "idle");  // a queue starts its next transfer here
  EXPECT_TRUE(oper->ReadCommObj(10293, buffer.data(), size));
  EXPECT_EQ(link->sent.back().Op, TLinkOp::ReadFirst);
}

}  // namespace
}  // namespace kalvist
