// The program's settings file: section "Setup" of an INI file, read once at start and
// written once at close. A missing key (or a missing file) reads as its default.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kalvist {

struct TMainSettings {
  int ComPort = 1;                // "COMPort"; the device model keeps its low 8 bits
  std::string ComPortPath;        // "COMPortPath": the device path that goes with the number
  uint16_t SampleRate = 41000;    // "SampleRate", never written
  uint16_t TimeStampDelay = 100;  // "TimeStampDelay", never written
  std::string Unit20SensorsName;  // Windows-1252
  std::string Unit2SensorsName;
  int NumMaxChannels = 20;
  int LastMode = 0;  // 1: the 2-sensor type; any other value the 20-sensor type
  int NewVersionSW = 10;
  bool InstantConnect = false;
  // Beside the design's keys: connect again when the port of a lost controller returns.
  bool AutoReconnect = false;
  int ActivatePage = 0;
  std::optional<int> LastEngineType;  // written only; nothing reads it back
};

// Missing keys take their value from `defaults`. Throws TKalvistError when the file
// exists but cannot be read.
TMainSettings ReadSettingsFile(const std::string& path, const TMainSettings& defaults);

// Writes the keys into the file, keeping whatever else it holds (keys never written,
// other sections). Throws TKalvistError when the file cannot be saved; the old file is
// then unchanged.
void WriteSettingsFile(const std::string& path, const TMainSettings& settings);

}  // namespace kalvist
