// The real link (termios port, I/O thread, hand-over, operator) against the simulated
// controller over a pseudo-terminal.
#include <gtest/gtest.h>

#include <numeric>
#include <optional>

#include "EventLoop.h"
#include "PortNames.h"
#include "ZarnoSimulator.h"
#include "vltZarnoComm.h"

namespace kalvist {
namespace {

using sim::TFault;
using sim::TFaultKind;
using sim::TSimOptions;
using sim::TZarnoSimulator;

constexpr uint64_t kWaitMs = 15000;  // generous: only a hang ever reaches it
constexpr uint32_t kTestReplyTimeout = 300;

TSimOptions Options(int segmentSize, uint16_t accessNumber = 0) {
  TSimOptions options;
  options.SegmentSize = segmentSize;
  options.AccessNumber = accessNumber;
  return options;
}

TFault Fault(TFaultKind kind, std::optional<uint16_t> objectId = std::nullopt) {
  TFault fault;
  fault.Kind = kind;
  fault.ObjectID = objectId;
  return fault;
}

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), 1);
  return bytes;
}

class LinkSystemTest : public ::testing::Test {
 protected:
  void Connect(TSimOptions options = {}) {
    sim = std::make_unique<TZarnoSimulator>(options);
    const std::string path = sim->Start();
    oper = std::make_unique<TvltZarnoComm>(loop);
    oper->PortPath = path;
    oper->AccessNum = static_cast<uint8_t>(options.AccessNumber);
    oper->SetCommTimeout(kTestReplyTimeout);
    oper->OnOpenConnection = [this](TvltCustomConnection&, int r) { opened = r; };
    oper->OnCloseConnection = [this](TvltCustomConnection&, int r) { closes.push_back(r); };
    oper->OnReadCommObjResult = [this](TvltControllerOper&, int r) { result = r; };
    oper->OnWriteCommObjResult = [this](TvltControllerOper&, int r) { result = r; };
    oper->OpenConnection();
    ASSERT_TRUE(loop.RunUntil([this] { return opened.has_value(); }, kWaitMs));
    ASSERT_EQ(*opened, 0);
  }

  int Await() {
    EXPECT_TRUE(loop.RunUntil([this] { return result.has_value(); }, kWaitMs));
    const int r = result.value_or(-1);
    result.reset();
    return r;
  }

  int Read(uint16_t id, std::vector<uint8_t>& buffer) {
    size = static_cast<int32_t>(buffer.size());
    EXPECT_TRUE(oper->ReadWithAccess(id, buffer.data(), size));
    return Await();
  }

  int Write(uint16_t id, const std::vector<uint8_t>& value) {
    EXPECT_TRUE(oper->WriteWithAccess(id, value.data(), static_cast<int32_t>(value.size())));
    return Await();
  }

  TEventLoop loop;
  std::unique_ptr<TZarnoSimulator> sim;
  std::unique_ptr<TvltZarnoComm> oper;
  std::optional<int> opened;
  std::optional<int> result;
  std::vector<int> closes;
  int32_t size = 0;
};

TEST_F(LinkSystemTest, WholeAndSegmentedReadsAndASegmentedWrite) {
  Connect(Options(20));
  std::vector<uint8_t> delay(2);
  EXPECT_EQ(Read(10293, delay), 0);  // "WindowDelay", default 1000
  EXPECT_EQ(delay, (std::vector<uint8_t>{0xE8, 0x03}));

  sim->AddObject(30000, 300);
  ASSERT_TRUE(sim->SetObject(30000, Pattern(300)));
  std::vector<uint8_t> whole(300);
  EXPECT_EQ(Read(30000, whole), 0);
  EXPECT_EQ(size, 300);
  EXPECT_EQ(whole, Pattern(300));
  std::vector<uint8_t> part(200);
  EXPECT_EQ(Read(30000, part), orBufferTooSmall);
  EXPECT_EQ(part, std::vector<uint8_t>(whole.begin(), whole.begin() + 200));

  std::vector<uint8_t> value(300, 0x5A);
  EXPECT_EQ(Write(30000, value), 0);
  EXPECT_EQ(sim->GetObject(30000), value);
}

TEST_F(LinkSystemTest, InjectedFaultsEndWithTheRightResult) {
  struct Case {
    TFaultKind kind;
    int count;
    int result;
    bool flood;  // line recovery was due
  };
  Connect(Options(20));
  sim->AddObject(30000, 60);
  ASSERT_TRUE(sim->SetObject(30000, Pattern(60)));
  for (const Case& c :
       {Case{TFaultKind::CorruptCrc, 1, 0, true}, Case{TFaultKind::NoReply, 1, 0, true},
        Case{TFaultKind::PartialReply, 1, 0, true}, Case{TFaultKind::StrayFF, 1, 0, true},
        Case{TFaultKind::WrongObjectId, 1, 0, false}, Case{TFaultKind::WrongSegment, 1, 0, false},
        Case{TFaultKind::NoReply, 4, orNoAnswer, true},
        Case{TFaultKind::CorruptCrc, 4, orInvalidAnswer, true},
        Case{TFaultKind::WrongSegment, 4, orInvalidAnswer, false}}) {
    SCOPED_TRACE(std::string(sim::FaultKindName(c.kind)) + " x" + std::to_string(c.count));
    const auto before = sim->Counters();
    const TFault fault = Fault(c.kind, 30000);
    sim->InjectFault(fault, c.count);
    std::vector<uint8_t> buffer(60);
    EXPECT_EQ(Read(30000, buffer), c.result) << sim::FaultKindName(c.kind) << " x" << c.count;
    if (c.result == 0) {
      EXPECT_EQ(buffer, Pattern(60)) << sim::FaultKindName(c.kind);
    }
    // Recovery leaves the line usable: the next read is clean.
    std::vector<uint8_t> again(60);
    EXPECT_EQ(Read(30000, again), 0) << sim::FaultKindName(c.kind);
    const auto after = sim->Counters();
    EXPECT_EQ(after.FloodsReceived > before.FloodsReceived, c.flood)
        << sim::FaultKindName(c.kind) << " x" << c.count;
  }
}

TEST_F(LinkSystemTest, ErrorReplyEndsWithoutRepeatsAndTheDelayedReplyIsRepeated) {
  Connect();
  TFault refusal = Fault(TFaultKind::ErrorReply, 10293);
  refusal.ErrorBytes = {0xFF, 0, 0, 8};
  sim->InjectFault(refusal);
  const auto before = sim->Counters();
  std::vector<uint8_t> buffer(2);
  EXPECT_EQ(Read(10293, buffer), orClass8First);
  EXPECT_EQ(sim->Counters().Reads[10293],
            before.Reads.count(10293) ? before.Reads.at(10293) + 1 : 1);

  TFault late = Fault(TFaultKind::Delay, 10293);
  late.DelayMs = kTestReplyTimeout * 2;
  sim->InjectFault(late);
  EXPECT_EQ(Read(10293, buffer), 0);
}

TEST_F(LinkSystemTest, AccessNumberIsWrittenFirst) {
  Connect(Options(0, 77));
  std::vector<uint8_t> buffer(2);
  EXPECT_EQ(Read(10293, buffer), 0);
  EXPECT_EQ(sim->Counters().Writes[kAccessNumberId], 1u);
}

TEST_F(LinkSystemTest, WrongAccessNumberLeavesTheControllerRefusing) {
  Connect(Options(0, 77));
  oper->AccessNum = 76;
  std::vector<uint8_t> buffer(2);
  EXPECT_NE(Read(10293, buffer), 0);
}

TEST_F(LinkSystemTest, CloseDuringAnExchangeReportsTheCloseFirstThenNotConnected) {
  Connect();
  sim->InjectFault(Fault(TFaultKind::NoReply), 4);
  std::vector<int> order;
  oper->OnCloseConnection = [&](TvltCustomConnection&, int r) { order.push_back(1000 + r); };
  oper->OnReadCommObjResult = [&](TvltControllerOper&, int r) {
    order.push_back(r);
    result = r;
  };
  std::vector<uint8_t> buffer(2);
  size = 2;
  ASSERT_TRUE(oper->ReadCommObj(10293, buffer.data(), size));
  oper->CloseConnection();  // busy: takes effect when the exchange's result forms
  Await();
  EXPECT_EQ(order, (std::vector<int>{1000 + clClosed, orNotConnected}));
}

TEST_F(LinkSystemTest, ReadWhileClosedReportsNotConnectedAfterReturning) {
  oper = std::make_unique<TvltZarnoComm>(loop);
  oper->OnReadCommObjResult = [this](TvltControllerOper&, int r) { result = r; };
  std::vector<uint8_t> buffer(2);
  size = 2;
  ASSERT_TRUE(oper->ReadCommObj(10293, buffer.data(), size));
  EXPECT_FALSE(result.has_value());
  // The result is on its way: until it arrives the operator takes nothing else.
  EXPECT_TRUE(oper->Busy());
  EXPECT_FALSE(oper->ReadCommObj(10293, buffer.data(), size));
  EXPECT_EQ(Await(), orNotConnected);
  EXPECT_FALSE(oper->Busy());
}

TEST_F(LinkSystemTest, OpenFailuresCarryTheirCodes) {
  oper = std::make_unique<TvltZarnoComm>(loop);
  for (const auto& [path, code] : test::FailingPortNames()) {
    SCOPED_TRACE(path);
    oper->PortPath = path;
    oper->OnOpenConnection = [this](TvltCustomConnection&, int r) { opened = r; };
    opened.reset();
    oper->OpenConnection();
    ASSERT_TRUE(opened.has_value()) << path;
    EXPECT_EQ(*opened, code) << path;
  }
  oper->OnCloseConnection = [this](TvltCustomConnection&, int r) { closes.push_back(r); };
  oper->CloseConnection();
  EXPECT_EQ(closes, std::vector<int>{clNotOpen});
}

TEST_F(LinkSystemTest, SecondOpenReportsAlreadyOpen) {
  Connect();
  opened.reset();
  oper->OpenConnection();
  ASSERT_TRUE(loop.RunUntil([this] { return opened.has_value(); }, kWaitMs));
  EXPECT_EQ(*opened, opAlreadyOpen);
  std::vector<uint8_t> buffer(2);
  EXPECT_EQ(Read(10293, buffer), 0);
}

TEST_F(LinkSystemTest, HangUpWhileIdleIsReportedAsAVanishedPort) {
  Connect();
  std::vector<uint8_t> buffer(2);
  ASSERT_EQ(Read(10293, buffer), 0);
  sim->HangUp();
  ASSERT_TRUE(loop.RunUntil([this] { return !closes.empty(); }, kWaitMs));
  EXPECT_EQ(closes, std::vector<int>{clPortVanished});
  // State stays open until the close, which then reports a normal close.
  oper->CloseConnection();
  EXPECT_EQ(closes, (std::vector<int>{clPortVanished, clClosed}));
}

TEST_F(LinkSystemTest, HangUpDuringAnExchangeEndsTheOperation) {
  Connect();
  sim->InjectFault(Fault(TFaultKind::HangUp));
  std::vector<uint8_t> buffer(2);
  const int r = Read(10293, buffer);
  EXPECT_TRUE(r == orNoAnswer || r == orNotConnected) << r;
  ASSERT_TRUE(loop.RunUntil([this] { return !closes.empty(); }, kWaitMs));
  EXPECT_EQ(closes.front(), clPortVanished);
}

// The stop and the line's rest before the port goes happen on the I/O thread while the
// main loop runs on; a new Open right after a close cuts that rest short (on a
// pseudo-terminal the stop may then be purged before the controller reads it), and the
// link works again at once either way.
TEST_F(LinkSystemTest, CloseWhileStreamingStopsTheControllerAndReopens) {
  Connect();
  int blocks = 0;
  oper->OnSoundData = [&](TvltZarnoComm&, int, const uint16_t*, int) { ++blocks; };
  for (const bool reopenAtOnce : {false, true}) {
    SCOPED_TRACE(reopenAtOnce ? "reopened at once" : "reopened after the stop");
    closes.clear();
    blocks = 0;
    const uint64_t stopsBefore = sim->Counters().Writes[kStopSoundId];
    ASSERT_TRUE(oper->StartSound(1));
    ASSERT_TRUE(loop.RunUntil([&] { return blocks >= 2; }, kWaitMs));
    oper->CloseConnection();  // streaming keeps the connection busy: the close waits a block
    ASSERT_TRUE(loop.RunUntil([this] { return !closes.empty(); }, kWaitMs));
    EXPECT_EQ(closes, std::vector<int>{clClosed});
    EXPECT_FALSE(oper->SoundMode());
    if (!reopenAtOnce) {
      EXPECT_TRUE(loop.RunUntil(
          [&] { return sim->Counters().Writes[kStopSoundId] == stopsBefore + 1; }, kWaitMs));
    }
    opened.reset();
    oper->OpenConnection();
    ASSERT_TRUE(loop.RunUntil([this] { return opened.has_value(); }, kWaitMs));
    EXPECT_EQ(*opened, opOpened);
    std::vector<uint8_t> buffer(2);
    EXPECT_EQ(Read(10293, buffer), orSuccess);
    EXPECT_EQ(closes, std::vector<int>{clClosed});
  }
}

// The connection goes with its operator while its I/O thread is in the middle of an
// exchange; the thread must be stopped before any part of the connection is gone, which
// the sanitizer builds check. Nothing is reported afterwards.
TEST_F(LinkSystemTest, DestroyedInTheMiddleOfAnExchangeStopsItsThreadFirst) {
  enum class Kind { Exchange, SegmentedRead, Stream };
  for (const auto& [name, kind] :
       {std::pair{"exchange", Kind::Exchange}, std::pair{"segmented read", Kind::SegmentedRead},
        std::pair{"stream", Kind::Stream}}) {
    SCOPED_TRACE(name);
    TSimOptions options = Options(20);
    options.Pace = kind == Kind::SegmentedRead;  // a hundred segments take over a second
    options.SoundRate = 0;  // blocks as fast as they are read: the I/O thread never idles
    Connect(options);
    result.reset();
    sim->AddObject(30000, 2000);
    ASSERT_TRUE(sim->SetObject(30000, Pattern(2000)));
    std::vector<uint8_t> buffer(2000);
    size = 2000;
    int blocks = 0;
    oper->OnSoundData = [&](TvltZarnoComm&, int, const uint16_t*, int) { ++blocks; };
    switch (kind) {
      case Kind::Exchange:
        ASSERT_TRUE(oper->ReadWithAccess(10293, buffer.data(), size));
        break;
      case Kind::SegmentedRead:
        ASSERT_TRUE(oper->ReadWithAccess(30000, buffer.data(), size));
        // A few segments in: the exchange under way is one of many.
        loop.RunUntil([] { return false; }, 30);
        break;
      case Kind::Stream:
        ASSERT_TRUE(oper->StartSound(1));
        ASSERT_TRUE(loop.RunUntil([&] { return blocks >= 3; }, kWaitMs));
        break;
    }
    ASSERT_FALSE(result.has_value());
    oper.reset();
    loop.RunUntil([] { return false; }, 20);  // whatever was posted finds nobody
    EXPECT_FALSE(result.has_value());
    EXPECT_TRUE(closes.empty());
    sim.reset();
    opened.reset();
  }
}

}  // namespace
}  // namespace kalvist
