// The main window's sound recording, as core logic the GUI and the command-line tool
// share: the sensors offered, the file names, one sensor without a time limit, and the
// sequence over all (or the analysed) sensors with its 100 ms step timer. What only a
// window can do (the file dialog, the poll timer, the meters and the history plot, a
// plain message box) comes in through hooks.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "vltZarno.h"

namespace kalvist {

struct TActiveSensor {
  uint8_t Channel = 0;  // 1..20
  std::string Name;
  int32_t Cylinder = -1;        // 1-based, -1 when the firing table gives none
  int32_t FiringPosition = -1;  // 1-based, -1 when the firing table gives none
};

// The sensors of a hardware kind; the firing tables matter to the third kind only.
std::vector<TActiveSensor> BuildSensorList(uint8_t zarnoMode, int cylinderCount,
                                           const TZarno::TFiringTable& firingToChannel,
                                           const TZarno::TFiringTable& firingToCylinder);
// "ALL", "SEL", then one line per sensor.
std::vector<std::string> SensorChoiceLines(uint8_t zarnoMode,
                                           const std::vector<TActiveSensor>& sensors);
// The suggested file name (with ".au") for a recording of `sensor` at local time `when`.
std::string BuildSoundFileName(const std::string& unitName, uint8_t zarnoMode,
                               const TActiveSensor& sensor, const std::tm& when);

class TSoundRecorder {
 public:
  static constexpr uint32_t kStepMs = 100;
  static constexpr int kMinLength = 1;
  static constexpr int kMaxLength = 60;

  TSoundRecorder(TZarno& zarno, IMainThread& mainThread);
  ~TSoundRecorder();
  TSoundRecorder(const TSoundRecorder&) = delete;
  TSoundRecorder& operator=(const TSoundRecorder&) = delete;

  // The file dialog: gets the suggested path, gives the chosen one or nothing
  // (cancelled). Unassigned: the suggestion in SoundFolder is taken as it is.
  std::function<std::optional<std::string>(const std::string& suggested)> OnChooseFile;
  // Before and after each recording: the poll timer, the queue, the meters, the plot.
  std::function<void()> OnBeforeRecording;
  std::function<void()> OnAfterRecording;
  // A plain message box.
  std::function<void(const std::string& text)> OnMessage;

  std::vector<TActiveSensor> Sensors;
  int RecordLength = 5;  // seconds per sensor of a sequence
  std::string SoundFolder = "Sound files";
  // Every file a recording went into, in order, also one a failure ended (a refused
  // start leaves none).
  std::vector<std::string> FilesWritten;

  // Rebuilds Sensors from the device's kind, cylinder count and firing tables.
  void BuildSensorList();
  std::string BuildSoundFileName(const TActiveSensor& sensor) const;

  // One sensor by its index in Sensors; without a time limit (0) the user ends it.
  void RecordOne(int index, int32_t seconds = 0);
  // Every sensor, or only the analysed ones, for RecordLength seconds each.
  void RecordAll(bool selectedOnly);
  void RecordOneSensor();
  void RecordingTimerTimer();

  // A sequence is running or a file is still being finished.
  bool Busy() const { return zarno_.SequenceActive || zarno_.SoundFileOpen(); }
  int RecordingSensor() const { return recordingSensor_; }

 private:
  std::optional<std::string> ChooseFile(const std::string& name);
  void Record(const std::string& file, const TActiveSensor& sensor, int32_t seconds);
  int NextSensor(int from) const;
  bool Analysed(int index) const;
  void StartStepTimer();
  void StopStepTimer();
  void EndSequence();

  TZarno& zarno_;
  IMainThread& mainThread_;
  int recordingSensor_ = 0;  // 1-based index into Sensors, -1 when none is left
  bool selectedOnly_ = false;
  TTimerId stepTimer_ = 0;
};

}  // namespace kalvist
