#include "ParamFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "KalvistError.h"
#include "MessageThread.h"
#include "P16Import.h"
#include "ParamRanges.h"
#include "SafeFile.h"
#include "vltZarno.h"

namespace kalvist {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

void WriteIdentification(TIniFile& ini, int32_t kind, int32_t version) {
  ini.WriteInteger(kIdentificationSection, kFileVersionKey, 0);
  ini.WriteInteger(kIdentificationSection, kHWTypeKey, kind);
  ini.WriteInteger(kIdentificationSection, kSWVersionKey, version);
}

void CopySection(const TIniFile& from, TIniFile& to, std::string_view section) {
  for (const std::string& key : from.Keys(section)) {
    to.WriteString(section, key, from.ReadString(section, key, {}));
  }
}

std::string FrequencyAdjustText(std::string_view filter, int32_t min, int32_t max, int32_t loaded,
                                int32_t adjusted) {
  char text[200];
  std::snprintf(text, sizeof text,
                " frequency range for curently connected device is %d Hz to %d Hz.\r\n"
                "Loaded frequency is %d Hz and will be adjusted to %d Hz",
                min, max, loaded, adjusted);
  return std::string(filter) + text;
}

// A filter frequency outside what the connected firmware accepts is set to the nearer
// limit in the file, and the user is told.
void ClampFrequency(TIniFile& ini, std::string_view key, std::string_view filter, int32_t min,
                    int32_t max, const TParamFileHooks& hooks) {
  if (!ini.ValueExists(kParametersSection, key)) return;
  const int32_t loaded = ini.ReadInteger(kParametersSection, key, 0);
  const int32_t adjusted = std::clamp(loaded, min, max);
  if (adjusted == loaded) return;
  ini.WriteInteger(kParametersSection, key, adjusted);
  const std::string text = FrequencyAdjustText(filter, min, max, loaded, adjusted);
  if (hooks.ShowInformation) {
    hooks.ShowInformation(text);
  } else {
    ShowMessageAsync(text, 0, mkInformation);
  }
}

// The firmware version from which a hardware kind takes the window in degrees; none for
// the third kind, which converts nothing.
std::optional<int32_t> FirstDegreeVersion(uint8_t zarnoMode) {
  switch (zarnoMode) {
    case 0:
      return 25;
    case 1:
      return 13;
    default:
      return std::nullopt;
  }
}

// False when the conversion was cancelled.
bool ConvertFileWindow(const TZarno& zarno, TIniFile& ini, int32_t fileVersion,
                       const TParamFileHooks& hooks) {
  if (!ini.ValueExists(kParametersSection, "WindowWidth") &&
      !ini.ValueExists(kParametersSection, "WindowDelay")) {
    return true;
  }
  const std::optional<int32_t> firstDegreeVersion = FirstDegreeVersion(zarno.ZarnoMode());
  if (!firstDegreeVersion || (fileVersion >= *firstDegreeVersion) == zarno.WindowInDegrees()) {
    return true;
  }
  TWindowConversionRequest request;
  request.Direction = zarno.WindowInDegrees() ? TWindowDirection::MicrosecondsToDegrees
                                              : TWindowDirection::DegreesToMicroseconds;
  request.Source = {ini.ReadInteger(kParametersSection, "WindowDelay", 1000),
                    ini.ReadInteger(kParametersSection, "WindowWidth", 1500)};
  request.FourStroke = (ini.ReadInteger(kParametersSection, "Switches", 0) & 1) != 0;
  request.Limits.MaxDelayDegrees = zarno.MaxWindowDelayDegrees();
  const std::optional<TWindowPair> converted =
      hooks.ConvertWindow ? hooks.ConvertWindow(request) : std::nullopt;
  if (!converted) return false;
  ini.WriteInteger(kParametersSection, "WindowDelay", converted->Delay);
  ini.WriteInteger(kParametersSection, "WindowWidth", converted->Width);
  return true;
}

// False when the window conversion was cancelled.
bool AdaptToFirmware(const TZarno& zarno, TIniFile& ini, int32_t fileVersion,
                     const TParamFileHooks& hooks) {
  int32_t min = 0;
  int32_t max = 0;
  TZarno::FrequencyRange(zarno.FrequencyRangeKind(), min, max);
  ClampFrequency(ini, "KnockFilterFrequency", "Knocking", min, max, hooks);
  ClampFrequency(ini, "RefFilterFrequency", "Reference", min, max, hooks);
  return ConvertFileWindow(zarno, ini, fileVersion, hooks);
}

// Connected: the file must suit the controller. Nothing when it does.
std::optional<std::string> CheckAgainstController(const TZarno& zarno, const TIniFile& ini,
                                                  int32_t kind) {
  if (kind != zarno.ZarnoMode()) return "Parameters file is for diferent version of hardware";
  uint8_t needed = 0;
  if (zarno.CheckFileAccess(ini, needed)) return std::nullopt;
  return "Cannot write parameters file because some parameters required " +
         TZarno::AccessLevelName(needed) + " access level.\r\nYou have only " +
         TZarno::AccessLevelName(zarno.AccessLevel()) + " access level.";
}

TParamFileResult ImportP16File(TZarno& zarno, const std::string& text,
                               const TParamFileHooks& hooks) {
  TZarnoPageTarget deviceTarget(zarno);
  IParamPageTarget& target = hooks.PageTarget ? *hooks.PageTarget : deviceTarget;
  try {
    ImportP16Text(text, target, hooks.ConvertWindow);
    return TParamFileResult::Loaded;
  } catch (const TKalvistError& e) {
    zarno.ShowError("Error reading old parameters file: " + e.Text);
    return TParamFileResult::Failed;
  }
}

// Where the text of a file that must be text is broken, or nothing.
std::optional<std::string> NotText(std::string_view content) {
  for (size_t i = 0; i < content.size(); ++i) {
    const auto byte = static_cast<unsigned char>(content[i]);
    const bool control = byte < 0x20 || byte == 0x7F;
    if (!control || byte == '\r' || byte == '\n' || byte == '\t') continue;
    char reason[64];
    std::snprintf(reason, sizeof reason, "it is no text (byte 0x%02X at offset %zu)", byte, i);
    return reason;
  }
  return std::nullopt;
}

TParamFileKind KindOf(const std::string& fileName, std::string_view content) {
  const std::string extension = FileExtension(fileName);
  if (extension == ".zrp") return TParamFileKind::NewLayout;
  if (extension == ".p16") return TParamFileKind::P16;
  if (extension == ".zrn" || extension == ".zr2") return TParamFileKind::OldLayout;
  return HasIdentification(TIniFile::FromText(content)) ? TParamFileKind::NewLayout
                                                        : TParamFileKind::OldLayout;
}

// Values the object cannot hold refuse the whole file; values outside the pages' valid
// range are applied, and the user is told which.
bool ValuesFit(TZarno& zarno, const TIniFile& ini) {
  std::vector<TValueFault> unfit = CheckFileValues(zarno, ini);
  std::erase_if(unfit, [](const TValueFault& f) { return f.Fits; });
  if (unfit.empty()) return true;
  zarno.ShowError("Parameters file \"" + ini.FileName() +
                  "\" is refused, its values do not fit their objects: " + FaultList(unfit));
  return false;
}

void WarnOutsideValidRange(TZarno& zarno, const TIniFile& ini) {
  const std::vector<TValueFault> outside = CheckFileValues(zarno, ini);
  if (outside.empty()) return;
  ShowMessageAsync("Parameters file \"" + ini.FileName() +
                       "\" holds values outside the valid range of the configuration pages: " +
                       FaultList(outside),
                   0, mkWarning);
}

}  // namespace

std::string SaveFileExtension(uint8_t format) {
  switch (format) {
    case 1:
      return ".zrn";
    case 2:
      return ".zr2";
    default:
      return ".zrp";
  }
}

std::string SaveFileFilter(uint8_t format) {
  const std::string extension = SaveFileExtension(format);
  return "parameter file (*" + extension + ")|*" + extension;
}

std::string OpenFileFilter(bool connected, uint8_t zarnoMode) {
  if (!connected) {
    return "parameter files (*.zrn;*.zr2;*.zrp)|*.zrn;*.zr2;*.zrp|parameters (*.p16)|*.p16";
  }
  switch (zarnoMode) {
    case 0:
      return "parameter files (*.zrn;*.zrp)|*.zrn;*.zrp";
    case 1:
      return "parameter files (*.zr2;*.zrp)|*.zr2;*.zrp";
    default:
      throw TKalvistError("TmSetUp.actOpenParamFileExecute - undefined mode");
  }
}

std::string FileExtension(std::string_view fileName) {
  const size_t dot = fileName.find_last_of("./");
  if (dot == std::string_view::npos || fileName[dot] != '.') return {};
  std::string extension(fileName.substr(dot));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

TWindowDecision ConvertAtSpeed(int32_t rpm) {
  const int32_t speed = ClampWindowSpeed(rpm);
  return [speed](const TWindowConversionRequest& request) -> std::optional<TWindowPair> {
    return ClampToLimits(request.Direction, ConvertWindow(request.Direction, request.Source, speed),
                         request.Limits);
  };
}

void RenameSection(TIniFile& ini, std::string_view from, std::string_view to) {
  if (SameName(from, to)) return;
  for (const std::string& key : ini.Keys(from)) {
    ini.WriteString(to, key, ini.ReadString(from, key, {}));
    ini.DeleteKey(from, key);
  }
  ini.EraseSection(from);
}

void ConvertOldFile(TIniFile& ini) {
  if (ini.SectionExists(kParameters2Section)) {
    RenameSection(ini, kParameters2Section, kParametersSection);
    WriteIdentification(ini, 1, 12);
  } else if (ini.ValueExists(kParametersSection, "Gain1")) {
    WriteIdentification(ini, 0, 24);
  } else {
    WriteIdentification(ini, 0, 19);
  }
}

bool HasIdentification(const TIniFile& ini) {
  return ini.ValueExists(kIdentificationSection, kFileVersionKey) &&
         ini.ValueExists(kIdentificationSection, kHWTypeKey) &&
         ini.ValueExists(kIdentificationSection, kSWVersionKey);
}

TParamFileText ReadParamFileText(const std::string& fileName) {
  TParamFileText file{TParamFileKind::NewLayout, ReadFileBytes(fileName, TIniFile::kMaxFileSize)};
  file.Kind = KindOf(fileName, file.Text);
  if (file.Kind == TParamFileKind::NewLayout) return file;
  const std::string refused = "Cannot read parameters file \"" + fileName + "\": ";
  if (const std::optional<std::string> reason = NotText(file.Text)) {
    throw TKalvistError(refused + *reason);
  }
  if (file.Kind == TParamFileKind::P16 && !P16HasValueLine(file.Text)) {
    throw TKalvistError(refused + "no line holds a number 0..255");
  }
  return file;
}

TIniFile ParamFileIni(const TParamFileText& file, const std::string& fileName) {
  TIniFile ini = TIniFile::FromText(file.Text, fileName);
  if (file.Kind == TParamFileKind::OldLayout) ConvertOldFile(ini);
  return ini;
}

std::optional<std::string> CheckParamFile(const TIniFile& ini, const std::string& programTitle) {
  const bool complete = ini.SectionExists(kParametersSection) && HasIdentification(ini);
  if (!complete) return "Invalid parameters file: \"" + ini.FileName() + "\"";
  if (ini.ReadInteger(kIdentificationSection, kFileVersionKey, 0) > 0) {
    return "Parameters file was created by newer version of " + programTitle;
  }
  const int32_t kind = ini.ReadInteger(kIdentificationSection, kHWTypeKey, 0);
  if (kind < 0 || kind > 2) {
    return "Parameters file is for unknown hardware (HWType " + std::to_string(kind) + ")";
  }
  return std::nullopt;
}

TIniFile NewLayout(const TIniFile& ini) {
  TIniFile layout(ini.FileName());
  const std::pair<std::string_view, int32_t> identification[] = {
      {kFileVersionKey, 0}, {kHWTypeKey, 0}, {kSWVersionKey, 25}};
  for (const auto& [key, defaultValue] : identification) {
    layout.WriteInteger(kIdentificationSection, key,
                        ini.ReadInteger(kIdentificationSection, key, defaultValue));
  }
  CopySection(ini, layout, kParametersSection);
  CopySection(ini, layout, kCylinderSection);
  return layout;
}

namespace {

// Everything of ApplyParamFile before the values are applied; Loaded: ready.
TParamFileResult PrepareIni(TZarno& zarno, TIniFile& ini, const TParamFileHooks& hooks) {
  std::optional<std::string> refusal = CheckParamFile(ini, hooks.ProgramTitle);
  const int32_t kind = ini.ReadInteger(kIdentificationSection, kHWTypeKey, 0);
  const int32_t version = ini.ReadInteger(kIdentificationSection, kSWVersionKey, 25);
  if (!refusal && zarno.IsConnected()) refusal = CheckAgainstController(zarno, ini, kind);
  if (refusal) {
    zarno.ShowError(*refusal);
    return TParamFileResult::Failed;
  }
  if (!zarno.IsConnected()) {
    zarno.SetZarnoMode(static_cast<uint8_t>(kind));
    if (hooks.SelectOfflineVersion) {
      hooks.SelectOfflineVersion(version);
    } else {
      zarno.SetOfflineSWversion(version);
    }
  }
  if (!ValuesFit(zarno, ini)) return TParamFileResult::Failed;
  if (zarno.IsConnected() && version != zarno.SwVersion() &&
      !AdaptToFirmware(zarno, ini, version, hooks)) {
    return TParamFileResult::Cancelled;
  }
  WarnOutsideValidRange(zarno, ini);
  return TParamFileResult::Loaded;
}

TParamFileResult LoadPreparedIni(TZarno& zarno, const TIniFile& ini) {
  try {
    zarno.LoadFromIni(ini);
    return TParamFileResult::Loaded;
  } catch (const TKalvistError& e) {
    zarno.ShowError(e.Text);
    return TParamFileResult::Failed;
  }
}

}  // namespace

TParamFileResult ApplyParamFile(TZarno& zarno, TIniFile& ini, const TParamFileHooks& hooks) {
  const TParamFileResult prepared = PrepareIni(zarno, ini, hooks);
  return prepared == TParamFileResult::Loaded ? LoadPreparedIni(zarno, ini) : prepared;
}

TParamFileResult PrepareParamFile(TZarno& zarno, const std::string& fileName,
                                  const TParamFileHooks& hooks, TPreparedParamFile& prepared) {
  TParamFileText file;
  try {
    file = ReadParamFileText(fileName);
  } catch (const TKalvistError& e) {
    zarno.ShowError(e.Text);  // the file could not be read, or not as what it claims to be
    return TParamFileResult::Failed;
  }
  prepared.FileName = fileName;
  prepared.Kind = file.Kind;
  if (file.Kind == TParamFileKind::P16) {
    prepared.Text = std::move(file.Text);
    return TParamFileResult::Loaded;
  }
  prepared.Ini = ParamFileIni(file, fileName);
  return PrepareIni(zarno, prepared.Ini, hooks);
}

TParamFileResult ApplyPreparedParamFile(TZarno& zarno, const TPreparedParamFile& prepared,
                                        const TParamFileHooks& hooks) {
  if (prepared.Kind != TParamFileKind::P16) return LoadPreparedIni(zarno, prepared.Ini);
  if (!zarno.IsConnected()) {
    zarno.NumMaxChannels = 16;
    zarno.SetZarnoMode(0);
  }
  return ImportP16File(zarno, prepared.Text, hooks);
}

TParamFileResult LoadParamFile(TZarno& zarno, const std::string& fileName,
                               const TParamFileHooks& hooks) {
  TPreparedParamFile prepared;
  TParamFileResult result = PrepareParamFile(zarno, fileName, hooks, prepared);
  if (prepared.FileName.empty()) return result;  // not read: nothing changed
  if (result == TParamFileResult::Loaded) result = ApplyPreparedParamFile(zarno, prepared, hooks);
  if (prepared.Kind != TParamFileKind::NewLayout && hooks.RefreshForDevice) {
    hooks.RefreshForDevice();
  }
  if (!zarno.IsConnected() && hooks.ShowOfflineDevice) hooks.ShowOfflineDevice();
  return result;
}

}  // namespace kalvist
