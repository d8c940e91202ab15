#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <random>

#include "EventLoop.h"
#include "KalvistError.h"
#include "ScriptedConnection.h"
#include "vltZarnoComm.h"

namespace kalvist {
namespace {

using test::TScriptedConnection;
using R = TLinkResult;

std::vector<uint8_t> Sequence(size_t n, uint8_t first = 0) {
  std::vector<uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

class OperatorTest : public ::testing::Test {
 protected:
  OperatorTest() : loop(TEventLoop::TClock::Fake) {
    auto scripted = std::make_unique<TScriptedConnection>(loop);
    link = scripted.get();
    oper = std::make_unique<TvltZarnoComm>(loop, std::move(scripted));
    oper->OnReadCommObjResult = [this](TvltControllerOper&, int r) { events.push_back(r); };
    oper->OnWriteCommObjResult = [this](TvltControllerOper&, int r) {
      events.push_back(100000 + r);
    };
    oper->OnIdle = [this](TvltControllerOper&) { ++idles; };
  }

  // Answers every request in turn with the given results (data only for Ok/MoreData).
  void AnswerAll(std::initializer_list<R> codes) {
    for (R code : codes) link->Answer(code);
  }

  TEventLoop loop;
  TScriptedConnection* link;
  std::unique_ptr<TvltZarnoComm> oper;
  std::vector<int> events;
  int idles = 0;
};

TEST_F(OperatorTest, UnansweredReadTriesFourTimesThenReportsNoAnswer) {
  std::vector<uint8_t> buffer(4);
  int32_t size = 4;
  ASSERT_TRUE(oper->ReadCommObj(10293, buffer.data(), size));
  AnswerAll({R::Timeout, R::Timeout, R::Timeout, R::Timeout});
  ASSERT_EQ(link->sent.size(), 4u);
  for (const auto& request : link->sent) EXPECT_EQ(request.Op, TLinkOp::ReadFirst);
  EXPECT_EQ(events, std::vector<int>{orNoAnswer});
  EXPECT_EQ(idles, 1);
}

TEST_F(OperatorTest, LastFailedTryDecidesBetweenNoAnswerAndInvalidAnswer) {
  struct Case {
    std::initializer_list<R> codes;
    int result;
  };
  for (const Case& c :
       {Case{{R::BadReply, R::Timeout, R::Timeout, R::Timeout}, orNoAnswer},
        Case{{R::Timeout, R::Timeout, R::Timeout, R::BadReply}, orInvalidAnswer},
        Case{{R::Timeout, R::Timeout, R::Timeout, R::SegmentMismatch}, orInvalidAnswer}}) {
    SCOPED_TRACE("last try " + std::to_string(static_cast<int>(*(c.codes.end() - 1))));
    events.clear();
    std::vector<uint8_t> buffer(2);
    int32_t size = 2;
    ASSERT_TRUE(oper->ReadCommObj(1, buffer.data(), size));
    AnswerAll(c.codes);
    EXPECT_EQ(events, std::vector<int>{c.result});
  }
}

TEST_F(OperatorTest, SegmentedReadRestartsFromReadFirstAndDiscardsEarlierBytes) {
  std::vector<uint8_t> buffer(300);
  int32_t size = 300;
  ASSERT_TRUE(oper->ReadCommObj(5, buffer.data(), size));
  link->Answer(R::MoreData, std::vector<uint8_t>(126, 0xEE));  // segment 0 of a first attempt
  link->Answer(R::Timeout);                                    // segment 1 lost
  link->Answer(R::MoreData, Sequence(126, 0));
  link->Answer(R::MoreData, Sequence(126, 126));
  link->Answer(R::Ok, Sequence(48, 252));
  std::vector<TLinkOp> ops;
  for (const auto& request : link->sent) ops.push_back(request.Op);
  EXPECT_EQ(ops, (std::vector<TLinkOp>{TLinkOp::ReadFirst, TLinkOp::ReadNext, TLinkOp::ReadFirst,
                                       TLinkOp::ReadNext, TLinkOp::ReadNext}));
  EXPECT_EQ(events, std::vector<int>{orSuccess});
  EXPECT_EQ(size, 300);
  EXPECT_EQ(buffer, Sequence(300, 0));
}

TEST_F(OperatorTest, ReadLargerThanBufferKeepsWhatFitsAndReportsBufferTooSmall) {
  std::vector<uint8_t> buffer(200, 0);
  int32_t size = 200;
  ASSERT_TRUE(oper->ReadCommObj(5, buffer.data(), size));
  link->Answer(R::MoreData, Sequence(126, 0));
  link->Answer(R::MoreData, Sequence(126, 126));
  EXPECT_EQ(events, std::vector<int>{orBufferTooSmall});
  EXPECT_EQ(size, 200);
  EXPECT_EQ(buffer, Sequence(200, 0));
  EXPECT_EQ(link->sent.size(), 2u);
}

TEST_F(OperatorTest, RefusalsAndClosedPortEndWithoutRepeats) {
  struct Case {
    R code;
    std::vector<uint8_t> data;
    int result;
  };
  for (const Case& c :
       {Case{R::DeviceError, {0xFF, 0, 0, 8}, orClass8First},
        Case{R::DeviceError, {0, 0, 1, 6}, orRefusedClass6Code1},
        Case{R::NotOpen, {}, orNotConnected}}) {
    SCOPED_TRACE("result " + std::to_string(c.result));
    events.clear();
    link->sent.clear();
    uint8_t value[2] = {1, 2};
    ASSERT_TRUE(oper->WriteCommObj(7, value, 2));
    link->Answer(c.code, c.data);
    EXPECT_EQ(events, std::vector<int>{100000 + c.result});
    EXPECT_EQ(link->sent.size(), 1u);
  }
}

TEST_F(OperatorTest, WriteFramesBySize) {
  struct Case {
    int size;
    bool prefixed;
    std::vector<uint16_t> frameLengths;  // DataLength of each request
  };
  const auto data = Sequence(300);
  for (const Case& c :
       {Case{0, false, {0}}, Case{127, false, {127}}, Case{128, false, {126, 2}},
        Case{300, false, {126, 126, 48}}, Case{125, true, {127}}, Case{126, true, {126, 2}}}) {
    SCOPED_TRACE(std::to_string(c.size) + (c.prefixed ? " bytes, prefixed" : " bytes"));
    link->sent.clear();
    events.clear();
    const bool started = c.prefixed ? oper->WriteCommObjPrefixed(9, data.data(), 0xBEEF, c.size)
                                    : oper->WriteCommObj(9, data.data(), c.size);
    ASSERT_TRUE(started);
    for (size_t i = 0; i < c.frameLengths.size(); ++i) link->Answer(R::Ok);
    ASSERT_EQ(link->sent.size(), c.frameLengths.size()) << c.size;
    std::vector<uint8_t> value;
    for (size_t i = 0; i < link->sent.size(); ++i) {
      const auto& request = link->sent[i];
      EXPECT_EQ(request.DataLength, c.frameLengths[i]);
      const bool segmented = c.frameLengths.size() > 1;
      EXPECT_EQ(request.Op, segmented ? TLinkOp::WriteSegment : TLinkOp::Write);
      if (segmented) {
        EXPECT_EQ(request.Segment, i);
        EXPECT_EQ(request.LastSegment, i + 1 == link->sent.size());
      }
      value.insert(value.end(), request.Data.begin(), request.Data.begin() + request.DataLength);
    }
    std::vector<uint8_t> expected;
    if (c.prefixed) expected = {0xEF, 0xBE};
    expected.insert(expected.end(), data.begin(), data.begin() + c.size);
    EXPECT_EQ(value, expected) << c.size;
    EXPECT_EQ(events, std::vector<int>{100000 + orSuccess});
  }
}

TEST_F(OperatorTest, SegmentedWriteResendsOnlyTheFailedSegment) {
  const auto data = Sequence(200);
  ASSERT_TRUE(oper->WriteCommObj(9, data.data(), 200));
  AnswerAll({R::Ok, R::Timeout, R::BadReply, R::Ok});
  ASSERT_EQ(link->sent.size(), 4u);
  EXPECT_EQ(link->sent[0].Segment, 0u);
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(link->sent[i].Segment, 1u);
    EXPECT_EQ(link->sent[i].DataLength, 74);
  }
  EXPECT_EQ(events, std::vector<int>{100000 + orSuccess});
}

TEST_F(OperatorTest, CommTimeoutChangesOnlyWhileIdle) {
  std::vector<uint8_t> buffer(2);
  int32_t size = 2;
  ASSERT_TRUE(oper->ReadCommObj(1, buffer.data(), size));
  oper->SetCommTimeout(50);
  link->Answer(R::Timeout);
  link->Answer(R::Ok, {1, 2});
  EXPECT_EQ(link->sent[1].ReplyTimeout, 1000u);
  oper->SetCommTimeout(50);
  ASSERT_TRUE(oper->ReadCommObj(1, buffer.data(), size));
  EXPECT_EQ(link->sent.back().ReplyTimeout, 50u);
}

TEST_F(OperatorTest, NegativeSizeIsRefusedBeforeAnythingIsSent) {
  std::vector<uint8_t> buffer(4);
  int32_t size = -1;
  EXPECT_THROW(oper->ReadCommObj(1, buffer.data(), size), TKalvistError);
  EXPECT_THROW(oper->WriteCommObj(1, buffer.data(), -1), TKalvistError);
  EXPECT_THROW(oper->WriteCommObjPrefixed(1, buffer.data(), 7, -1), TKalvistError);
  EXPECT_THROW(oper->WriteCommObjPrefixed(1, buffer.data(), 7, -2), TKalvistError);
  // With the access number due, no prelude goes out ahead of a refused call.
  EXPECT_THROW(oper->ReadWithAccess(1, buffer.data(), size), TKalvistError);
  EXPECT_THROW(oper->WriteWithAccess(1, buffer.data(), -1), TKalvistError);
  EXPECT_THROW(oper->WritePrefixedWithAccess(1, buffer.data(), 7, -1), TKalvistError);
  EXPECT_TRUE(link->sent.empty());
  EXPECT_FALSE(oper->Busy());
  // An empty value is a value: it goes out.
  ASSERT_TRUE(oper->WriteCommObj(1, buffer.data(), 0));
  EXPECT_EQ(link->sent.size(), 1u);
}

TEST_F(OperatorTest, BusyOperatorRefusesAndReportsNothing) {
  link->SetBusy(true);
  std::vector<uint8_t> buffer(2);
  int32_t size = 2;
  EXPECT_FALSE(oper->ReadCommObj(1, buffer.data(), size));
  EXPECT_FALSE(oper->ReadWithAccess(1, buffer.data(), size));
  EXPECT_TRUE(link->sent.empty());
  EXPECT_TRUE(events.empty());
}

TEST_F(OperatorTest, AccessPreludeRunsAfterOpeningAndAfterTenSecondsOfSilence) {
  oper->AccessNum = 0x2A;
  std::vector<uint8_t> buffer(2);
  int32_t size = 2;
  ASSERT_TRUE(oper->ReadWithAccess(10293, buffer.data(), size));
  ASSERT_EQ(link->sent.size(), 1u);
  EXPECT_EQ(link->sent[0].ObjectID, kAccessNumberId);
  EXPECT_EQ(link->sent[0].Op, TLinkOp::Write);
  EXPECT_EQ(link->sent[0].DataLength, 2);
  EXPECT_EQ(link->sent[0].Data[0], 0x2A);
  EXPECT_EQ(link->sent[0].Data[1], 0);
  link->Answer(R::Ok);
  ASSERT_EQ(link->sent.size(), 2u);
  EXPECT_EQ(link->sent[1].ObjectID, 10293);
  link->Answer(R::Ok, {0x34, 0x12});
  EXPECT_EQ(events, std::vector<int>{orSuccess});  // the access write is not reported
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0x34, 0x12}));

  loop.AdvanceTime(10000);  // still within the access lifetime
  ASSERT_TRUE(oper->ReadWithAccess(10293, buffer.data(), size));
  EXPECT_EQ(link->sent.back().ObjectID, 10293);
  link->Answer(R::Ok, {1, 0});

  loop.AdvanceTime(10001);
  ASSERT_TRUE(oper->ReadWithAccess(10293, buffer.data(), size));
  EXPECT_EQ(link->sent.back().ObjectID, kAccessNumberId);
}

TEST_F(OperatorTest, FailedAccessWriteStillRunsTheOperationAndRetriesNextTime) {
  uint8_t value[1] = {5};
  ASSERT_TRUE(oper->WriteWithAccess(10306, value, 1));
  AnswerAll({R::Timeout, R::Timeout, R::Timeout, R::Timeout});  // access write fails: 1
  ASSERT_EQ(link->sent.back().ObjectID, 10306);
  link->Answer(R::Ok);
  EXPECT_EQ(events, std::vector<int>{100000 + orSuccess});
  ASSERT_TRUE(oper->WriteWithAccess(10306, value, 1));
  EXPECT_EQ(link->sent.back().ObjectID, kAccessNumberId);
}

TEST_F(OperatorTest, IdleFollowsTheResultOnlyWhenNoFrameIsOnItsWay) {
  std::vector<uint8_t> buffer(2);
  int32_t size = 2;
  // A result handler that starts the next operation: no idle in between.
  oper->OnReadCommObjResult = [&](TvltControllerOper& o, int r) {
    events.push_back(r);
    if (events.size() == 1) o.ReadCommObj(2, buffer.data(), size);
  };
  ASSERT_TRUE(oper->ReadCommObj(1, buffer.data(), size));
  link->Answer(R::Ok, {1, 2});
  EXPECT_EQ(idles, 0);
  link->Answer(R::Ok, {3, 4});
  EXPECT_EQ(idles, 1);
  EXPECT_EQ(events, (std::vector<int>{orSuccess, orSuccess}));
}

// Random fault scripts: whatever the link answers, and however often, every operation
// ends with exactly one result, sends nothing after it, and leaves the operator idle.
// A close is what the serial link makes of it: the exchange in flight ends as NotOpen.
TEST_F(OperatorTest, EveryFaultScriptEndsEachOperationWithExactlyOneResult) {
  enum class TStep { Ok, More, Timeout, Bad, Mismatch, Refused, NotOpen, Close, Count };
  enum class TOp { Read, ReadLarge, Write, WriteLarge, WritePrefixed, Count };
  struct TOutcome {
    int result;
    size_t sentBefore;
  };
  std::vector<TOutcome> outcomes;
  const auto record = [&](int result) { outcomes.push_back({result, link->sent.size()}); };
  oper->OnReadCommObjResult = [&](TvltControllerOper&, int r) { record(r); };
  oper->OnWriteCommObjResult = [&](TvltControllerOper&, int r) { record(r); };
  const std::vector<uint8_t> value = Sequence(300);
  std::vector<uint8_t> buffer(300);
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto pick = [&](int count) {
      return std::uniform_int_distribution<int>(0, count - 1)(random);
    };
    link->Open("");
    const bool withAccess = pick(2) == 0;
    const auto op = static_cast<TOp>(pick(static_cast<int>(TOp::Count)));
    int32_t size = op == TOp::ReadLarge ? 300 : 4;
    outcomes.clear();
    bool started = false;
    switch (op) {
      case TOp::Read:
      case TOp::ReadLarge:
        started = withAccess ? oper->ReadWithAccess(1, buffer.data(), size)
                             : oper->ReadCommObj(1, buffer.data(), size);
        break;
      case TOp::Write:
      case TOp::WriteLarge: {
        const auto length = static_cast<int32_t>(op == TOp::Write ? 4 : value.size());
        started = withAccess ? oper->WriteWithAccess(1, value.data(), length)
                             : oper->WriteCommObj(1, value.data(), length);
        break;
      }
      case TOp::WritePrefixed:
        started = withAccess ? oper->WritePrefixedWithAccess(1, value.data(), 7, 200)
                             : oper->WriteCommObjPrefixed(1, value.data(), 7, 200);
        break;
      case TOp::Count:
        break;
    }
    ASSERT_TRUE(started);
    for (int steps = 0; link->Busy(); ++steps) {
      ASSERT_LT(steps, 100) << "the operation never ended";
      switch (static_cast<TStep>(pick(static_cast<int>(TStep::Count)))) {
        case TStep::Ok:
          link->Answer(R::Ok, Sequence(static_cast<size_t>(pick(4))));
          break;
        case TStep::More:
          link->Answer(R::MoreData, Sequence(126));
          break;
        case TStep::Timeout:
          link->Answer(R::Timeout);
          break;
        case TStep::Bad:
          link->Answer(R::BadReply);
          break;
        case TStep::Mismatch:
          link->Answer(R::SegmentMismatch);
          break;
        case TStep::Refused:
          link->Answer(R::DeviceError, {0, 0, 0, 5});
          break;
        case TStep::NotOpen:
          link->Answer(R::NotOpen);
          break;
        case TStep::Close:
          oper->CloseConnection();
          link->Answer(R::NotOpen);
          break;
        case TStep::Count:
          break;
      }
    }
    loop.ProcessPending();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].sentBefore, link->sent.size()) << "a frame went out after the result";
    EXPECT_FALSE(oper->Busy());
  }
}

}  // namespace
}  // namespace kalvist
