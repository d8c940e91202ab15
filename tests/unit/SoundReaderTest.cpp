#include <gtest/gtest.h>

#include <deque>

#include "SoundBlocks.h"
#include "vltSoundReader.h"

namespace kalvist {
namespace {

using test::SoundBlock;
using A = TSoundReader::TAction;

// Plays the I/O thread: serves each read from `stream`, failing a read that the
// stream cannot fill, and records what the reader hands over.
struct Delivery {
  A action;
  uint8_t type = 0;
  uint8_t code = 0;
  size_t length = 0;
};

class ReaderDriver {
 public:
  explicit ReaderDriver(std::vector<uint8_t> stream) : stream_(stream.begin(), stream.end()) {}

  // `resyncOn` lists delivery indexes after which the operator asks to resynchronise;
  // `msPerByte` advances the clock as bytes are read.
  std::vector<Delivery> Run(std::vector<size_t> resyncOn = {}, uint64_t msPerByte = 0) {
    std::vector<Delivery> deliveries;
    reader_.Start();
    A action = A::Read;
    for (;;) {
      switch (action) {
        case A::Read: {
          const bool enough = stream_.size() >= reader_.Wanted();
          if (enough) {
            for (size_t i = 0; i < reader_.Wanted(); ++i) {
              reader_.Target()[i] = stream_.front();
              stream_.pop_front();
            }
            now_ += msPerByte * reader_.Wanted();
          }
          action = reader_.Step(!enough, now_);
          break;
        }
        case A::DeliverBlock:
        case A::DeliverBad: {
          Delivery d{action};
          if (action == A::DeliverBlock) {
            d.type = reader_.Block()[2];
            d.code = reader_.Block()[3];
            d.length = reader_.BlockLength();
          }
          deliveries.push_back(d);
          const bool resync =
              std::find(resyncOn.begin(), resyncOn.end(), deliveries.size() - 1) != resyncOn.end();
          action = reader_.AfterDelivery(resync, now_);
          break;
        }
        case A::DeliverTimeout:
          deliveries.push_back({action});
          return deliveries;
        case A::Stop:
          deliveries.push_back({action});
          return deliveries;
      }
    }
  }

 private:
  std::deque<uint8_t> stream_;
  TSoundReader reader_;
  uint64_t now_ = 0;
};

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(SoundReader, BlockLengthsFromTheHeader) {
  EXPECT_EQ(SoundBlockLength(0x00), 518u);
  EXPECT_EQ(SoundBlockLength(0x78), 8198u);
  EXPECT_EQ(SoundBlockLength(0x80), 518u);  // bit 7 is not evaluated
  EXPECT_EQ(SoundBlockLength(0x01), 6u);
  EXPECT_EQ(SoundBlockLength(0x02), 6u);
  EXPECT_EQ(SoundBlockLength(0x03), 0u);
}

TEST(SoundReader, DeliversDataBlocksOfBothSizesUntilTheStopAcknowledgement) {
  ReaderDriver driver(
      Concat({SoundBlock(0, 254), SoundBlock(0, 255, 15), SoundBlock(0, 0), SoundBlock(1, 0)}));
  const auto d = driver.Run();
  ASSERT_EQ(d.size(), 5u);
  EXPECT_EQ(d[0].length, 518u);
  EXPECT_EQ(d[1].length, 8198u);
  EXPECT_EQ(d[1].type, 0);  // the size code is cleared before hand-over
  EXPECT_EQ(d[1].code, 255);
  EXPECT_EQ(d[2].code, 0);
  EXPECT_EQ(d[3].action, A::DeliverBlock);
  EXPECT_EQ(d[3].type, 1);
  EXPECT_EQ(d[4].action, A::Stop);
}

TEST(SoundReader, ErrorBlockEndsTheStream) {
  ReaderDriver driver(Concat({SoundBlock(0, 0), SoundBlock(2, 0xF0)}));
  const auto d = driver.Run();
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[1].type, 2);
  EXPECT_EQ(d[1].code, 0xF0);
  EXPECT_EQ(d[2].action, A::Stop);
}

TEST(SoundReader, BadBlockIsReportedThenOnlyTheStopAcknowledgementCounts) {
  auto bad = SoundBlock(0, 1);
  bad[100] ^= 0x55;
  ReaderDriver driver(Concat({SoundBlock(0, 0),
                              bad,
                              SoundBlock(0, 2),
                              {0x12, 0x34},
                              SoundBlock(2, 0xF0),
                              SoundBlock(1, 0)}));
  const auto d = driver.Run();
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0].action, A::DeliverBlock);
  EXPECT_EQ(d[1].action, A::DeliverBad);
  EXPECT_EQ(d[2].action, A::DeliverBlock);  // data and error blocks in between are dropped
  EXPECT_EQ(d[2].type, 1);
  EXPECT_EQ(d[3].action, A::Stop);
}

TEST(SoundReader, GarbageAndInvalidHeadersAreBadBlocks) {
  for (const auto& stream : {std::vector<uint8_t>{0x00}, std::vector<uint8_t>{0xFF, 0x01},
                             std::vector<uint8_t>{0xFF, 0xFF, 0x03}}) {
    ReaderDriver driver(stream);
    const auto d = driver.Run();
    ASSERT_GE(d.size(), 2u);
    EXPECT_EQ(d[0].action, A::DeliverBad);
    EXPECT_EQ(d.back().action, A::DeliverTimeout);  // then the stream ran dry
  }
}

TEST(SoundReader, OperatorAskedResynchronisationHuntsForTheStopAcknowledgement) {
  ReaderDriver driver(Concat({SoundBlock(0, 0), SoundBlock(0, 7), SoundBlock(1, 0)}));
  const auto d = driver.Run({0});
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[1].type, 1);
  EXPECT_EQ(d[2].action, A::Stop);
}

TEST(SoundReader, HuntEndsWithTimeoutAfterThreeSeconds) {
  // 3000 ms of data blocks at 1 ms per byte, no stop acknowledgement after them.
  std::vector<uint8_t> stream = SoundBlock(0, 0);
  stream.push_back(0x00);  // bad preamble: the hunt starts
  for (int i = 0; i < 8; ++i) {
    const auto block = SoundBlock(0, static_cast<uint8_t>(i));
    stream.insert(stream.end(), block.begin(), block.end());
  }
  const auto ack = SoundBlock(1, 0);
  stream.insert(stream.end(), ack.begin(), ack.end());
  ReaderDriver driver(stream);
  const auto d = driver.Run({}, 1);
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[1].action, A::DeliverBad);
  EXPECT_EQ(d[2].action, A::DeliverTimeout);  // the acknowledgement came too late
}

TEST(SoundReader, ReadFailureMidBlockEndsWithTimeout) {
  auto partial = SoundBlock(0, 0);
  partial.resize(200);
  ReaderDriver driver(partial);
  const auto d = driver.Run();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].action, A::DeliverTimeout);
}

}  // namespace
}  // namespace kalvist
