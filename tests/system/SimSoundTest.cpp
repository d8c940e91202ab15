// The simulated controller's sound stream as a raw client on its pseudo-terminal sees
// it: started by 24475 and 24474, kept alive by 24474, ended by 24473, faults on demand.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "KalvistError.h"
#include "RawPtyClient.h"
#include "SimCommands.h"
#include "ZarnoSimulator.h"
#include "vltLinkFrame.h"
#include "vltSoundReader.h"

namespace kalvist::sim {
namespace {

using test::TRawPtyClient;
using TBytes = std::vector<uint8_t>;

TBytes WriteFrame(uint16_t id, const TBytes& data = {}) {
  TLinkRequest request;
  request.Op = TLinkOp::Write;
  request.ObjectID = id;
  request.DataLength = static_cast<uint16_t>(data.size());
  std::copy(data.begin(), data.end(), request.Data.begin());
  std::array<uint8_t, kMaxRequestSize> out{};
  return TBytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(BuildRequest(request, out)));
}

struct TBlock {
  TBytes Bytes;  // empty when nothing (or no whole block) came
  uint8_t Type() const { return Bytes[2] & 0x07; }
  uint8_t Code() const { return Bytes[3]; }
  uint16_t Sample(size_t i) const {
    return static_cast<uint16_t>(Bytes[4 + 2 * i] | Bytes[5 + 2 * i] << 8);
  }
  size_t Samples() const { return (Bytes.size() - 6) / 2; }
};

class SimSoundTest : public ::testing::Test {
 protected:
  void Boot(TSimOptions options = {}) {
    sim = std::make_unique<TZarnoSimulator>(options);
    client = std::make_unique<TRawPtyClient>(sim->Start());
    for (int i = 0; i < 500 && !sim->ClientPresent(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Request(kAccessNumberId, {0, 0});
  }

  // A request answered by a reply frame; returns the reply's control code.
  uint8_t Request(uint16_t id, const TBytes& data) {
    client->Write(WriteFrame(id, data));
    const TBytes reply = client->ReadReply();
    return reply.size() > 1 ? reply[1] & 0x07 : 0xFF;
  }

  void StartStream(uint8_t sensor) {
    ASSERT_EQ(Request(kSoundSensorId, {sensor}), static_cast<uint8_t>(TReplyCode::WriteAck));
    client->Write(WriteFrame(kStartSoundId));
  }

  // The next block, read as the program's reader cuts it (skipping nothing).
  TBlock ReadBlock(int timeoutMs = 2000) {
    TBlock block{client->Read(3, timeoutMs)};
    if (block.Bytes.size() < 3 || block.Bytes[0] != 0xFF || block.Bytes[1] != 0xFF) return block;
    const size_t length = SoundBlockLength(block.Bytes[2]);
    const TBytes rest = client->Read(length - 3, timeoutMs);
    block.Bytes.insert(block.Bytes.end(), rest.begin(), rest.end());
    if (block.Bytes.size() != length) block.Bytes.clear();
    return block;
  }

  // Reads blocks until one that is not a data block, or none comes.
  TBlock ReadUntilEnd() {
    for (int i = 0; i < 10000; ++i) {
      TBlock block = ReadBlock();
      if (block.Bytes.empty() || block.Type() != 0) return block;
    }
    return {};
  }

  std::unique_ptr<TZarnoSimulator> sim;
  std::unique_ptr<TRawPtyClient> client;
};

TEST_F(SimSoundTest, StreamsNumberedBlocksOfTheSizeCodeUntilStopped) {
  for (uint8_t k : {0, 15}) {
    SCOPED_TRACE(k);
    TSimOptions options;
    options.SoundSizeCode = k;
    options.SoundRate = 0;
    Boot(options);
    StartStream(4);
    int syncMarks = 0;
    size_t samples = 0;
    for (int n = 0; n < 260; ++n) {  // past a counter wrap
      const TBlock block = ReadBlock();
      ASSERT_EQ(block.Bytes.size(), (k + 1u) * 512 + 6);
      EXPECT_EQ(Crc16(block.Bytes), 0);
      EXPECT_EQ(block.Bytes[2], k << 3);
      ASSERT_EQ(block.Code(), n % 256);
      for (size_t i = 0; i < block.Samples(); ++i, ++samples) {
        const uint16_t sample = block.Sample(i);
        EXPECT_LE(sample & 0x7FFF, 4095);
        if (sample & 0x8000) {
          EXPECT_EQ(samples % TSimSoundSignal::kCycleSamples, 0u);
          ++syncMarks;
        }
      }
      if (n % 50 == 0) client->Write(WriteFrame(kStartSoundId));  // keep-alive
    }
    EXPECT_EQ(syncMarks, static_cast<int>((samples - 1) / TSimSoundSignal::kCycleSamples + 1));
    client->Write(WriteFrame(kStopSoundId));
    const TBlock end = ReadUntilEnd();
    ASSERT_EQ(end.Bytes.size(), 6u);
    EXPECT_EQ(end.Type(), 1);
    EXPECT_EQ(Crc16(end.Bytes), 0);
    EXPECT_TRUE(client->Read(1, 200).empty());  // nothing after the acknowledgement
    EXPECT_EQ(sim->GetObject(kSoundSensorId), TBytes{4});
    EXPECT_EQ(sim->Counters().StopAcks, 1u);
  }
}

TEST(SimSoundSignalTest, IsCentredNoiseWithKnockBursts) {
  TSimSoundSignal signal(1, 0);
  std::vector<uint16_t> samples(TSimSoundSignal::kCycleSamples * 30);
  signal.Fill(samples);
  int64_t sum = 0;
  int loud = 0;
  for (uint16_t s : samples) {
    const int v = s & 0x7FFF;
    sum += v;
    if (std::abs(v - 2047) > 200) ++loud;
  }
  EXPECT_NEAR(static_cast<double>(sum) / samples.size(), 2047, 10);
  EXPECT_GT(loud, 100);                                    // bursts ring well above the noise
  EXPECT_LT(loud, static_cast<int>(samples.size() / 20));  // and only now and then
}

struct TStreamFaultCase {
  const char* Command;
  TStreamFaultKind Kind;
  uint8_t Code;
};

TEST_F(SimSoundTest, StreamFaultsActOnTheNextBlock) {
  const TStreamFaultCase cases[] = {
      {"stream skip", TStreamFaultKind::SkipCounter, 0},
      {"stream crc", TStreamFaultKind::CorruptCrc, 0},
      {"stream garbage", TStreamFaultKind::Garbage, 0},
      {"stream error 0xF0", TStreamFaultKind::ErrorBlock, 0xF0},
      {"stream silence", TStreamFaultKind::Silence, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Command);
    Boot();
    StartStream(0);
    ASSERT_EQ(ReadBlock().Code(), 0);
    TSimCommandShell shell(*sim);
    ASSERT_EQ(shell.Execute(c.Command), "ok");
    const TBlock next = ReadBlock();
    switch (c.Kind) {
      case TStreamFaultKind::SkipCounter:
        EXPECT_EQ(next.Code(), 2);
        EXPECT_EQ(ReadBlock().Code(), 3);
        break;
      case TStreamFaultKind::CorruptCrc:
        ASSERT_FALSE(next.Bytes.empty());
        EXPECT_NE(Crc16(next.Bytes), 0);
        EXPECT_EQ(Crc16(ReadBlock().Bytes), 0);
        break;
      case TStreamFaultKind::Garbage:
        ASSERT_FALSE(next.Bytes.empty());
        EXPECT_NE(next.Bytes[0], 0xFF);
        break;
      case TStreamFaultKind::ErrorBlock:
        ASSERT_EQ(next.Bytes.size(), 6u);
        EXPECT_EQ(next.Type(), 2);
        EXPECT_EQ(next.Code(), c.Code);
        EXPECT_EQ(Crc16(next.Bytes), 0);
        EXPECT_TRUE(client->Read(1, 200).empty());
        break;
      case TStreamFaultKind::Silence:
        EXPECT_TRUE(next.Bytes.empty());
        break;
    }
    if (c.Kind == TStreamFaultKind::ErrorBlock || c.Kind == TStreamFaultKind::Silence) {
      EXPECT_FALSE(sim->Streaming());
      // The controller answers requests again.
      EXPECT_EQ(Request(kSoundSensorId, {1}), static_cast<uint8_t>(TReplyCode::WriteAck));
    }
  }
}

TEST_F(SimSoundTest, StreamEndsSilentlyWithoutKeepAlives) {
  Boot();
  StartStream(0);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
  int blocks = 0;
  while (std::chrono::steady_clock::now() < until) {
    ASSERT_FALSE(ReadBlock().Bytes.empty());
    if (++blocks % 50 == 0) client->Write(WriteFrame(kStartSoundId));
  }
  EXPECT_TRUE(sim->Streaming());
  while (!ReadBlock().Bytes.empty()) {
  }
  EXPECT_FALSE(sim->Streaming());
  EXPECT_EQ(sim->Counters().StopAcks, 0u);
}

TEST(SimSoundCommandTest, RefusesBadStreamCommands) {
  TZarnoSimulator sim;
  TSimCommandShell shell(sim);
  EXPECT_EQ(shell.Execute("stream"), "error: missing arguments to stream");
  EXPECT_EQ(shell.Execute("stream melt"), "error: unknown stream fault 'melt'");
  EXPECT_EQ(shell.Execute("stream error"), "error: missing arguments to stream");
  EXPECT_EQ(shell.Execute("stream error 256"), "error: bad number '256'");
  EXPECT_EQ(shell.Execute("stream crc 1"), "error: too many arguments to stream");
  TSimOptions options;
  options.SoundSizeCode = 16;
  EXPECT_THROW(TZarnoSimulator{options}, TKalvistError);
}

}  // namespace
}  // namespace kalvist::sim
