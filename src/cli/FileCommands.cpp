#include "FileCommands.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "CliInterrupt.h"
#include "CliOutput.h"
#include "DeviceVersionCheck.h"
#include "IniFile.h"
#include "KalvistError.h"
#include "MessageThread.h"
#include "ParamFiles.h"
#include "ParamFilesSafety.h"
#include "vltFirmwareVersion.h"

namespace kalvist::cli {

using ordered_json = nlohmann::ordered_json;

namespace {

constexpr const char* kController = "controller";
constexpr int kDiffDifferent = 1;
constexpr int kDiffTrouble = 2;

void Fail(const std::string& text) {
  ShowMessageAsync(text, 0, mkError);
}

void Inform(const std::string& text) {
  ShowMessageAsync(text, 0, mkInformation);
}

std::string FirmwareText(int32_t firmware) {
  TFirmwareVersion version;
  version.SetFromByte(static_cast<uint8_t>(firmware));
  return version.AsString();
}

// Messages of the device model as lines, for commands that open no connection.
class TSinkScope {
 public:
  TSinkScope() { SetMessageSink(&sink_); }
  ~TSinkScope() { SetMessageSink(nullptr); }
  TSinkScope(const TSinkScope&) = delete;
  TSinkScope& operator=(const TSinkScope&) = delete;

 private:
  TLineSink sink_;
};

// The device object offline with a chosen parameter set at its defaults, as the program
// is before a file is prepared or after a ".p16" file is imported.
class TOfflineDevice {
 public:
  explicit TOfflineDevice(const TFileOptions& options) : zarno_(loop_) {
    const int kind = options.Kind.value_or(20);
    const uint8_t mode = kind == 2 ? 1 : kind == 3 ? 2 : 0;
    for (uint8_t m = 0; m < 3; ++m) zarno_.SetZarnoNames(m, DeviceTypeName(m));
    zarno_.SetZarnoMode(mode);
    zarno_.SetOfflineSWversion(options.Firmware.value_or(LastSupportedFirmware(mode)));
    zarno_.Params().ResetToDefaults();
  }
  TZarno& Zarno() { return zarno_; }

 private:
  TEventLoop loop_;
  TZarno zarno_;
};

std::string WindowText(int64_t value, bool degrees) {
  char text[32];
  if (degrees) {
    std::snprintf(text, sizeof text, "%.1f deg", static_cast<double>(value) / 10.0);
  } else {
    std::snprintf(text, sizeof text, "%lld us", static_cast<long long>(value));
  }
  return text;
}

// Converts at the chosen speed without asking, and says what it did; or cancels.
TParamFileHooks Hooks(const TFileOptions& options) {
  TParamFileHooks hooks;
  if (options.CancelConversion) return hooks;
  const int32_t speed = options.Speed;
  hooks.ConvertWindow = [speed](const TWindowConversionRequest& request) {
    const std::optional<TWindowPair> converted = ConvertAtSpeed(speed)(request);
    const bool toDegrees = request.Direction == TWindowDirection::MicrosecondsToDegrees;
    Inform("Detonation window converted at " + std::to_string(speed) + " rpm: delay " +
           WindowText(request.Source.Delay, !toDegrees) + " -> " +
           WindowText(converted->Delay, toDegrees) + ", width " +
           WindowText(request.Source.Width, !toDegrees) + " -> " +
           WindowText(converted->Width, toDegrees));
    return converted;
  };
  return hooks;
}

// The file and how it is read; nothing (and a message) when it cannot be.
std::optional<TParamFileText> ReadFile(const std::string& fileName) {
  try {
    return ReadParamFileText(fileName);
  } catch (const TKalvistError& e) {
    Fail(e.Text);
    return std::nullopt;
  }
}

// --kind and --firmware choose the parameter set a ".p16" file is imported into; any
// other file brings its own, and would silently override them.
bool ParameterSetFits(TParamFileKind kind, const std::string& fileName,
                      const TFileOptions& options) {
  if (kind == TParamFileKind::P16 || (!options.Kind && !options.Firmware)) return true;
  Fail("--kind and --firmware choose the parameter set of a \".p16\" import; \"" + fileName +
       "\" brings its own");
  return false;
}

// Any parameter file as the new layout; old layouts are converted, a ".p16" file is
// imported into the offline device object. Nothing (and a message) when it cannot be.
std::optional<TIniFile> NewLayoutOf(TOfflineDevice& device, const TParamFileText& file,
                                    const std::string& fileName, const TFileOptions& options) {
  if (file.Kind == TParamFileKind::P16) {
    if (LoadParamFile(device.Zarno(), fileName, Hooks(options)) != TParamFileResult::Loaded) {
      return std::nullopt;
    }
    return device.Zarno().SaveToIni(0);
  }
  const TIniFile ini = ParamFileIni(file, fileName);
  if (const std::optional<std::string> refusal = CheckParamFile(ini, Hooks(options).ProgramTitle)) {
    Fail(*refusal);
    return std::nullopt;
  }
  return NewLayout(ini);
}

std::optional<TIniFile> NewLayoutOf(TOfflineDevice& device, const std::string& fileName,
                                    const TFileOptions& options) {
  const std::optional<TParamFileText> file = ReadFile(fileName);
  return file ? NewLayoutOf(device, *file, fileName, options) : std::nullopt;
}

// The controller's configuration as a file, without the entries the access level could
// not read (they are listed apart).
struct TControllerLayout {
  TIniFile Layout;
  std::vector<std::string> NotRead;
};

std::optional<TControllerLayout> ControllerLayout(TCliSession& session) {
  std::optional<std::vector<std::string>> notRead = session.ReadConfiguration();
  if (!notRead) return std::nullopt;
  TControllerLayout controller{session.Zarno().SaveToIni(0), std::move(*notRead)};
  for (const std::string& name : controller.NotRead) {
    controller.Layout.DeleteKey(kParametersSection, name);
  }
  return controller;
}

// --- save ---

int SaveFile(TZarno& zarno, const std::string& fileName, bool json) {
  const uint8_t format = zarno.GetSaveFileFormat();
  if (!zarno.SaveToFile(fileName)) return exFailed;
  if (json) {
    PrintJson({{"file", fileName},
               {"format", format},
               {"extension", SaveFileExtension(format)},
               {"parameters", zarno.Params().Count()}});
  } else {
    std::cout << "Saved " << zarno.Params().Count() << " parameters to " << fileName << std::endl;
  }
  return exOk;
}

bool ExtensionFits(TZarno& zarno, const std::string& fileName) {
  const std::string expected = SaveFileExtension(zarno.GetSaveFileFormat());
  if (FileExtension(fileName) == expected) return true;
  Fail("Cannot save \"" + fileName + "\": the parameters of " + DeviceTypeName(zarno.ZarnoMode()) +
       " firmware " + FirmwareText(zarno.SwVersion()) + " are saved as \"" + expected + "\"");
  return false;
}

// Defaults are no controller's values: saved in their place only when asked to.
bool UnreadAccepted(const std::vector<std::string>& notRead, bool allowDefaults) {
  if (notRead.empty()) return true;
  const std::string what =
      std::to_string(notRead.size()) + " parameters could not be read at the current access level";
  if (!allowDefaults) {
    Fail(what + ": nothing saved (--allow-defaults saves their defaults in their place)");
    return false;
  }
  ShowMessageAsync(what + "; their defaults are saved in their place", 0, mkWarning);
  return true;
}

int RunSave(const TFileOptions& options, const TSessionOptions& sessionOptions, bool json) {
  if (options.Offline) {
    const TSinkScope sink;
    TOfflineDevice device(options);
    if (!ExtensionFits(device.Zarno(), options.File)) return exUsage;
    return SaveFile(device.Zarno(), options.File, json);
  }
  TCliSession session(sessionOptions);
  if (const int opened = session.Open(); opened != exOk) return opened;
  if (!ExtensionFits(session.Zarno(), options.File)) return exUsage;
  const std::optional<std::vector<std::string>> notRead = session.ReadConfiguration();
  if (!notRead || !UnreadAccepted(*notRead, options.AllowDefaults)) return exFailed;
  return SaveFile(session.Zarno(), options.File, json);
}

// --- load ---

bool HasCylinderConfiguration(const TZarno& zarno, const TPreparedParamFile& prepared) {
  return zarno.ZarnoMode() == 2 && prepared.Kind != TParamFileKind::P16 &&
         prepared.Ini.SectionExists(kCylinderSection);
}

// One value a load set, with what became of it on the controller ("" offline).
struct TLoadedValue {
  std::string Name;
  TValue Value;
  std::string Outcome;
};

constexpr const char* kAlreadyEqual = "already equal";

// What the load applied, in catalogue order, and the cylinder configuration when the
// file brought one.
// `extra`: what a connected load adds to the JSON report (the changes, the restore point).
void PrintApplied(TZarno& zarno, const std::vector<TLoadedValue>& loaded, bool cylinders,
                  bool offline, const ordered_json& extra, bool json) {
  ordered_json values = ordered_json::object();
  ordered_json equal = ordered_json::array();
  if (offline && !json) {
    std::cout << "Parameter set: " << DeviceTypeName(zarno.ZarnoMode()) << " firmware "
              << FirmwareText(zarno.SwVersion()) << "\n";
  }
  for (const TLoadedValue& value : loaded) {
    if (json) {
      values[value.Name] = ValueJson(value.Value);
      if (value.Outcome == kAlreadyEqual) equal.push_back(value.Name);
    } else {
      std::cout << value.Name << "=" << ValueText(value.Value)
                << (value.Outcome.empty() ? "" : " " + value.Outcome) << "\n";
    }
  }
  ordered_json table = ordered_json::object();
  if (cylinders) {
    const TZarno::TFiringTable toChannel = zarno.GetFiringToChannel();
    const TZarno::TFiringTable toCylinder = zarno.GetFiringToCylinder();
    for (size_t i = 0; i < toChannel.size(); ++i) {
      table[std::string(kFiringToChannelKey) + std::to_string(i + 1)] = toChannel[i];
    }
    for (size_t i = 0; i < toCylinder.size(); ++i) {
      table[std::string(kFiringToCylinderKey) + std::to_string(i + 1)] = toCylinder[i];
    }
    if (!json) {
      for (const auto& [key, value] : table.items()) std::cout << key << "=" << value << "\n";
    }
  }
  if (json) {
    ordered_json report = {{"offline", offline},
                           {"hardware_kind", zarno.ZarnoMode()},
                           {"firmware", FirmwareText(zarno.SwVersion())},
                           {"values", values}};
    if (!offline) report["already_equal"] = equal;
    if (cylinders) report["cylinder_configuration"] = table;
    report.update(extra);
    PrintJson(report);
  }
  std::cout << std::flush;
}

// Applies the file by `load` and notes the catalogue entries it set, in catalogue order.
TParamFileResult ApplyFile(TZarno& zarno, const std::function<TParamFileResult()>& load,
                           std::vector<const TZarnoParam*>& applied) {
  std::set<uint16_t> ids;
  zarno.OnObjectChanged = [&ids](TZarno&, uint16_t id) { ids.insert(id); };
  const TParamFileResult result = load();
  zarno.OnObjectChanged = nullptr;
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    if (ids.count(zarno.Params().Items(i).ObjectID)) applied.push_back(&zarno.Params().Items(i));
  }
  return result;
}

int LoadStatus(TParamFileResult result) {
  if (result == TParamFileResult::Cancelled) {
    Fail("Detonation window conversion cancelled: nothing was loaded");
    return exFailed;
  }
  return result == TParamFileResult::Loaded ? exOk : exFailed;
}

int LoadOffline(const TFileOptions& options, bool json) {
  const TSinkScope sink;
  TOfflineDevice device(options);
  TZarno& zarno = device.Zarno();
  TPreparedParamFile prepared;
  const TParamFileResult ready = PrepareParamFile(zarno, options.File, Hooks(options), prepared);
  if (!prepared.FileName.empty() && !ParameterSetFits(prepared.Kind, options.File, options)) {
    return exUsage;
  }
  if (const int status = LoadStatus(ready); status != exOk) return status;
  std::vector<const TZarnoParam*> applied;
  const auto load = [&] { return ApplyPreparedParamFile(zarno, prepared, Hooks(options)); };
  if (const int status = LoadStatus(ApplyFile(zarno, load, applied)); status != exOk) {
    return status;
  }
  std::vector<TLoadedValue> loaded;
  for (const TZarnoParam* entry : applied) loaded.push_back({entry->Name, entry->Value(), {}});
  PrintApplied(zarno, loaded, HasCylinderConfiguration(zarno, prepared), true, {}, json);
  return exOk;
}

// Ctrl-C ended the load: the write under way has ended, the rest was dropped.
int ReportInterrupted(TCliSession& session, const std::vector<const TZarnoParam*>& applied,
                      const std::string& restorePoint, bool json) {
  std::vector<std::string> written;
  std::vector<std::string> notWritten;
  for (const TZarnoParam* entry : applied) {
    (session.WriteResult(entry->ObjectID) == 0 ? written : notWritten).push_back(entry->Name);
  }
  std::string list;
  for (const std::string& name : notWritten) list += (list.empty() ? "" : ", ") + name;
  ErrorLine("Interrupted: " + std::to_string(written.size()) + " of " +
            std::to_string(applied.size()) + " values were written" +
            (notWritten.empty() ? "" : "; not written: " + list));
  ErrorLine("The configuration before the load is in " + restorePoint);
  if (json) {
    PrintJson({{"interrupted", true},
               {"written", written},
               {"not_written", notWritten},
               {"restore_point", restorePoint}});
  }
  return exInterrupted;
}

// The loaded values with what became of each: "written", or "already equal" when the
// controller held the value before (written again all the same, as a load does).
std::vector<TLoadedValue> Outcomes(const std::vector<const TZarnoParam*>& applied,
                                   const std::map<std::string, std::string>& before) {
  std::vector<TLoadedValue> loaded;
  for (const TZarnoParam* entry : applied) {
    const auto was = before.find(entry->Name);
    const bool equal = was != before.end() && was->second == entry->Value().AsString();
    loaded.push_back({entry->Name, entry->Value(), equal ? kAlreadyEqual : "written"});
  }
  return loaded;
}

// The values of the entries read from the controller, as file texts.
std::map<std::string, std::string> ReadValues(TZarno& zarno,
                                              const std::vector<std::string>& notRead) {
  std::map<std::string, std::string> values;
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    const TZarnoParam& entry = zarno.Params().Items(i);
    if (std::find(notRead.begin(), notRead.end(), entry.Name) == notRead.end()) {
      values[entry.Name] = entry.Value().AsString();
    }
  }
  return values;
}

ordered_json ChangesJson(const std::vector<TParamChange>& changes) {
  ordered_json list = ordered_json::array();
  for (const TParamChange& c : changes) {
    list.push_back({{"name", c.Name},
                    {"controller", Cp1252ToUtf8(c.ControllerValue)},
                    {"file", Cp1252ToUtf8(c.FileValue)}});
  }
  return list;
}

// What the file will change on the controller, before anything is written.
void PrintChanges(const std::optional<std::vector<TParamChange>>& changes) {
  std::cout << ChangeSummary(changes) << "\n";
  for (const TParamChange& c : changes.value_or(std::vector<TParamChange>{})) {
    std::cout << "  " << Cp1252ToUtf8(ChangeLine(c)) << "\n";
  }
  std::cout << std::flush;
}

// The controller's configuration before the load; nothing (and the reason) when it
// cannot be kept, and then nothing is loaded.
std::optional<std::string> KeepRestorePoint(TZarno& zarno, const TFileOptions& options,
                                            const std::vector<std::string>& notRead) {
  try {
    return WriteRestorePoint(zarno, options.RestoreDir, notRead, LocalNow());
  } catch (const TKalvistError& e) {
    Fail("No restore point could be written, so nothing was loaded: " + e.Text);
    return std::nullopt;
  }
}

int LoadConnected(TCliSession& session, const TFileOptions& options, bool json) {
  TZarno& zarno = session.Zarno();
  const std::optional<std::vector<std::string>> notRead = session.ReadConfiguration();
  if (!notRead) return exFailed;
  const std::map<std::string, std::string> before = ReadValues(zarno, *notRead);
  TPreparedParamFile prepared;
  if (const int status =
          LoadStatus(PrepareParamFile(zarno, options.File, Hooks(options), prepared));
      status != exOk) {
    return status;
  }
  const std::optional<std::vector<TParamChange>> changes =
      ParamFileChanges(zarno, prepared, *notRead);
  ordered_json extra = {{"changes", changes ? ChangesJson(*changes) : ordered_json(nullptr)}};
  if (!json) PrintChanges(changes);
  if (options.DryRun) {
    if (json) PrintJson({{"dry_run", true}, {"changes", extra["changes"]}});
    return exOk;
  }
  const std::optional<std::string> restorePoint = KeepRestorePoint(zarno, options, *notRead);
  if (!restorePoint) return exFailed;
  extra["restore_point"] = *restorePoint;
  if (!json) std::cout << "Restore point: " << *restorePoint << std::endl;

  const TInterruptScope interrupt;
  session.ForgetResults();
  std::vector<const TZarnoParam*> applied;
  const auto load = [&] { return ApplyPreparedParamFile(zarno, prepared, Hooks(options)); };
  const TParamFileResult result = ApplyFile(zarno, load, applied);
  // What was queued before a failure still goes out, as in the program.
  const bool settled =
      session.Settle(zarno.Queue().Count() + 2, [&interrupt] { return interrupt.Interrupted(); });
  if (interrupt.Interrupted()) {
    zarno.Queue().ClearPending();
    session.Settle(1);
    return ReportInterrupted(session, applied, *restorePoint, json);
  }
  if (!settled) {
    if (zarno.IsConnected()) Fail("The controller did not finish in time");
    return exFailed;
  }
  if (const int status = LoadStatus(result); status != exOk) return status;
  PrintApplied(zarno, Outcomes(applied, before), HasCylinderConfiguration(zarno, prepared), false,
               extra, json);
  return exOk;
}

int RunLoad(const TFileOptions& options, const TSessionOptions& sessionOptions, bool json) {
  if (options.Offline) return LoadOffline(options, json);
  TCliSession session(sessionOptions);
  if (const int opened = session.Open(); opened != exOk) return opened;
  if (!session.Zarno().PasswordOK()) {
    Fail("Loading parameters into the controller needs an accepted password (--password)");
    return exFailed;
  }
  return LoadConnected(session, options, json);
}

// --- convert and show ---

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

int RunConvert(const TFileOptions& options, bool json) {
  const TSinkScope sink;
  if (FileExtension(options.Output) != ".zrp") {
    Fail("Cannot convert into \"" + options.Output + "\": the new layout is saved as \".zrp\"");
    return exUsage;
  }
  if (SameFile(options.Input, options.Output)) {
    Fail("Cannot convert \"" + options.Input + "\" into itself: the source stays as it is");
    return exUsage;
  }
  const std::optional<TParamFileText> file = ReadFile(options.Input);
  if (!file) return exFailed;
  if (!ParameterSetFits(file->Kind, options.Input, options)) return exUsage;
  TOfflineDevice device(options);
  const std::optional<TIniFile> layout = NewLayoutOf(device, *file, options.Input, options);
  if (!layout) return exFailed;
  try {
    layout->SaveToFile(options.Output);
  } catch (const TKalvistError& e) {
    Fail(e.Text);
    return exFailed;
  }
  if (json) {
    PrintJson({{"input", options.Input}, {"output", options.Output}});
  } else {
    std::cout << "Converted " << options.Input << " to " << options.Output << std::endl;
  }
  return exOk;
}

// A whole number as a number, anything else as text.
ordered_json ValueOf(const std::string& text) {
  const std::optional<int64_t> number = TextToInteger(text);
  return number ? ordered_json(*number) : ordered_json(Cp1252ToUtf8(text));
}

ordered_json SectionJson(const TIniFile& ini, std::string_view section) {
  ordered_json values = ordered_json::object();
  for (const std::string& key : ini.Keys(section)) {
    values[Cp1252ToUtf8(key)] = ValueOf(ini.ReadString(section, key, {}));
  }
  return values;
}

int RunShow(const TFileOptions& options, bool json) {
  const TSinkScope sink;
  TOfflineDevice device(options);
  const std::optional<TIniFile> layout = NewLayoutOf(device, options.File, options);
  if (!layout) return exFailed;
  if (json) {
    ordered_json report = {{"identification", SectionJson(*layout, kIdentificationSection)},
                           {"parameters", SectionJson(*layout, kParametersSection)}};
    if (layout->SectionExists(kCylinderSection)) {
      report["cylinder_configuration"] = SectionJson(*layout, kCylinderSection);
    }
    PrintJson(report);
    return exOk;
  }
  for (const std::string& section : layout->Sections()) {
    std::cout << "[" << section << "]\n";
    for (const std::string& key : layout->Keys(section)) {
      std::cout << Cp1252ToUtf8(key) << "=" << Cp1252ToUtf8(layout->ReadString(section, key, {}))
                << "\n";
    }
  }
  std::cout << std::flush;
  return exOk;
}

// --- diff ---

struct TDifference {
  std::string Name;
  std::optional<std::string> A;
  std::optional<std::string> B;
  bool NotReadA = false;  // the controller's side, which the access level could not read
  bool NotReadB = false;
};

std::optional<std::string> Lookup(const TIniFile& ini, std::string_view section,
                                  const std::string& key) {
  if (!ini.ValueExists(section, key)) return std::nullopt;
  return ini.ReadString(section, key, {});
}

// Whole numbers compare by value ("$10" equals "16"), other texts byte by byte.
bool SameValue(const std::optional<std::string>& a, const std::optional<std::string>& b) {
  if (!a || !b) return !a && !b;
  const std::optional<int64_t> x = TextToInteger(*a);
  const std::optional<int64_t> y = TextToInteger(*b);
  return x && y ? *x == *y : *a == *b;
}

std::vector<TDifference> Differences(const TIniFile& a, const TIniFile& b) {
  std::vector<TDifference> differences;
  for (const std::string_view section :
       {kIdentificationSection, kParametersSection, kCylinderSection}) {
    std::vector<std::string> keys = a.Keys(section);
    for (const std::string& key : b.Keys(section)) {
      if (!a.ValueExists(section, key)) keys.push_back(key);
    }
    for (const std::string& key : keys) {
      TDifference d{key, Lookup(a, section, key), Lookup(b, section, key)};
      if (!SameValue(d.A, d.B)) differences.push_back(std::move(d));
    }
  }
  return differences;
}

// A parameter the controller's side could not read is a difference of its own, whatever
// the other side holds: its default says nothing about the controller.
void MarkNotRead(std::vector<TDifference>& differences, const std::vector<std::string>& notRead,
                 const TIniFile& a, const TIniFile& b, bool controllerIsA) {
  const auto unread = [&notRead](const TDifference& d) {
    return std::find(notRead.begin(), notRead.end(), d.Name) != notRead.end();
  };
  std::erase_if(differences, unread);
  for (const std::string& name : notRead) {
    differences.push_back({name, Lookup(a, kParametersSection, name),
                           Lookup(b, kParametersSection, name), controllerIsA, !controllerIsA});
  }
}

void PrintDifferences(const std::vector<TDifference>& differences, bool json) {
  const auto text = [](const std::optional<std::string>& v, bool notRead) {
    if (notRead) return std::string("(not read)");
    return v ? Cp1252ToUtf8(*v) : std::string("(missing)");
  };
  if (!json) {
    for (const TDifference& d : differences) {
      std::cout << Cp1252ToUtf8(d.Name) << ": " << text(d.A, d.NotReadA) << " -> "
                << text(d.B, d.NotReadB) << "\n";
    }
    std::cout << std::flush;
    return;
  }
  ordered_json list = ordered_json::array();
  ordered_json notRead = ordered_json::array();
  for (const TDifference& d : differences) {
    if (d.NotReadA || d.NotReadB) {
      notRead.push_back(Cp1252ToUtf8(d.Name));
      continue;
    }
    list.push_back({{"name", Cp1252ToUtf8(d.Name)},
                    {"a", d.A ? ValueOf(*d.A) : ordered_json(nullptr)},
                    {"b", d.B ? ValueOf(*d.B) : ordered_json(nullptr)}});
  }
  PrintJson({{"equal", differences.empty()}, {"differences", list}, {"not_read", notRead}});
}

int RunDiff(const TFileOptions& options, const TSessionOptions& sessionOptions, bool json) {
  std::unique_ptr<TCliSession> session;
  std::optional<TSinkScope> sink;
  std::optional<TControllerLayout> controller;
  if (options.A == kController || options.B == kController) {
    session = std::make_unique<TCliSession>(sessionOptions);
    // diff's own status: a controller it cannot reach is trouble like a missing file.
    if (session->Open() != exOk) return kDiffTrouble;
    controller = ControllerLayout(*session);
    if (!controller) return kDiffTrouble;
  } else {
    sink.emplace();
  }
  TOfflineDevice device(options);
  const auto side = [&](const std::string& name) -> std::optional<TIniFile> {
    if (name == kController) return NewLayout(controller->Layout);
    return NewLayoutOf(device, name, options);
  };
  const std::optional<TIniFile> a = side(options.A);
  const std::optional<TIniFile> b = a ? side(options.B) : std::nullopt;
  if (!a || !b) return kDiffTrouble;
  std::vector<TDifference> differences = Differences(*a, *b);
  if (controller) MarkNotRead(differences, controller->NotRead, *a, *b, options.A == kController);
  PrintDifferences(differences, json);
  return differences.empty() ? exOk : kDiffDifferent;
}

// --- command line ---

CLI::Option* AddKindOption(CLI::App& command, TFileOptions& options) {
  return command
      .add_option("--kind", options.Kind, "Offline hardware kind: 20, 2 or 3 (default 20)")
      ->check(CLI::IsMember({20, 2, 3}));
}

CLI::Option* AddFirmwareOption(CLI::App& command, TFileOptions& options) {
  return command
      .add_option("--firmware", options.Firmware,
                  "Offline firmware version times ten (default: the newest supported)")
      ->check(CLI::Range(0, 255));
}

// --kind and --firmware choose the parameter set of --offline.
CLI::Option* AddOfflineOptions(CLI::App& command, TFileOptions& options,
                               const std::string& offlineHelp) {
  CLI::Option* offline = command.add_flag("--offline", options.Offline, offlineHelp);
  AddKindOption(command, options)->needs(offline);
  AddFirmwareOption(command, options)->needs(offline);
  return offline;
}

void AddConversionOptions(CLI::App& command, TFileOptions& options) {
  command
      .add_option("--speed", options.Speed,
                  "Engine speed in rpm for a detonation window in the other unit")
      ->check(CLI::Range(kMinWindowSpeed, kMaxWindowSpeed))
      ->capture_default_str();
  command.add_flag("--cancel-conversion", options.CancelConversion,
                   "Refuse to convert a detonation window in the other unit (nothing is loaded)");
}

}  // namespace

bool TFileCommands::Parsed() const {
  return Save->parsed() || Load->parsed() || Convert->parsed() || Show->parsed() || Diff->parsed();
}

TFileCommands AddFileCommands(CLI::App& app, TFileOptions& options) {
  TFileCommands c;
  c.Save = app.add_subcommand(
      "save", "Read the whole configuration and save it (.zrn, .zr2 or .zrp by the controller)");
  c.Save->add_option("file", options.File, "Parameter file")->required();
  AddOfflineOptions(*c.Save, options, "Save the defaults of a parameter set instead");
  c.Save->add_flag("--allow-defaults", options.AllowDefaults,
                   "Save the defaults of parameters the access level cannot read");

  c.Load = app.add_subcommand("load", "Open a parameter file (.zrn, .zr2, .zrp or .p16)");
  c.Load->add_option("file", options.File, "Parameter file")->required();
  CLI::Option* offline = AddOfflineOptions(
      *c.Load, options, "Apply to the program offline and list what would be written");
  AddConversionOptions(*c.Load, options);
  c.Load
      ->add_flag("--dry-run", options.DryRun,
                 "List what the file would change on the controller, and write nothing")
      ->excludes(offline);
  c.Load
      ->add_option("--restore-dir", options.RestoreDir,
                   "Folder of the restore points (the configuration before each load)")
      ->capture_default_str()
      ->excludes(offline);

  c.Convert = app.add_subcommand("convert", "Convert any parameter file to a .zrp file");
  c.Convert->add_option("input", options.Input, "Source file (never changed)")->required();
  c.Convert->add_option("output", options.Output, "The .zrp file to write")->required();
  AddFirmwareOption(*c.Convert, options);  // the parameter set a .p16 file is imported into
  AddConversionOptions(*c.Convert, options);

  c.Show = app.add_subcommand("show", "Show the identification and parameters of a file");
  c.Show->add_option("file", options.File, "Parameter file")->required();

  c.Diff = app.add_subcommand("diff",
                              "Compare two parameter sets: exit 0 equal, 1 different, 2 trouble");
  c.Diff->add_option("a", options.A, "A file, or \"controller\"")->required();
  c.Diff->add_option("b", options.B, "A file, or \"controller\"")->required();
  return c;
}

int RunFileCommand(const TFileCommands& commands, const TFileOptions& options,
                   const TSessionOptions& session, bool json) {
  if (commands.Save->parsed()) return RunSave(options, session, json);
  if (commands.Load->parsed()) return RunLoad(options, session, json);
  if (commands.Convert->parsed()) return RunConvert(options, json);
  if (commands.Show->parsed()) return RunShow(options, json);
  return RunDiff(options, session, json);
}

}  // namespace kalvist::cli
