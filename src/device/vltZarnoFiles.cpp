// The device object's side of the parameter files: the format by hardware kind and
// firmware, saving the catalogue, the access check of a file and applying its values.
#include <algorithm>

#include "IniFile.h"
#include "KalvistError.h"
#include "ParamFiles.h"
#include "vltZarno.h"

namespace kalvist {

namespace {

std::string Numbered(std::string_view key, int position) {
  return std::string(key) + std::to_string(position);
}

// A table position from the file; what is no byte counts as an empty position (255).
uint8_t TableByte(const TIniFile& ini, std::string_view key, int position) {
  const int32_t value = ini.ReadInteger(kCylinderSection, Numbered(key, position), 255);
  return value >= 0 && value <= 255 ? static_cast<uint8_t>(value) : 255;
}

}  // namespace

uint8_t TZarno::GetSaveFileFormat() const {
  switch (zarnoMode_) {
    case 0:
      return SwVersion() < 25 ? 1 : 0;
    case 1:
      return SwVersion() < 13 ? 2 : 0;
    case 2:
      return 0;
    default:
      throw TKalvistError("TZarno.GetSaveFileFormat: Unspecified ZarnoMode.");
  }
}

TIniFile TZarno::SaveToIni(uint8_t format) const {
  TIniFile ini;
  if (format == 0) {
    ini.WriteInteger(kIdentificationSection, kFileVersionKey, 0);
    ini.WriteInteger(kIdentificationSection, kHWTypeKey, zarnoMode_);
    ini.WriteInteger(kIdentificationSection, kSWVersionKey, SwVersion());
  }
  const std::string_view section = format == 2 ? kParameters2Section : kParametersSection;
  for (int i = 0; i < params_.Count(); ++i) {
    const TZarnoParam& entry = params_.Items(i);
    ini.WriteString(section, entry.Name, entry.Value().AsString());
  }
  if (zarnoMode_ == 2) {
    const TFiringTable toChannel = GetFiringToChannel();
    const TFiringTable toCylinder = GetFiringToCylinder();
    for (int i = 0; i < kChannelCount; ++i) {
      ini.WriteInteger(kCylinderSection, Numbered(kFiringToChannelKey, i + 1), toChannel[i]);
    }
    for (int i = 0; i < kChannelCount; ++i) {
      ini.WriteInteger(kCylinderSection, Numbered(kFiringToCylinderKey, i + 1), toCylinder[i]);
    }
  }
  return ini;
}

bool TZarno::SaveToFile(const std::string& fileName) {
  try {
    SaveToIni(GetSaveFileFormat()).SaveToFile(fileName);
    return true;
  } catch (const TKalvistError& e) {
    ShowError(e.Text);
    return false;
  }
}

bool TZarno::CheckFileAccess(const TIniFile& ini, uint8_t& needed) const {
  needed = alMonitor;
  for (int i = 0; i < params_.Count(); ++i) {
    const TZarnoParam& entry = params_.Items(i);
    if (!ini.ValueExists(kParametersSection, entry.Name)) continue;
    needed = std::min(needed, queueAccessCheck_ ? entry.FileWriteLevel : entry.WriteLevel);
  }
  return AccessLevel() <= needed;
}

void TZarno::LoadFromIni(const TIniFile& ini) {
  // Loading ends also when a value cannot be converted.
  struct TLoadingScope {
    bool& Flag;
    ~TLoadingScope() { Flag = false; }
  };
  Loading = true;
  const TLoadingScope scope{Loading};
  for (int i = 0; i < params_.Count(); ++i) {
    TZarnoParam& entry = params_.Items(i);
    if (!ini.ValueExists(kParametersSection, entry.Name)) continue;
    const std::string text =
        ini.ReadString(kParametersSection, entry.Name, entry.Value().AsString());
    // The file's access level applies to this write alone: a flag left behind by a write
    // that was not sent would let a later ordinary edit pass with the file's level.
    entry.LoadedFromFile = queueAccessCheck_;
    try {
      SetValue(entry.ObjectID, TValue(text));
    } catch (...) {
      entry.LoadedFromFile = false;
      throw;
    }
    entry.LoadedFromFile = false;
    ObjectChanged(entry.ObjectID);
  }
  Loading = false;

  if (zarnoMode_ != 2 || !ini.SectionExists(kCylinderSection)) return;
  TFiringTable toChannel{};
  TFiringTable toCylinder{};
  for (int i = 0; i < kChannelCount; ++i) {
    toChannel[i] = TableByte(ini, kFiringToChannelKey, i + 1);
    toCylinder[i] = TableByte(ini, kFiringToCylinderKey, i + 1);
  }
  SetFiringToChannel(toChannel);
  SetFiringToCylinder(toCylinder);
  WriteCylinderConfiguration();
}

}  // namespace kalvist
