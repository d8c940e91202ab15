// Sound recording end to end: the device object and the recorder on the real link,
// against the simulated controller's stream over a pseudo-terminal. Every file must be
// one that sox reads as the recording it is.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "EventLoop.h"
#include "MessageThread.h"
#include "RunProcess.h"
#include "SoundRecorder.h"
#include "ThreadCount.h"
#include "ZarnoFixture.h"
#include "ZarnoSimulator.h"
#include "fZarnoSound.h"

namespace kalvist {
namespace {

namespace fs = std::filesystem;
using sim::TStreamFault;
using sim::TStreamFaultKind;

constexpr uint64_t kWaitMs = 20000;  // only a hang reaches it

// What sox says of a file: one `soxi -X` query.
std::string Soxi(const std::string& option, const fs::path& file) {
  const std::string command = "soxi " + option + " '" + file.string() + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "";
  char line[256] = {};
  const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
  pclose(pipe);
  std::string text = got ? line : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// sox reads the file as two channels of 16-bit signed samples at 41000 Hz, and as
// many of them as the file holds.
void ExpectPlayable(const fs::path& file) {
  SCOPED_TRACE(file.string());
  ASSERT_TRUE(fs::exists(file));
  const auto size = fs::file_size(file);
  ASSERT_GE(size, 24u);
  EXPECT_EQ(Soxi("-c", file), "2");
  EXPECT_EQ(Soxi("-r", file), "41000");
  EXPECT_EQ(Soxi("-b", file), "16");
  EXPECT_EQ(Soxi("-e", file), "Signed Integer PCM");
  EXPECT_EQ(Soxi("-s", file), std::to_string((size - 24) / 4));
}

class SoundRecordingSystemTest : public ::testing::Test {
 protected:
  SoundRecordingSystemTest() {
    folder = fs::temp_directory_path() / ("kalvist-sound-sys-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    SetMessageSink(&sink);
  }
  ~SoundRecordingSystemTest() override {
    zarno.reset();
    SetMessageSink(nullptr);
    fs::remove_all(folder);
  }

  void Connect(sim::TSimOptions options = {}) {
    if (!simulator) {
      simulator = std::make_unique<sim::TZarnoSimulator>(options);
      path = simulator->Start();
      zarno = std::make_unique<TZarno>(loop);
      zarno->SetPortPath(path);
      zarno->SetSoundForm(std::make_unique<TfmZarnoSoundHeadless>(loop));
    }
    zarno->Connect();
    ASSERT_TRUE(loop.RunUntil([this] { return zarno->IsConnected(); }, kWaitMs));
  }

  // A read through the queue, as the poll timer's would be.
  bool ReadWorks() {
    bool done = false;
    int result = -1;
    zarno->OnTransferResult = [&](TZarno&, uint16_t, bool, int r) {
      done = true;
      result = r;
    };
    if (!zarno->ReadValue(idCylinderCount)) return false;
    loop.RunUntil([&] { return done; }, kWaitMs);
    zarno->OnTransferResult = nullptr;
    return done && result == 0;
  }

  void AwaitFinished() {
    ASSERT_TRUE(loop.RunUntil([this] { return !zarno->SoundFileOpen(); }, kWaitMs));
  }

  TEventLoop loop;
  test::TRecordingSink sink;
  fs::path folder;
  std::string path;
  std::unique_ptr<sim::TZarnoSimulator> simulator;
  std::unique_ptr<TZarno> zarno;
};

TEST_F(SoundRecordingSystemTest, RecordingLongerThanTheKeepAliveLapseIsPlayable) {
  Connect();
  const fs::path file = folder / "long.au";
  zarno->RecordSound(file.string(), "4", 3, 4);  // the stream lives on keep-alives
  AwaitFinished();
  ExpectPlayable(file);
  const auto frames = (fs::file_size(file) - 24) / 4;
  EXPECT_NEAR(frames / 41000.0, 3.0, 0.3);  // the simulator streams at the nominal rate
  EXPECT_EQ(zarno->SoundError, 0);
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_EQ(simulator->Counters().StopAcks, 1u);
  EXPECT_EQ(simulator->GetObject(kSoundSensorId), std::vector<uint8_t>{3});
  EXPECT_TRUE(ReadWorks());
}

TEST_F(SoundRecordingSystemTest, AllSensorsOfTheTwoSensorUnitOneFileEach) {
  sim::TSimOptions options;
  options.Kind = 2;
  Connect(options);
  zarno->SetZarnoNames(1, "Z2");
  TSoundRecorder recorder(*zarno, loop);
  recorder.SoundFolder = folder.string();
  recorder.RecordLength = 1;
  recorder.BuildSensorList();
  recorder.RecordAll(false);
  ASSERT_TRUE(loop.RunUntil([&] { return !recorder.Busy(); }, kWaitMs));
  ASSERT_EQ(recorder.FilesWritten.size(), 2u);
  EXPECT_NE(recorder.FilesWritten[0].find("_#A.au"), std::string::npos);
  EXPECT_NE(recorder.FilesWritten[1].find("_#B.au"), std::string::npos);
  for (const auto& file : recorder.FilesWritten) ExpectPlayable(file);
  EXPECT_EQ(simulator->Counters().StopAcks, 2u);
}

struct TFaultCase {
  const char* Name;
  TStreamFault Fault;
  int SoundError;
};

TEST_F(SoundRecordingSystemTest, StreamFaultsEndTheRecordingWithAPlayableFile) {
  const TFaultCase cases[] = {
      {"skipped counter", {TStreamFaultKind::SkipCounter, 0}, 5},
      {"bad check", {TStreamFaultKind::CorruptCrc, 0}, 2},
      {"garbage", {TStreamFaultKind::Garbage, 0}, 2},
      {"error block", {TStreamFaultKind::ErrorBlock, 0xF0}, orClass8First + 0xFF - 0xF0},
      {"error block that keeps the connection",
       {TStreamFaultKind::ErrorBlock, 0xD4},
       orSoundErrorLeftOpen},
      {"silence", {TStreamFaultKind::Silence, 0}, 1},
  };
  for (const TFaultCase& c : cases) {
    SCOPED_TRACE(c.Name);
    if (!zarno || !zarno->IsConnected()) Connect();
    sink.messages.clear();
    zarno->SoundError = 0;
    const TTimerId inject = loop.StartTimer(300, [&] { simulator->InjectStreamFault(c.Fault); });
    const fs::path file = folder / (std::string(c.Name) + ".au");
    zarno->RecordSound(file.string(), "1", 10, 1);
    loop.StopTimer(inject);
    AwaitFinished();
    EXPECT_EQ(zarno->SoundError, c.SoundError);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].Text, "Error writing sound data. Disconnected.");
    ExpectPlayable(file);
    EXPECT_GT(fs::file_size(file), 24u);
    // This one code leaves the connection to the caller; every other has closed it.
    EXPECT_EQ(zarno->IsConnected(), c.SoundError == orSoundErrorLeftOpen);
    if (!zarno->IsConnected()) Connect();
    EXPECT_TRUE(ReadWorks());
  }
}

// The device object leaves the close after an error block of that one code to its caller; the
// recorder that the command-line tool drives is that caller, for one sensor and for a
// sequence alike, so "Disconnected." comes true.
TEST_F(SoundRecordingSystemTest, RecorderClosesTheConnectionAnErrorBlockLeftOpen) {
  for (const bool all : {false, true}) {
    SCOPED_TRACE(all ? "sequence" : "one sensor");
    if (!zarno || !zarno->IsConnected()) Connect();
    sink.messages.clear();
    TSoundRecorder recorder(*zarno, loop);
    recorder.SoundFolder = folder.string();
    recorder.RecordLength = 10;
    recorder.BuildSensorList();
    const TTimerId inject = loop.StartTimer(300, [&] {
      simulator->InjectStreamFault({TStreamFaultKind::ErrorBlock, 0xD4});
    });
    if (all) {
      recorder.RecordAll(false);
    } else {
      recorder.RecordOne(0, recorder.RecordLength);
    }
    ASSERT_TRUE(loop.RunUntil([&] { return !recorder.Busy(); }, kWaitMs));
    loop.StopTimer(inject);
    EXPECT_EQ(zarno->SoundError, orSoundErrorLeftOpen);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].Text, "Error writing sound data. Disconnected.");
    EXPECT_FALSE(zarno->IsConnected());
  }
}

TEST_F(SoundRecordingSystemTest, AdapterVanishingWhileSoundStreamsIsReportedOnceAndEndsTheFile) {
  Connect();
  zarno->ReadLiveValues();
  ASSERT_TRUE(loop.RunUntil([this] { return zarno->Queue().Count() == 0 && !zarno->Comm().Busy(); },
                            kWaitMs));
  ASSERT_GT(zarno->KnockIntensity(1), 0);
  const size_t threads = test::ThreadCount();
  const TTimerId pull = loop.StartTimer(500, [&] { simulator->HangUp(); });
  const fs::path file = folder / "vanished.au";
  TSoundRecorder recorder(*zarno, loop);
  recorder.BuildSensorList();
  recorder.OnChooseFile = [&](const std::string&) { return file.string(); };
  recorder.RecordOne(0, 10);
  loop.StopTimer(pull);
  AwaitFinished();
  loop.RunUntil(nullptr, 1500);  // nothing more may follow

  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0].Text,
            zarno->GetZarnoName() + " is disconnected.\r\nThe port " + path + " has gone.");
  EXPECT_FALSE(zarno->IsConnected());
  EXPECT_EQ(zarno->KnockIntensity(1), 0);
  ExpectPlayable(file);
  EXPECT_GT(fs::file_size(file), 24u);
  EXPECT_LT(fs::file_size(file), 24u + 4u * 41000u * 5u);  // ended at the pull, not at 10 s
  // The stream ended as a failed one (as a silent one: error 1, the code of a refused
  // start), yet its file is listed.
  EXPECT_NE(zarno->SoundError, 0);
  EXPECT_EQ(recorder.FilesWritten, std::vector<std::string>{file.string()});

  // A controller again: the link is fit for use.
  path = simulator->Start();
  zarno->SetPortPath(path);
  Connect();
  EXPECT_TRUE(ReadWorks());
  EXPECT_EQ(test::ThreadCount(), threads);  // none was left behind
}

TEST_F(SoundRecordingSystemTest, CliRecordsEverySensorAndPrintsTheFiles) {
  const auto run =
      test::RunProcess(KALVIST_CLI_PATH, {"--json", "--sim-kind", "2", "record", "--sensor", "ALL",
                                          "--seconds", "1", "--dir", folder.string()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto files = nlohmann::json::parse(run.Out).at("files");
  ASSERT_EQ(files.size(), 2u);
  for (const auto& file : files) ExpectPlayable(file.get<std::string>());
}

// ALL and SEL follow the controller's own cylinder count and analysed channels, read
// before the sensor list is built, and say where the sequence stands.
TEST_F(SoundRecordingSystemTest, CliSequenceFollowsTheControllersConfiguration) {
  sim::TZarnoSimulator controller;
  const std::string port = controller.Start();
  const uint8_t threeCylinders[] = {3};
  const uint8_t channelsOneAndThree[] = {5, 0, 0, 0};
  ASSERT_TRUE(controller.SetObject(idCylinderCount, threeCylinders));
  ASSERT_TRUE(controller.SetObject(idUsedSensors, channelsOneAndThree));
  struct Case {
    const char* sensor;
    std::vector<std::string> suffixes;  // of the file names, in order
    std::string progress;               // of the last sensor
  };
  const Case cases[] = {
      {"ALL", {"_#1.au", "_#2.au", "_#3.au"}, "Recording sensor 3 of 3 (3): "},
      {"SEL", {"_#1.au", "_#3.au"}, "Recording sensor 2 of 2 (3): "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sensor);
    const fs::path dir = folder / c.sensor;
    const auto run =
        test::RunProcess(KALVIST_CLI_PATH, {"--port", port, "--json", "record", "--sensor",
                                            c.sensor, "--seconds", "1", "--dir", dir.string()});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto files = nlohmann::json::parse(run.Out).at("files");
    ASSERT_EQ(files.size(), c.suffixes.size()) << run.Out;
    for (size_t i = 0; i < files.size(); ++i) {
      const std::string file = files[i].get<std::string>();
      EXPECT_EQ(file.substr(file.size() - c.suffixes[i].size()), c.suffixes[i]);
    }
    EXPECT_NE(run.Err.find(c.progress), std::string::npos) << run.Err;
  }

  // The third kind with a firing table that names no channel has no sensor at all.
  const auto none =
      test::RunProcess(KALVIST_CLI_PATH, {"--sim-kind", "3", "record", "--sensor", "ALL",
                                          "--seconds", "1", "--dir", (folder / "none").string()});
  EXPECT_EQ(none.Status, 1);
  EXPECT_EQ(none.Out, "");
  EXPECT_EQ(none.Err,
            "using the built-in controller simulator\nError: The controller's firing table "
            "assigns no channel: there is no sensor to record\n");
}

TEST_F(SoundRecordingSystemTest, CliInterruptStillFinishesTheFile) {
  const fs::path file = folder / "interrupted.au";
  const std::string command = std::string("exec '") + KALVIST_CLI_PATH +
                              "' record --sensor 1 --seconds 30 --file '" + file.string() + "'";
  const auto run = test::RunProcess(
      "/bin/sh", {"-c", "sh -c \"" + command + "\" & p=$!; sleep 2; kill -INT $p; wait $p"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, file.string() + "\n");
  ExpectPlayable(file);
  EXPECT_LT(fs::file_size(file), 24u + 4u * 41000u * 10u);  // ended long before 30 s
}

TEST_F(SoundRecordingSystemTest, CliRefusesWhatItCannotRecord) {
  const std::vector<std::string> bad[] = {
      {"record", "--sensor", "3"},                       // one sensor needs a length
      {"record", "--sensor", "21", "--seconds", "1"},    // no such sensor
      {"record", "--sensor", "ALL", "--seconds", "61"},  // 1..60
      {"record", "--sensor", "SEL", "--file", "x.au"},   // a folder, not a file
      {"record", "--sensor", "1", "--seconds", "0"},     // no length
  };
  for (const auto& args : bad) {
    const auto run = test::RunProcess(KALVIST_CLI_PATH, args);
    EXPECT_EQ(run.Status, 2) << args[2] << " " << run.Err;
    EXPECT_TRUE(run.Out.empty());
  }
}

}  // namespace
}  // namespace kalvist
