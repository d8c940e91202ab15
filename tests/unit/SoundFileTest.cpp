// The pure parts of sound recording: file header, conversion of stream words into
// frames, elapsed-time text, sensor lists and file names.
#include <gtest/gtest.h>

#include <vector>

#include "SoundFile.h"
#include "SoundRecorder.h"
#include "fZarnoSound.h"

namespace kalvist {
namespace {

std::vector<TSoundFrame> Convert(const std::vector<uint16_t>& words, uint16_t delay,
                                 uint16_t& counter) {
  std::vector<TSoundFrame> frames(words.size());
  ConvertSoundWords(words, delay, counter, frames);
  return frames;
}

TEST(SoundFileTest, HeaderIsBigEndianWithTheDataSize) {
  const TAuHeader header = BuildAuHeader(kAuSizeUnknown, 41000);
  const TAuHeader expected = {0x2E, 0x73, 0x6E, 0x64, 0, 0, 0,    24,   0xFF, 0xFF, 0xFF, 0xFF,
                              0,    0,    0,    3,    0, 0, 0xA0, 0x28, 0,    0,    0,    2};
  EXPECT_EQ(header, expected);
  EXPECT_EQ(BuildAuHeader(4000, 8000)[11], 0xA0);  // 4000 = 0x0FA0
  EXPECT_EQ(BuildAuHeader(4000, 8000)[10], 0x0F);
  EXPECT_EQ(AuDataSize(4000), 4000u);
  EXPECT_EQ(AuDataSize(0xFFFFFFFEull), 0xFFFFFFFEu);
  EXPECT_EQ(AuDataSize(0x100000000ull), kAuSizeUnknown);  // beyond 4 GiB: read to the end
}

TEST(SoundFileTest, SamplesAreCentredAndScaled) {
  struct {
    uint16_t Word;
    int16_t Signal;
  } const cases[] = {{0, -30705}, {2047, 0}, {4095, 30720}, {0x8FFF, 30720}, {2048, 15}};
  for (const auto& c : cases) {
    uint16_t counter = 0;
    EXPECT_EQ(Convert({c.Word}, 100, counter)[0].Signal, c.Signal) << c.Word;
  }
}

TEST(SoundFileTest, SyncPulseLastsTimeStampDelayFramesAcrossBlocks) {
  std::vector<uint16_t> words(300, 2047);
  words[0] = 0x8FFF;
  words[50] |= 0x8000;   // inside the pulse: does not lengthen it
  words[150] |= 0x8000;  // a new pulse that runs past the block
  uint16_t counter = 0;
  const auto first = Convert({words.begin(), words.begin() + 200}, 100, counter);
  const auto second = Convert({words.begin() + 200, words.end()}, 100, counter);
  std::vector<TSoundFrame> frames(first);
  frames.insert(frames.end(), second.begin(), second.end());
  EXPECT_EQ(frames[0].Signal, 30720);
  for (size_t i = 0; i < frames.size(); ++i) {
    const bool inPulse = i < 100 || (i >= 150 && i < 250);
    ASSERT_EQ(frames[i].Mark, inPulse ? kSyncMark : 0) << "frame " << i;
  }
  EXPECT_EQ(counter, 0);
}

TEST(SoundFileTest, FramesAreWrittenBigEndianSignalFirst) {
  std::vector<uint8_t> bytes{0xAA};
  const TSoundFrame frames[] = {{-30705, kSyncMark}, {15, 0}};
  AppendFrameBytes(frames, bytes);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xAA, 0x88, 0x0F, 0x7F, 0xFF, 0x00, 0x0F, 0x00, 0x00}));
}

TEST(SoundFileTest, ElapsedTimeText) {
  EXPECT_EQ(FormatElapsed(0), "0:00:00,000");
  EXPECT_EQ(FormatElapsed(3723004), "1:02:03,004");
  EXPECT_EQ(FormatElapsed(36000000 + 59999), "10:00:59,999");
}

TEST(SoundFileTest, WriterReportsAFileThatCannotBeCreated) {
  TSoundFileWriter writer;
  EXPECT_FALSE(writer.Create("/nonexistent-folder/x.au"));
  EXPECT_FALSE(writer.Error().empty());
  EXPECT_FALSE(writer.IsOpen());
}

TEST(SoundFileTest, WriterRemembersAFailedWrite) {
  TSoundFileWriter writer;
  ASSERT_TRUE(writer.Create("/dev/full"));
  const std::vector<uint8_t> block(200000, 1);  // more than the buffer: reaches the device
  writer.Write(block);
  EXPECT_TRUE(writer.Failed());
  EXPECT_FALSE(writer.Close());
}

TZarno::TFiringTable Table(std::initializer_list<uint8_t> values) {
  TZarno::TFiringTable table;
  table.fill(255);
  std::copy(values.begin(), values.end(), table.begin());
  return table;
}

std::vector<std::string> Describe(const std::vector<TActiveSensor>& sensors) {
  std::vector<std::string> lines;
  for (const auto& s : sensors) {
    lines.push_back(std::to_string(s.Channel) + " " + s.Name + " cyl " +
                    std::to_string(s.Cylinder) + " fir " + std::to_string(s.FiringPosition));
  }
  return lines;
}

TEST(SoundRecorderListTest, SensorListsOfTheThreeKinds) {
  const auto none = Table({});
  EXPECT_EQ(
      Describe(BuildSensorList(0, 3, none, none)),
      (std::vector<std::string>{"1 1 cyl -1 fir -1", "2 2 cyl -1 fir -1", "3 3 cyl -1 fir -1"}));
  EXPECT_EQ(Describe(BuildSensorList(1, 6, none, none)),
            (std::vector<std::string>{"1 A cyl -1 fir -1", "2 B cyl -1 fir -1"}));
  // Third kind: positions 1..4; position 2 has no channel, position 4 a cylinder
  // beyond the count; sorted by name.
  const auto sensors = BuildSensorList(2, 4, Table({19, 255, 0, 2, 7}), Table({1, 0, 3, 9, 0}));
  EXPECT_EQ(Describe(sensors),
            (std::vector<std::string>{"1 A cyl 4 fir 3", "3 C cyl -1 fir 4", "20 T cyl 2 fir 1"}));
  EXPECT_EQ(SensorChoiceLines(2, sensors),
            (std::vector<std::string>{"ALL", "SEL", "A (4)", "C (-1)", "T (2)"}));
  EXPECT_EQ(SensorChoiceLines(1, BuildSensorList(1, 6, none, none)),
            (std::vector<std::string>{"ALL", "SEL", "A", "B"}));
}

TEST(SoundRecorderListTest, SuggestedFileNames) {
  std::tm when{};
  when.tm_year = 124;
  when.tm_mon = 2;
  when.tm_mday = 5;
  when.tm_hour = 14;
  when.tm_min = 7;
  when.tm_sec = 9;
  EXPECT_EQ(BuildSoundFileName("Z20", 0, {7, "7"}, when), "Z20_2024-03-05_14-07-09_#7.au");
  EXPECT_EQ(BuildSoundFileName("Z2", 1, {2, "B"}, when), "Z2_2024-03-05_14-07-09_#B.au");
  EXPECT_EQ(BuildSoundFileName("Z3", 2, {3, "C", 5, 2}, when),
            "Z3_2024-03-05_14-07-09_Ch-C_Fir-2_Cyl-5.au");
}

}  // namespace
}  // namespace kalvist
