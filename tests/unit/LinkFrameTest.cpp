#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "vltLinkFrame.h"

namespace kalvist {
namespace {

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(Crc16, MatchesPublishedCheckValues) {
  EXPECT_EQ(Crc16(Bytes("123456789")), 0x4B37);
  EXPECT_EQ(Crc16(Bytes("abc")), 0x5749);
}

TEST(Crc16, PiecewiseEqualsWhole) {
  const auto whole = Crc16(Bytes("123456789"));
  EXPECT_EQ(Crc16(Bytes("6789"), Crc16(Bytes("12345"))), whole);
}

TEST(BuildRequest, ReadFirstOfObject10273) {
  TLinkRequest request;
  request.Op = TLinkOp::ReadFirst;
  request.ObjectID = 10273;
  std::array<uint8_t, kMaxRequestSize> out{};
  const size_t n = BuildRequest(request, out);
  const std::vector<uint8_t> expected{0xFF, 0xFF, 0x00, 0x00, 0x00, 0x21, 0x28, 0x3C, 0x4E};
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + n), expected);
}

// A reply frame with a valid check: N = data.size().
std::vector<uint8_t> Reply(TReplyCode code, uint16_t objectId, std::vector<uint8_t> data,
                           uint8_t address = 0) {
  std::vector<uint8_t> frame{static_cast<uint8_t>(data.size()),
                             static_cast<uint8_t>((address << 3) | static_cast<uint8_t>(code)), 0,
                             static_cast<uint8_t>(objectId & 0xFF),
                             static_cast<uint8_t>(objectId >> 8)};
  frame.insert(frame.end(), data.begin(), data.end());
  const uint16_t crc = Crc16(frame);
  frame.push_back(crc & 0xFF);
  frame.push_back(crc >> 8);
  return frame;
}

TLinkRequest Request(TLinkOp op, uint16_t objectId = 10273) {
  TLinkRequest request;
  request.Op = op;
  request.ObjectID = objectId;
  return request;
}

TEST(BuildRequest, SegmentByteAndCheckOfAWriteSegment) {
  TLinkRequest request = Request(TLinkOp::WriteSegment, 0x1234);
  request.Segment = 0x85;  // only bits 0-6 travel
  request.LastSegment = true;
  request.DataLength = 2;
  request.Data[0] = 0xAA;
  request.Data[1] = 0xBB;
  std::array<uint8_t, kMaxRequestSize> out{};
  const size_t n = BuildRequest(request, out);
  ASSERT_EQ(n, 12u);
  EXPECT_EQ(out[2], 3);     // segment byte + 2 value bytes
  EXPECT_EQ(out[3], 2);     // wire code of WriteSegment
  EXPECT_EQ(out[7], 0x85);  // segment 5, last
  EXPECT_EQ(Crc16({out.data() + 2, n - 2}), 0);
}

TEST(SegmentCounter, ReadFirstResetsAndReadNextWrapsAt128) {
  TSegmentCounters counters{};
  counters[3] = 127;
  TLinkRequest next = Request(TLinkOp::ReadNext);
  next.Address = 3;
  UpdateSegmentCounter(counters, next);
  EXPECT_EQ(counters[3], 0);
  UpdateSegmentCounter(counters, next);
  EXPECT_EQ(counters[3], 1);
  TLinkRequest first = Request(TLinkOp::ReadFirst);
  first.Address = 3;
  UpdateSegmentCounter(counters, first);
  EXPECT_EQ(counters[3], 0);
  EXPECT_EQ(counters[0], 0);
}

TEST(ReplyRemainder, LengthBytesOf128AndMoreAreNeverReadFurther) {
  EXPECT_EQ(ReplyRemainder(0), 6);
  EXPECT_EQ(ReplyRemainder(127), 133);
  EXPECT_EQ(ReplyRemainder(128), 0);
  EXPECT_EQ(ReplyRemainder(0xFF), 0);
}

struct EvaluationCase {
  const char* name;
  TLinkOp op;
  std::vector<uint8_t> reply;
  TLinkResult code;
  bool recover;
  std::vector<uint8_t> data;
};

TEST(EvaluateReply, RulesInOrder) {
  auto corrupt = Reply(TReplyCode::ReadData, 10273, {1, 2});
  corrupt[5] ^= 0x01;
  const std::vector<EvaluationCase> cases{
      {"read data",
       TLinkOp::ReadFirst,
       Reply(TReplyCode::ReadData, 10273, {1, 2}),
       TLinkResult::Ok,
       false,
       {1, 2}},
      {"longest reply", TLinkOp::ReadFirst,
       Reply(TReplyCode::ReadData, 10273, std::vector<uint8_t>(127, 7)), TLinkResult::Ok, false,
       std::vector<uint8_t>(127, 7)},
      {"read data for ReadNext",
       TLinkOp::ReadNext,
       Reply(TReplyCode::ReadData, 10273, {1}),
       TLinkResult::BadReply,
       false,
       {}},
      {"bad check", TLinkOp::ReadFirst, corrupt, TLinkResult::BadReply, true, {}},
      {"other object",
       TLinkOp::ReadFirst,
       Reply(TReplyCode::ReadData, 10274, {1}),
       TLinkResult::BadReply,
       false,
       {}},
      {"last segment",
       TLinkOp::ReadFirst,
       Reply(TReplyCode::ReadSegment, 10273, {0x80, 9, 8}),
       TLinkResult::Ok,
       false,
       {9, 8}},
      {"more segments",
       TLinkOp::ReadFirst,
       Reply(TReplyCode::ReadSegment, 10273, {0x00, 9}),
       TLinkResult::MoreData,
       false,
       {9}},
      {"segment out of sequence",
       TLinkOp::ReadFirst,
       Reply(TReplyCode::ReadSegment, 10273, {0x01, 9}),
       TLinkResult::SegmentMismatch,
       false,
       {}},
      {"segment without segment byte",
       TLinkOp::ReadFirst,
       Reply(TReplyCode::ReadSegment, 10273, {}),
       TLinkResult::BadReply,
       false,
       {}},
      {"segment for a write",
       TLinkOp::Write,
       Reply(TReplyCode::ReadSegment, 10273, {0x80}),
       TLinkResult::BadReply,
       false,
       {}},
      {"write ack",
       TLinkOp::Write,
       Reply(TReplyCode::WriteAck, 10273, {5}),
       TLinkResult::Ok,
       false,
       {}},
      {"write ack for a segment",
       TLinkOp::WriteSegment,
       Reply(TReplyCode::WriteAck, 10273, {}),
       TLinkResult::Ok,
       false,
       {}},
      {"write ack for ReadFirst",
       TLinkOp::ReadFirst,
       Reply(TReplyCode::WriteAck, 10273, {}),
       TLinkResult::BadReply,
       false,
       {}},
      {"error reply",
       TLinkOp::Write,
       Reply(TReplyCode::ErrorReply, 10273, {1, 2, 3, 4}),
       TLinkResult::DeviceError,
       false,
       {1, 2, 3, 4}},
      {"error reply of 3",
       TLinkOp::ReadFirst,
       Reply(TReplyCode::ErrorReply, 10273, {1, 2, 3}),
       TLinkResult::BadReply,
       false,
       {}},
      {"error reply of 5",
       TLinkOp::ReadFirst,
       Reply(TReplyCode::ErrorReply, 10273, {1, 2, 3, 4, 5}),
       TLinkResult::BadReply,
       false,
       {}},
      {"code 0",
       TLinkOp::ReadFirst,
       Reply(static_cast<TReplyCode>(0), 10273, {}),
       TLinkResult::BadReply,
       false,
       {}},
      {"code 7",
       TLinkOp::ReadFirst,
       Reply(static_cast<TReplyCode>(7), 10273, {}),
       TLinkResult::BadReply,
       false,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto result =
        EvaluateReply(TReception::Complete, c.reply, Request(c.op), TSegmentCounters{});
    EXPECT_EQ(result.Reply.Code, c.code) << c.name;
    EXPECT_EQ(result.Recover, c.recover) << c.name;
    ASSERT_EQ(result.Reply.Length, c.data.size()) << c.name;
    if (!c.data.empty()) {
      EXPECT_EQ(std::vector<uint8_t>(result.Reply.Data, result.Reply.Data + result.Reply.Length),
                c.data)
          << c.name;
    }
  }
}

TEST(EvaluateReply, SegmentNumberComparesWithTheCounterOfTheRepliesAddress) {
  TSegmentCounters counters{};
  counters[2] = 5;
  const auto reply = Reply(TReplyCode::ReadSegment, 10273, {0x85, 1}, 2);
  EXPECT_EQ(
      EvaluateReply(TReception::Complete, reply, Request(TLinkOp::ReadNext), counters).Reply.Code,
      TLinkResult::Ok);
}

TEST(EvaluateReply, ClosedPortAndTimeOutComeFirst) {
  auto corrupt = Reply(TReplyCode::ReadData, 1, {1});
  corrupt.back() ^= 0xFF;
  const auto notOpen = EvaluateReply(TReception::NotOpen, corrupt, Request(TLinkOp::ReadFirst), {});
  EXPECT_EQ(notOpen.Reply.Code, TLinkResult::NotOpen);
  EXPECT_FALSE(notOpen.Recover);
  const auto late = EvaluateReply(TReception::TimedOut, {}, Request(TLinkOp::ReadFirst), {});
  EXPECT_EQ(late.Reply.Code, TLinkResult::Timeout);
  EXPECT_TRUE(late.Recover);
  // A length byte that does not match what arrived is never taken as a reply.
  auto truncated = Reply(TReplyCode::ReadData, 10273, {1, 2});
  truncated.pop_back();
  EXPECT_EQ(
      EvaluateReply(TReception::Complete, truncated, Request(TLinkOp::ReadFirst), {}).Reply.Code,
      TLinkResult::Timeout);
}

TEST(MapDeviceError, WholeTable) {
  struct Case {
    std::array<uint8_t, 4> e;
    int result;
  };
  for (const Case& c :
       {Case{{0xFF, 0, 0, 8}, orClass8First}, Case{{0x97, 0, 0, 8}, orClass8Last},
        Case{{150, 0, 0, 8}, orUnknownRefusal}, Case{{0, 0, 1, 6}, orRefusedClass6Code1},
        Case{{0, 0, 0, 6}, orRefusedClass6}, Case{{0, 0, 2, 6}, orRefusedClass6},
        Case{{0, 0, 0, 5}, orRefusedClass5}, Case{{0, 0, 0, 7}, orUnknownRefusal},
        Case{{0xFE, 0x33, 0, 8}, orClass8First + 1}, Case{{0xFA, 0, 0, 8}, orRefusalIgnored},
        Case{{0xD4, 0, 0, 8}, orSoundErrorLeftOpen}}) {
    SCOPED_TRACE(std::to_string(c.e[0]) + "," + std::to_string(c.e[2]) + "," +
                 std::to_string(c.e[3]));
    EXPECT_EQ(MapDeviceError(c.e), c.result)
        << int(c.e[0]) << "," << int(c.e[2]) << "," << int(c.e[3]);
  }
}

}  // namespace
}  // namespace kalvist
