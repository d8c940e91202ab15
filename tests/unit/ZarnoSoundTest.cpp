// Sound recording of the device object and the sequence of the main window's recorder,
// on a scripted link and fake time: the controller's side is a timer that answers the
// writes and feeds stream blocks from a script.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "SoundRecorder.h"
#include "ZarnoFixture.h"
#include "fZarnoSound.h"

namespace kalvist::test {
namespace {

namespace fs = std::filesystem;
using TWords = std::vector<uint16_t>;

std::vector<uint8_t> Block(uint8_t type, uint8_t code, const TWords& words = {}) {
  // The reader hands the type alone in byte 2; the operator does not look at the check.
  std::vector<uint8_t> block{0xFF, 0xFF, type, code};
  for (uint16_t w : words) block.insert(block.end(), {uint8_t(w & 0xFF), uint8_t(w >> 8)});
  block.insert(block.end(), {0, 0});
  return block;
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

int16_t Be16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int16_t>(b[at] << 8 | b[at + 1]);
}

class ZarnoSoundTest : public ZarnoFixture {
 protected:
  ZarnoSoundTest() {
    folder = fs::temp_directory_path() / ("kalvist-sound-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    ConnectTo(0x13, 25);
    auto headless = std::make_unique<TfmZarnoSoundHeadless>(loop);
    form = headless.get();
    zarno->SetSoundForm(std::move(headless));
    zarno->OnSoundDone = [this](TZarno&) { ++soundDone; };
    controller = loop.StartTimer(10, [this] { ControllerTick(); });
  }
  ~ZarnoSoundTest() override {
    loop.StopTimer(controller);
    fs::remove_all(folder);
  }

  // What the controller does every 10 ms of fake time.
  void ControllerTick() {
    if (!link->Busy()) return;
    const uint16_t last = link->sent.back().ObjectID;
    if (!link->SoundMode()) {
      if (last == kSoundSensorId && stopBeforeStart && form->IsOpen()) return form->StopClick();
      if (last == kSoundSensorId && refuseSensor)
        return link->Answer(TLinkResult::DeviceError, {0, 0, 0, 5});
      if (last == kSoundSensorId) counter = 0;  // a new stream counts from 0
      return link->Answer(TLinkResult::Ok);
    }
    if (last == kStopSoundId) return link->Answer(TLinkResult::Ok, Block(1, 0));
    if (script.empty()) {
      if (endless) link->Answer(TLinkResult::Ok, Block(0, counter++, TWords(256, 2047)));
      return;
    }
    // The last scripted block goes out after the window has closed: the stop takes
    // effect only after the next block.
    if (script.size() == 1 && form->IsOpen()) return form->Close();
    if (script.front().empty()) {
      script.pop_front();
      return zarno->Disconnect();
    }
    link->Answer(TLinkResult::Ok, script.front());
    script.pop_front();
  }

  // Records until the file is finished.
  void Record(const std::string& name, int32_t seconds = 0, uint8_t channel = 1) {
    path = folder / name;
    zarno->RecordSound(path.string(), "1", seconds, channel);
    loop.RunUntil([this] { return !zarno->SoundFileOpen(); }, 60000);
  }

  fs::path folder;
  fs::path path;
  TfmZarnoSoundHeadless* form = nullptr;
  TTimerId controller = 0;
  std::deque<std::vector<uint8_t>> script;  // an empty entry: the user disconnects
  bool endless = false;
  bool refuseSensor = false;
  bool stopBeforeStart = false;
  uint8_t counter = 0;
  int soundDone = 0;
};

TEST_F(ZarnoSoundTest, RecordsFramesAndRewritesTheDataSizeAtTheEnd) {
  TWords words(1000, 2047);
  words[0] = 0x8FFF;
  words[1] = 0;
  words[550] |= 0x8000;  // a pulse across the block boundary
  script = {Block(0, 0, TWords(words.begin(), words.begin() + 600)),
            Block(0, 1, TWords(words.begin() + 600, words.end()))};
  Record("one.au");
  const auto file = ReadFile(path);
  ASSERT_EQ(file.size(), 24u + 4000u);
  EXPECT_EQ(Be32(file, 0), 0x2E736E64u);
  EXPECT_EQ(Be32(file, 8), 4000u);
  EXPECT_EQ(Be32(file, 16), 41000u);
  EXPECT_EQ(Be32(file, 20), 2u);
  auto signal = [&](size_t frame) { return Be16(file, 24 + 4 * frame); };
  auto mark = [&](size_t frame) { return Be16(file, 26 + 4 * frame); };
  EXPECT_EQ(signal(0), 30720);
  EXPECT_EQ(signal(1), -30705);
  EXPECT_EQ(signal(2), 0);
  for (size_t f : {0, 99, 550, 600, 649}) EXPECT_EQ(mark(f), kSyncMark) << f;
  for (size_t f : {100, 549, 650, 999}) EXPECT_EQ(mark(f), 0) << f;
  EXPECT_EQ(link->sent.back().ObjectID, kStopSoundId);
  EXPECT_FALSE(zarno->Comm().SoundMode());
  EXPECT_EQ(zarno->SoundError, 0);
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ZarnoSoundTest, TheFileIsFinishedOnceWhateverEndsTheRecording) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> End;  // the block that ends the stream; empty: a disconnect
    int SoundError;
    bool Message;
  };
  const TCase cases[] = {
      {"stop acknowledged", Block(0, 1, TWords(100, 2047)), 0, false},
      {"error block", Block(2, 0xF0), 115, true},
      {"counter skipped", Block(0, 7, TWords(100, 2047)), 5, true},
      {"disconnected while streaming", {}, 0, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ConnectTo(0x13, 25);
    zarno->SequenceActive = true;
    soundDone = 0;
    sink.messages.clear();
    zarno->SoundError = 0;
    script = {Block(0, 0, TWords(100, 2047)), c.End, Block(0, 2, TWords(100, 2047))};
    if (c.Name == std::string("counter skipped")) script.pop_back();  // the stop ack ends it
    Record(std::string(c.Name) + ".au");
    // However the link reports afterwards, the file stays as it was finished.
    const auto finished = ReadFile(path);
    zarno->HandleStopSound(0);
    zarno->HandleSoundData(0, TWords(10, 0).data(), 10);
    EXPECT_EQ(ReadFile(path), finished);
    EXPECT_EQ(soundDone, 1);
    ASSERT_GE(finished.size(), 24u);
    EXPECT_EQ(Be32(finished, 8), finished.size() - 24);
    EXPECT_EQ(zarno->SoundError, c.SoundError);
    EXPECT_EQ(sink.messages.size(), c.Message ? 1u : 0u);
    if (c.Message) {
      EXPECT_EQ(sink.messages[0].Text, "Error writing sound data. Disconnected.");
    }
    zarno->SequenceActive = false;
    loop.RunUntil([] { return false; }, 100);
  }
}

TEST_F(ZarnoSoundTest, ARefusedStartLeavesNoFile) {
  for (bool refusedByController : {false, true}) {
    SCOPED_TRACE(refusedByController);
    ConnectTo(0x13, 25);
    sink.messages.clear();
    zarno->SoundError = 0;
    refuseSensor = refusedByController;
    if (!refusedByController) link->SetBusy(true);  // the operator cannot start
    Record("refused.au", 1);
    link->SetBusy(false);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(zarno->SoundError, 1);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].Text, "Error recording sound");
    EXPECT_FALSE(zarno->Comm().SoundMode());
  }
}

TEST_F(ZarnoSoundTest, AFileThatCannotBeCreatedRecordsNothing) {
  const size_t sent = link->sent.size();
  Record("no-such-folder/x.au");
  EXPECT_EQ(link->sent.size(), sent);
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0].Text,
            "Sound file can not be created!\r\n" + path.string() + ": No such file or directory");
}

TEST_F(ZarnoSoundTest, StopBeforeTheStreamCameEndsItAtOnce) {
  stopBeforeStart = true;
  endless = true;
  Record("early.au");
  EXPECT_TRUE(form->StopPressed());
  EXPECT_FALSE(zarno->Comm().SoundMode());
  const auto file = ReadFile(path);
  EXPECT_EQ(file.size(), 24u + 4 * 256u);  // the one block before the stop took effect
  EXPECT_EQ(Be32(file, 8), 4u * 256u);
}

class SoundSequenceTest : public ZarnoSoundTest {
 protected:
  SoundSequenceTest() : recorder(*zarno, loop) {
    zarno->FindParam(idCylinderCount)->SetAsByte(6);
    zarno->FindParam(idUsedSensors)->SetAsInteger(5);  // channels 1 and 3
    recorder.SoundFolder = folder.string();
    recorder.RecordLength = 2;
    recorder.BuildSensorList();
    endless = true;
  }

  std::vector<int> RecordedChannels() const {
    std::vector<int> channels;
    for (const auto& r : link->sent) {
      if (r.ObjectID == kSoundSensorId) channels.push_back(r.Data[0] + 1);
    }
    return channels;
  }

  void RunSequence(bool selectedOnly) {
    recorder.RecordAll(selectedOnly);
    loop.RunUntil([this] { return !recorder.Busy(); }, 120000);
  }

  TSoundRecorder recorder;
};

TEST_F(SoundSequenceTest, SelectedRecordsOnlyTheAnalysedChannels) {
  RunSequence(true);
  EXPECT_EQ(RecordedChannels(), (std::vector<int>{1, 3}));
  ASSERT_EQ(recorder.FilesWritten.size(), 2u);
  for (const auto& file : recorder.FilesWritten) {
    const auto bytes = ReadFile(file);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(Be32(bytes, 8), bytes.size() - 24);
    // Two seconds of 10 ms blocks, give or take the blocks around start and stop.
    EXPECT_NEAR((bytes.size() - 24) / (4 * 256.0), 200, 3);
  }
  EXPECT_NE(recorder.FilesWritten[0].find("_#1.au"), std::string::npos);
  EXPECT_NE(recorder.FilesWritten[1].find("_#3.au"), std::string::npos);
}

TEST_F(SoundSequenceTest, StopDuringAllEndsTheSequenceAfterTheCurrentFile) {
  const TTimerId stop = loop.StartTimer(500, [this] { form->StopClick(); });
  RunSequence(false);
  loop.StopTimer(stop);
  EXPECT_EQ(RecordedChannels(), (std::vector<int>{1}));
  ASSERT_EQ(recorder.FilesWritten.size(), 1u);
  EXPECT_GT(ReadFile(recorder.FilesWritten[0]).size(), 24u);
}

TEST_F(SoundSequenceTest, AllRecordsEverySensorAndOneOutOfRangeIsReported) {
  RunSequence(false);
  EXPECT_EQ(RecordedChannels(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  std::string message;
  recorder.OnMessage = [&](const std::string& text) { message = text; };
  recorder.RecordOne(6);
  EXPECT_EQ(message, "Index of selected sensor is out of range: 6");
}

}  // namespace
}  // namespace kalvist::test
