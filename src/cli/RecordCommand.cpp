#include "RecordCommand.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>

#include "CliInterrupt.h"
#include "CliOutput.h"
#include "SoundRecorder.h"
#include "fZarnoSound.h"

namespace kalvist::cli {
namespace {

constexpr int kDefaultLength = 5;
constexpr uint32_t kSignalPollMs = 50;
constexpr uint64_t kProgressMs = 200;
// After the window has closed: the stop takes one block, then the acknowledgement
// comes or the reader gives up (1 s read, 3 s hunt).
constexpr uint64_t kFinishBoundMs = 10000;

// Ends the recording on SIGINT as the button "Stop" would, for as long as it lives.
class TInterruptStop {
 public:
  TInterruptStop(TEventLoop& loop, TfmZarnoSound& form) : loop_(loop) {
    timer_ = loop.StartTimer(kSignalPollMs, [this, &form] {
      if (interrupt_.Interrupted()) form.StopClick();
    });
  }
  ~TInterruptStop() { loop_.StopTimer(timer_); }
  TInterruptStop(const TInterruptStop&) = delete;
  TInterruptStop& operator=(const TInterruptStop&) = delete;

 private:
  TEventLoop& loop_;
  TInterruptScope interrupt_;
  TTimerId timer_;
};

// One line on stderr, redrawn in place a few times a second; in a sequence with the
// sensor's place among those it records ("sensor 2 of 6").
class TProgress {
 public:
  // The names of the sensors a sequence records, in order; empty for one sensor.
  std::vector<std::string> Sequence;

  void Show(const std::string& sensor, const std::string& elapsed, uint64_t nowMs) {
    if (sensor != sensor_) End();
    if (sensor == sensor_ && nowMs < nextMs_) return;
    sensor_ = sensor;
    nextMs_ = nowMs + kProgressMs;
    std::cerr << "\rRecording " << Place(sensor) << ": " << elapsed << std::flush;
  }
  void End() {
    if (!sensor_.empty()) std::cerr << std::endl;
    sensor_.clear();
  }

 private:
  std::string Place(const std::string& sensor) const {
    const auto found = std::find(Sequence.begin(), Sequence.end(), sensor);
    if (found == Sequence.end()) return "sensor " + sensor;
    return "sensor " + std::to_string(found - Sequence.begin() + 1) + " of " +
           std::to_string(Sequence.size()) + " (" + sensor + ")";
  }

  std::string sensor_;
  uint64_t nextMs_ = 0;
};

// A message ends the progress line first, for as long as the progress lives.
class TProgressBeforeMessages {
 public:
  TProgressBeforeMessages(TCliSession& session, TProgress& progress) : session_(session) {
    session.SetBeforeMessage([&progress] { progress.End(); });
  }
  ~TProgressBeforeMessages() { session_.SetBeforeMessage(nullptr); }

 private:
  TCliSession& session_;
};

// By name first, then by position in the list.
std::optional<int> FindSensor(const std::vector<TActiveSensor>& sensors, const std::string& text) {
  for (size_t i = 0; i < sensors.size(); ++i) {
    if (sensors[i].Name == text) return static_cast<int>(i);
  }
  try {
    size_t used = 0;
    const int position = std::stoi(text, &used);
    if (used == text.size() && position >= 1 && position <= static_cast<int>(sensors.size())) {
      return position - 1;
    }
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

// Without names of its own the tool names files after the unit type.
void NameUnitIfUnnamed(TZarno& zarno) {
  static const char* const kNames[] = {"Zarno-20", "Zarno-2", "Zarno"};
  if (zarno.ZarnoName().empty()) zarno.SetZarnoNames(zarno.ZarnoMode(), kNames[zarno.ZarnoMode()]);
}

// The names of the sensors a sequence records: all of them, or the analysed ones.
std::vector<std::string> SequenceNames(TZarno& zarno, const std::vector<TActiveSensor>& sensors,
                                       bool selectedOnly) {
  std::vector<std::string> names;
  for (const TActiveSensor& sensor : sensors) {
    if (!selectedOnly || zarno.ChannelUsed(sensor.Channel)) names.push_back(sensor.Name);
  }
  return names;
}

void Report(const std::vector<std::string>& files, int soundError, bool json) {
  if (json) {
    PrintJson({{"files", files}, {"sound_error", soundError}});
    return;
  }
  for (const std::string& file : files) std::cout << file << std::endl;
}

}  // namespace

CLI::App* AddRecordCommand(CLI::App& app, TRecordOptions& options) {
  CLI::App* record = app.add_subcommand("record", "Record sensor signals into .au files");
  record->add_option("--sensor", options.Sensor, "Sensor name or position, ALL or SEL")->required();
  record
      ->add_option("--seconds", options.Seconds,
                   "Recording length; required for one sensor, 1..60 for ALL and SEL "
                   "(default 5)")
      ->check(CLI::PositiveNumber);
  record->add_option("--dir", options.Dir, "Folder of the files")->capture_default_str();
  record->add_option("--file", options.File, "File of a one-sensor recording");
  return record;
}

int RunRecord(TCliSession& session, const TRecordOptions& options, bool json) {
  const bool all = options.Sensor == "ALL" || options.Sensor == "SEL";
  if (!all && options.Seconds == 0) {
    session.Error("--seconds is required for one sensor");
    return exUsage;
  }
  if (all && (options.Seconds > TSoundRecorder::kMaxLength || !options.File.empty())) {
    session.Error("ALL and SEL take --seconds 1..60 and no --file");
    return exUsage;
  }
  TZarno& zarno = session.Zarno();
  TEventLoop& loop = session.Loop();
  NameUnitIfUnnamed(zarno);
  // The sensors follow the controller's cylinder count, analysed channels and firing
  // tables, as they are once the desktop program has connected.
  if (!session.ReadConfiguration()) return exFailed;
  TSoundRecorder recorder(zarno, loop);
  recorder.BuildSensorList();
  if (recorder.Sensors.empty()) {
    // The third kind takes its sensors from the firing table, which may name no channel.
    session.Error("The controller's firing table assigns no channel: there is no sensor to record");
    return exFailed;
  }
  const std::optional<int> index =
      all ? std::optional(0) : FindSensor(recorder.Sensors, options.Sensor);
  if (!index) {
    session.Error("no sensor \"" + options.Sensor + "\"");
    return exUsage;
  }
  std::error_code ignored;
  std::filesystem::create_directories(options.Dir, ignored);
  recorder.SoundFolder = options.Dir;
  recorder.RecordLength = options.Seconds > 0 ? options.Seconds : kDefaultLength;
  if (!options.File.empty())
    recorder.OnChooseFile = [&](const std::string&) { return options.File; };
  recorder.OnBeforeRecording = [&zarno] { zarno.Queue().Clear(); };

  auto headless = std::make_unique<TfmZarnoSoundHeadless>(loop);
  TProgress progress;
  if (all) progress.Sequence = SequenceNames(zarno, recorder.Sensors, options.Sensor == "SEL");
  const TProgressBeforeMessages ended(session, progress);
  headless->OnElapsed = [&](const std::string& sensor, const std::string& elapsed) {
    progress.Show(sensor, elapsed, loop.NowMs());
  };
  TfmZarnoSound& form = *headless;
  zarno.SetSoundForm(std::move(headless));
  {
    TInterruptStop stop(loop, form);
    if (all) {
      recorder.RecordAll(options.Sensor == "SEL");
    } else {
      zarno.SoundError = 0;
      recorder.RecordOne(*index, options.Seconds);
    }
    const uint64_t bound =
        (recorder.RecordLength * 1000ull + kFinishBoundMs) * recorder.Sensors.size();
    loop.RunUntil([&] { return !recorder.Busy(); }, bound);
  }
  progress.End();
  Report(recorder.FilesWritten, zarno.SoundError, json);
  const bool failed = zarno.SoundError != 0 || recorder.Busy() || session.MessagesShown() > 0;
  return failed ? exFailed : exOk;
}

}  // namespace kalvist::cli
