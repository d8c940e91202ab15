#include "FileCommands.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <vector>

#include "CliOutput.h"
#include "DeviceVersionCheck.h"
#include "IniFile.h"
#include "KalvistError.h"
#include "MessageThread.h"
#include "ParamFiles.h"
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

void PrintJson(const ordered_json& json) {
  std::cout << json.dump() << std::endl;
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
    const uint8_t mode = options.Kind == 2 ? 1 : options.Kind == 3 ? 2 : 0;
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

// Any parameter file as the new layout; old layouts are converted, a ".p16" file is
// imported into the offline device object. Nothing (and a message) when it cannot be.
std::optional<TIniFile> NewLayoutOf(TOfflineDevice& device, const std::string& fileName,
                                    const TFileOptions& options) {
  const TParamFileHooks hooks = Hooks(options);
  const std::string extension = FileExtension(fileName);
  if (extension == ".p16") {
    if (LoadParamFile(device.Zarno(), fileName, hooks) != TParamFileResult::Loaded) {
      return std::nullopt;
    }
    return device.Zarno().SaveToIni(0);
  }
  try {
    TIniFile ini = TIniFile::LoadFromFile(fileName);
    if (extension != ".zrp") ConvertOldFile(ini);
    if (const std::optional<std::string> refusal = CheckParamFile(ini, hooks.ProgramTitle)) {
      Fail(*refusal);
      return std::nullopt;
    }
    return NewLayout(ini);
  } catch (const TKalvistError& e) {
    Fail(e.Text);
    return std::nullopt;
  }
}

// Reads every parameter the access level lets through and takes them as a file.
std::optional<TIniFile> ControllerLayout(TCliSession& session) {
  TZarno& zarno = session.Zarno();
  session.ForgetResults();
  zarno.ReadAllParameters();
  if (!session.Settle(zarno.Params().Count() + 4)) {
    if (zarno.IsConnected()) Fail("The controller did not finish in time");
    return std::nullopt;
  }
  int unread = 0;
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    if (session.ReadResult(zarno.Params().Items(i).ObjectID) != 0) ++unread;
  }
  if (unread > 0) {
    ShowMessageAsync(std::to_string(unread) +
                         " parameters could not be read at the current access level; their "
                         "defaults are taken",
                     0, mkWarning);
  }
  return zarno.SaveToIni(0);
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
  if (!ControllerLayout(session)) return exFailed;
  return SaveFile(session.Zarno(), options.File, json);
}

// --- load ---

bool HasCylinderConfiguration(const TZarno& zarno, const std::string& fileName) {
  if (zarno.ZarnoMode() != 2 || FileExtension(fileName) == ".p16") return false;
  try {
    return TIniFile::LoadFromFile(fileName).SectionExists(kCylinderSection);
  } catch (const TKalvistError&) {
    return false;
  }
}

// What the load applied, in catalogue order: the entries it changed or wrote, and the
// cylinder configuration when the file brought one.
void PrintApplied(TZarno& zarno, const std::set<uint16_t>& applied, bool cylinders, bool offline,
                  bool json) {
  ordered_json values = ordered_json::object();
  if (offline && !json) {
    std::cout << "Parameter set: " << DeviceTypeName(zarno.ZarnoMode()) << " firmware "
              << FirmwareText(zarno.SwVersion()) << "\n";
  }
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    const TZarnoParam& entry = zarno.Params().Items(i);
    if (!applied.count(entry.ObjectID)) continue;
    if (json) {
      values[entry.Name] = ValueJson(entry.Value());
    } else {
      std::cout << entry.Name << "=" << ValueText(entry.Value()) << "\n";
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
    if (cylinders) report["cylinder_configuration"] = table;
    PrintJson(report);
  }
  std::cout << std::flush;
}

int LoadInto(TZarno& zarno, const TFileOptions& options, TCliSession* session, bool json) {
  std::set<uint16_t> applied;
  zarno.OnObjectChanged = [&applied](TZarno&, uint16_t id) { applied.insert(id); };
  const TParamFileResult result = LoadParamFile(zarno, options.File, Hooks(options));
  zarno.OnObjectChanged = nullptr;
  // What was queued before a failure still goes out, as in the program.
  if (session && !session->Settle(static_cast<int>(zarno.Queue().Count()) + 2)) {
    if (zarno.IsConnected()) Fail("The controller did not finish in time");
    return exFailed;
  }
  if (result == TParamFileResult::Cancelled) {
    Fail("Detonation window conversion cancelled: nothing was loaded");
    return exFailed;
  }
  if (result == TParamFileResult::Failed) return exFailed;
  PrintApplied(zarno, applied, HasCylinderConfiguration(zarno, options.File), !session, json);
  return exOk;
}

int RunLoad(const TFileOptions& options, const TSessionOptions& sessionOptions, bool json) {
  if (options.Offline) {
    const TSinkScope sink;
    TOfflineDevice device(options);
    return LoadInto(device.Zarno(), options, nullptr, json);
  }
  TCliSession session(sessionOptions);
  if (const int opened = session.Open(); opened != exOk) return opened;
  if (!session.Zarno().PasswordOK()) {
    Fail("Loading parameters into the controller needs an accepted password (--password)");
    return exFailed;
  }
  return LoadInto(session.Zarno(), options, &session, json);
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
  TOfflineDevice device(options);
  const std::optional<TIniFile> layout = NewLayoutOf(device, options.Input, options);
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

void PrintDifferences(const std::vector<TDifference>& differences, bool json) {
  const auto text = [](const std::optional<std::string>& v) {
    return v ? Cp1252ToUtf8(*v) : std::string("(missing)");
  };
  if (!json) {
    for (const TDifference& d : differences) {
      std::cout << Cp1252ToUtf8(d.Name) << ": " << text(d.A) << " -> " << text(d.B) << "\n";
    }
    std::cout << std::flush;
    return;
  }
  ordered_json list = ordered_json::array();
  for (const TDifference& d : differences) {
    list.push_back({{"name", Cp1252ToUtf8(d.Name)},
                    {"a", d.A ? ValueOf(*d.A) : ordered_json(nullptr)},
                    {"b", d.B ? ValueOf(*d.B) : ordered_json(nullptr)}});
  }
  PrintJson({{"equal", differences.empty()}, {"differences", list}});
}

int RunDiff(const TFileOptions& options, const TSessionOptions& sessionOptions, bool json) {
  std::unique_ptr<TCliSession> session;
  std::optional<TSinkScope> sink;
  std::optional<TIniFile> controller;
  if (options.A == kController || options.B == kController) {
    session = std::make_unique<TCliSession>(sessionOptions);
    if (const int opened = session->Open(); opened != exOk) {
      return opened == exNoDevice ? exNoDevice : kDiffTrouble;
    }
    controller = ControllerLayout(*session);
    if (!controller) return kDiffTrouble;
  } else {
    sink.emplace();
  }
  TOfflineDevice device(options);
  const auto side = [&](const std::string& name) -> std::optional<TIniFile> {
    if (name == kController) return NewLayout(*controller);
    return NewLayoutOf(device, name, options);
  };
  const std::optional<TIniFile> a = side(options.A);
  const std::optional<TIniFile> b = a ? side(options.B) : std::nullopt;
  if (!a || !b) return kDiffTrouble;
  const std::vector<TDifference> differences = Differences(*a, *b);
  PrintDifferences(differences, json);
  return differences.empty() ? exOk : kDiffDifferent;
}

// --- command line ---

CLI::Option* AddKindOption(CLI::App& command, TFileOptions& options) {
  return command.add_option("--kind", options.Kind, "Offline hardware kind: 20, 2 or 3")
      ->check(CLI::IsMember({20, 2, 3}))
      ->capture_default_str();
}

CLI::Option* AddFirmwareOption(CLI::App& command, TFileOptions& options) {
  return command
      .add_option("--firmware", options.Firmware,
                  "Offline firmware version times ten (default: the newest supported)")
      ->check(CLI::Range(0, 255));
}

// --kind and --firmware choose the parameter set of --offline.
void AddOfflineOptions(CLI::App& command, TFileOptions& options, const std::string& offlineHelp) {
  CLI::Option* offline = command.add_flag("--offline", options.Offline, offlineHelp);
  AddKindOption(command, options)->needs(offline);
  AddFirmwareOption(command, options)->needs(offline);
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

  c.Load = app.add_subcommand("load", "Open a parameter file (.zrn, .zr2, .zrp or .p16)");
  c.Load->add_option("file", options.File, "Parameter file")->required();
  AddOfflineOptions(*c.Load, options,
                    "Apply to the program offline and list what would be written");
  AddConversionOptions(*c.Load, options);

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
