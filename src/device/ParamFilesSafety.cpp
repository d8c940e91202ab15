#include "ParamFilesSafety.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "BitUtils.h"
#include "Clock.h"
#include "KalvistError.h"
#include "ParamRanges.h"
#include "vltZarno.h"

namespace kalvist {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDegrees = " \xB0";  // Windows-1252
constexpr const char* kMicroseconds = " \xB5s";

// A fixed number of decimals with a point, whatever the locale.
std::string Fixed(double value, int decimals) {
  char text[32];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return error == std::errc() ? std::string(text, end) : std::to_string(value);
}

std::string Tenths(int64_t raw, const char* unit) {
  return Fixed(static_cast<double>(raw) / 10.0, 1) + unit;
}

// Channels by number ("1-3, 5"), or by letter for the 2-sensor unit's A and B.
std::string ChannelList(int64_t mask, bool letters) {
  std::string list;
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    if (!(mask >> (channel - 1) & 1)) continue;
    int last = channel;
    while (!letters && last < kChannelCount && (mask >> last & 1)) ++last;
    const std::string name =
        letters ? std::string(1, static_cast<char>('A' + channel - 1)) : std::to_string(channel);
    list += (list.empty() ? "" : ", ") + name;
    if (last > channel) list += (last > channel + 1 ? "-" : ", ") + std::to_string(last);
    channel = last;
  }
  return list.empty() ? "none" : list;
}

std::string ShownNumber(TZarno& zarno, uint16_t id, int64_t r) {
  if (IsFiringAngle(id)) return Tenths(r, kDegrees);
  switch (id) {
    case idWindowDelay:
    case idWindowWidth:
      return zarno.WindowInDegrees() ? Tenths(r, kDegrees) : std::to_string(r) + kMicroseconds;
    case idAttenuation:
      return Fixed(static_cast<double>(r) / 1000.0, 3);
    case idIgnitionReductionLimit:
    case idImmediateStopLimit:
      return Fixed(ByteToPercent(static_cast<uint8_t>(r)), 1) + " %";
    case idDecreaseRamp:
      return Tenths(r, " %/s");
    case idTimingReductionGain:
    case idMaximumOutputValue:
    case idDiagnosticOutput:
      return Tenths(r, " %");
    case idDelayAfterLoadReduction:
      return Tenths(r, " s");
    case idAngleV:
      return std::to_string(r) + kDegrees;
    case idKnockFilterFrequency:
    case idRefFilterFrequency:
      return std::to_string(r) + " Hz";
    case idBusSpeed:
      return std::to_string(r) + " kbit/s";
    case idCANMode:
      return r == 0 ? "CANOpen mode" : r == 1 ? "Qorvix-controller" : std::to_string(r);
    case idUsedSensors:
      return ChannelList(r, false);
    case idSelectSensors:
      return ChannelList(r, true);
    default:
      return std::to_string(r);
  }
}

bool IsParameterFile(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".zrp" || extension == ".zrn" || extension == ".zr2";
}

// All but the newest kRestorePointsKept parameter files of the folder go.
void KeepNewest(const fs::path& folder) {
  std::vector<std::pair<fs::file_time_type, fs::path>> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file() && IsParameterFile(entry.path())) {
      files.emplace_back(entry.last_write_time(), entry.path());
    }
  }
  if (files.size() <= kRestorePointsKept) return;
  std::sort(files.begin(), files.end());  // oldest first; the name breaks a tie
  std::error_code ignored;                // one that cannot go stays, and is tried next time
  for (size_t i = 0; i + kRestorePointsKept < files.size(); ++i)
    fs::remove(files[i].second, ignored);
}

}  // namespace

std::string ShownValue(TZarno& zarno, uint16_t objectId, const TValue& raw) {
  if (!raw.IsNumber()) return raw.AsString();
  return ShownNumber(zarno, objectId, raw.AsInt64());
}

std::optional<std::vector<TParamChange>> ParamFileChanges(TZarno& zarno,
                                                          const TPreparedParamFile& prepared,
                                                          const std::vector<std::string>& notRead) {
  if (prepared.Kind == TParamFileKind::P16) return std::nullopt;
  std::vector<TParamChange> changes;
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    const TZarnoParam& entry = zarno.Params().Items(i);
    if (!prepared.Ini.ValueExists(kParametersSection, entry.Name)) continue;
    // The value as the entry would take it: the file's text through the object's rules.
    TCommObject fromFile(entry.ObjectID, false, entry.Size());
    fromFile.AssignData(entry);
    fromFile.SetValue(TValue(prepared.Ini.ReadString(kParametersSection, entry.Name, {})));
    const bool unread = std::find(notRead.begin(), notRead.end(), entry.Name) != notRead.end();
    if (!unread && ValuesEqual(fromFile.Value(), entry.Value())) continue;
    changes.push_back(
        {entry.Name,
         unread ? std::string(kNotRead) : ShownValue(zarno, entry.ObjectID, entry.Value()),
         ShownValue(zarno, entry.ObjectID, fromFile.Value())});
  }
  return changes;
}

std::string ChangeSummary(const std::optional<std::vector<TParamChange>>& changes) {
  if (!changes) return "The changes of a .p16 import are known only once it is applied";
  if (changes->empty()) return "No parameter changes";
  return std::to_string(changes->size()) +
         (changes->size() == 1 ? " parameter changes:" : " parameters change:");
}

std::string ChangeLine(const TParamChange& change) {
  return change.Name + ": " + change.ControllerValue + " -> " + change.FileValue;
}

std::vector<std::string> UnreadableParams(TZarno& zarno) {
  std::vector<std::string> names;
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    const TZarnoParam& entry = zarno.Params().Items(i);
    if (entry.ReadLevel < zarno.AccessLevel()) names.push_back(entry.Name);
  }
  return names;
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  return LocalTime(now).Fields;
}

std::string RestorePointName(TZarno& zarno, const std::tm& when) {
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &when);
  std::string unit = zarno.ZarnoName();
  std::replace(unit.begin(), unit.end(), '/', '_');  // a name is no path
  return unit + "_" + stamp + SaveFileExtension(zarno.GetSaveFileFormat());
}

std::string WriteRestorePoint(TZarno& zarno, const std::string& folder,
                              const std::vector<std::string>& notRead, const std::tm& when) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    throw TKalvistError("Cannot create directory \"" + folder + "\": " + error.message());
  }
  const std::string name = RestorePointName(zarno, when);
  fs::path path = fs::path(folder) / name;
  // Two loads within one second keep both restore points.
  for (int n = 2; fs::exists(path); ++n) {
    path = fs::path(folder) / (fs::path(name).stem().string() + "_" + std::to_string(n) +
                               fs::path(name).extension().string());
  }
  TIniFile ini = zarno.SaveToIni(zarno.GetSaveFileFormat());
  const std::string_view section =
      zarno.GetSaveFileFormat() == 2 ? kParameters2Section : kParametersSection;
  for (const std::string& unread : notRead) ini.DeleteKey(section, unread);
  ini.SaveToFile(path.string());
  KeepNewest(folder);
  return path.string();
}

}  // namespace kalvist
