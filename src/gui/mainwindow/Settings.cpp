#include "Settings.h"

#include <filesystem>

#include "IniFile.h"

namespace kalvist {

namespace {
constexpr const char* kSection = "Setup";
}  // namespace

TMainSettings ReadSettingsFile(const std::string& path, const TMainSettings& defaults) {
  const TIniFile ini = std::filesystem::exists(path) ? TIniFile::LoadFromFile(path) : TIniFile();
  const auto integer = [&ini](const char* key, int defaultValue) {
    return ini.ReadInteger(kSection, key, defaultValue);
  };
  const auto text = [&ini](const char* key, const std::string& defaultValue) {
    return ini.ReadString(kSection, key, defaultValue);
  };
  TMainSettings s;
  s.ComPort = integer("COMPort", defaults.ComPort);
  s.ComPortPath = text("COMPortPath", defaults.ComPortPath);
  s.SampleRate = static_cast<uint16_t>(integer("SampleRate", defaults.SampleRate));
  s.TimeStampDelay = static_cast<uint16_t>(integer("TimeStampDelay", defaults.TimeStampDelay));
  s.Unit20SensorsName = text("Unit20SensorsName", defaults.Unit20SensorsName);
  s.Unit2SensorsName = text("Unit2SensorsName", defaults.Unit2SensorsName);
  s.NumMaxChannels = integer("NumMaxChannels", defaults.NumMaxChannels);
  s.LastMode = integer("LastMode", defaults.LastMode);
  s.NewVersionSW = integer("NewVersionSW", defaults.NewVersionSW);
  s.InstantConnect = integer("InstantConnect", defaults.InstantConnect ? 1 : 0) != 0;
  s.ActivatePage = integer("ActivatePage", defaults.ActivatePage);
  s.AutoReconnect = integer("AutoReconnect", defaults.AutoReconnect ? 1 : 0) != 0;
  s.LastEngineType = defaults.LastEngineType;
  return s;
}

void WriteSettingsFile(const std::string& path, const TMainSettings& s) {
  TIniFile ini = std::filesystem::exists(path) ? TIniFile::LoadFromFile(path) : TIniFile(path);
  ini.WriteInteger(kSection, "COMPort", s.ComPort);
  ini.WriteString(kSection, "COMPortPath", s.ComPortPath);
  ini.WriteInteger(kSection, "InstantConnect", s.InstantConnect ? 1 : 0);
  ini.WriteInteger(kSection, "ActivatePage", s.ActivatePage);
  ini.WriteInteger(kSection, "AutoReconnect", s.AutoReconnect ? 1 : 0);
  ini.WriteString(kSection, "Unit20SensorsName", s.Unit20SensorsName);
  ini.WriteString(kSection, "Unit2SensorsName", s.Unit2SensorsName);
  ini.WriteInteger(kSection, "LastMode", s.LastMode);
  ini.WriteInteger(kSection, "NumMaxChannels", s.NumMaxChannels);
  ini.WriteInteger(kSection, "NewVersionSW", s.NewVersionSW);
  if (s.LastEngineType) ini.WriteInteger(kSection, "LastEngineType", *s.LastEngineType);
  ini.SaveToFile(path);
}

}  // namespace kalvist
