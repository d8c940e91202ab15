#include "SoundRecorder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "Clock.h"
#include "KalvistError.h"

namespace kalvist {
namespace {

std::string Decimal(long long n) {
  return std::to_string(n);
}

std::vector<TActiveSensor> ThirdKindSensors(int cylinderCount,
                                            const TZarno::TFiringTable& firingToChannel,
                                            const TZarno::TFiringTable& firingToCylinder) {
  std::vector<TActiveSensor> sensors;
  for (int j = 1; j <= cylinderCount && j <= kChannelCount; ++j) {
    const uint8_t c = firingToChannel[static_cast<size_t>(j - 1)];
    if (c >= kChannelCount) continue;
    const uint8_t k = firingToCylinder[static_cast<size_t>(j - 1)];
    sensors.push_back({static_cast<uint8_t>(c + 1), std::string(1, static_cast<char>('A' + c)),
                       k < cylinderCount ? k + 1 : -1, j});
  }
  std::stable_sort(sensors.begin(), sensors.end(),
                   [](const TActiveSensor& a, const TActiveSensor& b) { return a.Name < b.Name; });
  return sensors;
}

}  // namespace

std::vector<TActiveSensor> BuildSensorList(uint8_t zarnoMode, int cylinderCount,
                                           const TZarno::TFiringTable& firingToChannel,
                                           const TZarno::TFiringTable& firingToCylinder) {
  switch (zarnoMode) {
    case 0: {
      std::vector<TActiveSensor> sensors;
      for (int n = 1; n <= cylinderCount && n <= kChannelCount; ++n) {
        sensors.push_back({static_cast<uint8_t>(n), Decimal(n)});
      }
      return sensors;
    }
    case 1:
      return {{1, "A"}, {2, "B"}};
    default:
      return ThirdKindSensors(cylinderCount, firingToChannel, firingToCylinder);
  }
}

std::vector<std::string> SensorChoiceLines(uint8_t zarnoMode,
                                           const std::vector<TActiveSensor>& sensors) {
  std::vector<std::string> lines{"ALL", "SEL"};
  for (const TActiveSensor& s : sensors) {
    lines.push_back(zarnoMode == 2 ? s.Name + " (" + Decimal(s.Cylinder) + ")" : s.Name);
  }
  return lines;
}

std::string BuildSoundFileName(const std::string& unitName, uint8_t zarnoMode,
                               const TActiveSensor& sensor, const std::tm& when) {
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &when);
  if (zarnoMode == 2) {
    return unitName + "_" + stamp + "_Ch-" + sensor.Name + "_Fir-" +
           Decimal(sensor.FiringPosition) + "_Cyl-" + Decimal(sensor.Cylinder) + ".au";
  }
  return unitName + "_" + stamp + "_#" + sensor.Name + ".au";
}

TSoundRecorder::TSoundRecorder(TZarno& zarno, IMainThread& mainThread)
    : zarno_(zarno), mainThread_(mainThread) {}

TSoundRecorder::~TSoundRecorder() {
  StopStepTimer();
  zarno_.OnSoundDone = nullptr;  // it calls back into this recorder
}

void TSoundRecorder::BuildSensorList() {
  Sensors = kalvist::BuildSensorList(zarno_.ZarnoMode(), zarno_.CylinderCount(),
                                     zarno_.GetFiringToChannel(), zarno_.GetFiringToCylinder());
}

std::string TSoundRecorder::BuildSoundFileName(const TActiveSensor& sensor) const {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  return kalvist::BuildSoundFileName(zarno_.ZarnoName(), zarno_.ZarnoMode(), sensor,
                                     LocalTime(now).Fields);
}

std::optional<std::string> TSoundRecorder::ChooseFile(const std::string& name) {
  const std::string suggested = (std::filesystem::path(SoundFolder) / name).string();
  if (!OnChooseFile) return suggested;
  auto chosen = OnChooseFile(suggested);
  if (chosen) SoundFolder = std::filesystem::path(*chosen).parent_path().string();
  return chosen;
}

void TSoundRecorder::Record(const std::string& file, const TActiveSensor& sensor, int32_t seconds) {
  zarno_.SoundError = 0;
  if (OnBeforeRecording) OnBeforeRecording();
  zarno_.RecordSound(file, sensor.Name, seconds, sensor.Channel);
  // A stream that fell silent ends with error 1 too, yet its file is there: what a
  // refused start leaves is no file at all.
  if (std::filesystem::exists(file)) FilesWritten.push_back(file);
  if (OnAfterRecording) OnAfterRecording();
}

void TSoundRecorder::RecordOne(int index, int32_t seconds) {
  if (index < 0 || index >= static_cast<int>(Sensors.size())) {
    if (OnMessage) OnMessage("Index of selected sensor is out of range: " + Decimal(index));
    return;
  }
  const TActiveSensor sensor = Sensors[static_cast<size_t>(index)];
  const auto file = ChooseFile(BuildSoundFileName(sensor));
  if (!file) return;
  Record(*file, sensor, seconds);
  if (zarno_.SoundError != 0) zarno_.Disconnect();
}

void TSoundRecorder::RecordAll(bool selectedOnly) {
  const auto file = ChooseFile(BuildSoundFileName(TActiveSensor{0, "XX"}));
  if (!file) return;
  // Only the folder of the chosen file is used.
  SoundFolder = std::filesystem::path(*file).parent_path().string();
  zarno_.OnSoundDone = [this](TZarno&) { StartStepTimer(); };
  zarno_.SequenceActive = true;
  recordingSensor_ = 1;
  selectedOnly_ = selectedOnly;
  RecordOneSensor();
}

void TSoundRecorder::RecordOneSensor() {
  if (recordingSensor_ < 1 || recordingSensor_ > static_cast<int>(Sensors.size())) {
    throw TKalvistError("TmSetUp.RecordOneSensor: FRecordingSensor value is out of range!");
  }
  const TActiveSensor sensor = Sensors[static_cast<size_t>(recordingSensor_ - 1)];
  if (selectedOnly_ && !Analysed(recordingSensor_)) {
    StartStepTimer();
  } else {
    const std::string name = BuildSoundFileName(sensor);
    Record((std::filesystem::path(SoundFolder) / name).string(), sensor, RecordLength);
    // (The recording's end starts the step timer through OnSoundDone.)
  }
  recordingSensor_ = NextSensor(recordingSensor_);
  if (zarno_.SoundError != 0) {
    EndSequence();
    zarno_.Disconnect();
  }
}

int TSoundRecorder::NextSensor(int from) const {
  if (!selectedOnly_) return from + 1;
  for (int i = from + 1; i <= static_cast<int>(Sensors.size()); ++i) {
    if (Analysed(i)) return i;
  }
  return -1;
}

bool TSoundRecorder::Analysed(int index) const {
  return zarno_.ChannelUsed(Sensors[static_cast<size_t>(index - 1)].Channel);
}

void TSoundRecorder::RecordingTimerTimer() {
  StopStepTimer();
  if (zarno_.SequenceActive && recordingSensor_ >= 1 &&
      recordingSensor_ <= static_cast<int>(Sensors.size())) {
    RecordOneSensor();
  } else {
    EndSequence();
  }
}

void TSoundRecorder::StartStepTimer() {
  StopStepTimer();
  stepTimer_ = mainThread_.StartTimer(kStepMs, [this] { RecordingTimerTimer(); });
}

void TSoundRecorder::StopStepTimer() {
  if (stepTimer_ != 0) mainThread_.StopTimer(stepTimer_);
  stepTimer_ = 0;
}

void TSoundRecorder::EndSequence() {
  zarno_.OnSoundDone = nullptr;
  zarno_.SequenceActive = false;
  recordingSensor_ = 0;
  selectedOnly_ = false;
  StopStepTimer();
}

}  // namespace kalvist
