#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IniFile.h"
#include "KalvistError.h"
#include "ParamFileFixture.h"
#include "ParamFiles.h"

namespace kalvist {
namespace {

using Strings = std::vector<std::string>;

class ParamFilesTest : public test::ParamFileFixture {
 protected:
  // Every catalogue entry as (name, value text), in catalogue order.
  std::vector<std::pair<std::string, std::string>> Catalogue() {
    std::vector<std::pair<std::string, std::string>> values;
    for (int i = 0; i < zarno->Params().Count(); ++i) {
      const TZarnoParam& entry = zarno->Params().Items(i);
      values.emplace_back(entry.Name, entry.Value().AsString());
    }
    return values;
  }

  // A distinct value in every entry, so that a round trip shows each one.
  void FillCatalogue() {
    for (int i = 0; i < zarno->Params().Count(); ++i) {
      const TZarnoParam& entry = zarno->Params().Items(i);
      const TValue value =
          entry.Size() <= 4 ? TValue((i * 37 + 11) & 0xFF) : TValue("T" + std::to_string(i));
      zarno->SetValue(entry.ObjectID, value);
    }
    TZarno::TFiringTable toChannel{};
    TZarno::TFiringTable toCylinder{};
    for (size_t i = 0; i < toChannel.size(); ++i) {
      toChannel[i] = static_cast<uint8_t>(i);
      toCylinder[i] = static_cast<uint8_t>(19 - i);
    }
    zarno->SetFiringToChannel(toChannel);
    zarno->SetFiringToCylinder(toCylinder);
  }

  static std::string Head(const std::string& text, const std::string& prefix) {
    return text.substr(0, prefix.size());
  }

  static std::string Zrp(const std::string& identification, const std::string& parameters) {
    return "[identification]\r\n" + identification + "[parameters]\r\n" + parameters;
  }
};

TEST_F(ParamFilesTest, FormatExtensionAndFiltersFollowKindAndFirmware) {
  struct Case {
    uint8_t mode;
    int32_t version;
    uint8_t format;
    const char* extension;
  };
  const Case cases[] = {{0, 19, 1, ".zrn"}, {0, 24, 1, ".zrn"}, {0, 25, 0, ".zrp"},
                        {1, 12, 2, ".zr2"}, {1, 13, 0, ".zrp"}, {2, 0, 0, ".zrp"}};
  for (const Case& c : cases) {
    zarno->SetZarnoMode(c.mode);
    zarno->SetOfflineSWversion(c.version);
    EXPECT_EQ(zarno->GetSaveFileFormat(), c.format) << int(c.mode) << " " << c.version;
    EXPECT_EQ(SaveFileExtension(c.format), c.extension);
    EXPECT_EQ(SaveFileFilter(c.format),
              std::string("parameter file (*") + c.extension + ")|*" + c.extension);
  }
  zarno->SetZarnoMode(3);
  EXPECT_THROW(zarno->GetSaveFileFormat(), TKalvistError);

  EXPECT_EQ(OpenFileFilter(false, 2),
            "parameter files (*.zrn;*.zr2;*.zrp)|*.zrn;*.zr2;*.zrp|parameters (*.p16)|*.p16");
  EXPECT_EQ(OpenFileFilter(true, 0), "parameter files (*.zrn;*.zrp)|*.zrn;*.zrp");
  EXPECT_EQ(OpenFileFilter(true, 1), "parameter files (*.zr2;*.zrp)|*.zr2;*.zrp");
  try {
    OpenFileFilter(true, 2);
    ADD_FAILURE() << "no filter in mode 2";
  } catch (const TKalvistError& e) {
    EXPECT_EQ(e.Text, "TmSetUp.actOpenParamFileExecute - undefined mode");
  }
  EXPECT_EQ(FileExtension("dir.v2/Name.ZRP"), ".zrp");
  EXPECT_EQ(FileExtension("dir.v2/name"), "");
}

TEST_F(ParamFilesTest, SavedSectionsFollowTheFormat) {
  zarno->SetOfflineSWversion(24);
  const TIniFile zrn = zarno->SaveToIni(zarno->GetSaveFileFormat());
  EXPECT_EQ(zrn.Sections(), Strings{"parameters"});
  EXPECT_EQ(zrn.Keys("parameters").size(), 18u + 20u + 20u);  // base, angles, gains
  const std::string zrnHead = "[parameters]\r\nUsedSensors=1048575\r\nWindowDelay=1000\r\n";
  EXPECT_EQ(Head(zrn.ToText(), zrnHead), zrnHead);
  EXPECT_EQ(zrn.ReadString("parameters", "IgnitionReduction Limit", "-"), "76");

  zarno->SetZarnoMode(1);
  zarno->SetOfflineSWversion(12);
  EXPECT_EQ(zarno->SaveToIni(zarno->GetSaveFileFormat()).Sections(), Strings{"parameters2"});

  zarno->SetZarnoMode(2);
  zarno->SetOfflineSWversion(0);
  const TIniFile zrp = zarno->SaveToIni(zarno->GetSaveFileFormat());
  EXPECT_EQ(zrp.Sections(), (Strings{"identification", "parameters", "CylinderConfiguration"}));
  const std::string zrpHead =
      "[identification]\r\nFileVersion=0\r\nHWType=2\r\nSWVersion=0\r\n[parameters]\r\n";
  EXPECT_EQ(Head(zrp.ToText(), zrpHead), zrpHead);
  const Strings cylinderKeys = zrp.Keys("CylinderConfiguration");
  ASSERT_EQ(cylinderKeys.size(), 40u);
  EXPECT_EQ(cylinderKeys.front(), "FiringToChannelItem1");
  EXPECT_EQ(cylinderKeys[20], "FiringToCylinderItem1");
  EXPECT_EQ(zrp.ReadString("CylinderConfiguration", "FiringToCylinderItem20", ""), "255");
}

TEST_F(ParamFilesTest, AFailedSaveSaysWhy) {
  const std::string path = (folder / "no-such-folder" / "p.zrn").string();
  EXPECT_FALSE(zarno->SaveToFile(path));
  EXPECT_EQ(Messages(),
            Strings{"Error: Cannot save file \"" + path + "\": " + SaveFailure(path)});
}

TEST_F(ParamFilesTest, RenameSectionMovesKeysInOrderOverSameNamedOnes) {
  TIniFile ini = TIniFile::FromText("[to]\nB=old\nkeep=1\n[from]\nA=1\nb=2\nC='3'\n");
  RenameSection(ini, "FROM", "To");
  EXPECT_EQ(ini.Sections(), Strings{"to"});
  EXPECT_EQ(ini.Keys("to"), (Strings{"B", "keep", "A", "C"}));
  EXPECT_EQ(ini.ReadString("to", "b", ""), "2");
  EXPECT_EQ(ini.ReadString("to", "c", ""), "3");
  RenameSection(ini, "to", "TO");  // the same section: nothing to move, nothing erased
  EXPECT_EQ(ini.Keys("to").size(), 4u);
}

// Saved from one device object, loaded into a fresh one offline: the file brings the
// kind and firmware (old formats the version their layout implies) and every value.
TEST_F(ParamFilesTest, SavedFilesLoadBackIntoAFreshDevice) {
  struct Case {
    uint8_t mode;
    int32_t version;
    const char* extension;
    int32_t loadedVersion;
  };
  const Case cases[] = {{0, 19, ".zrn", 19}, {0, 23, ".zrn", 24}, {0, 25, ".zrp", 25},
                        {0, 26, ".zrp", 26}, {1, 11, ".zr2", 12}, {1, 13, ".zrp", 13},
                        {1, 14, ".zrp", 14}, {2, 0, ".zrp", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << int(c.mode) << " version " << c.version);
    Recreate();
    zarno->SetZarnoMode(c.mode);
    zarno->SetOfflineSWversion(c.version);
    FillCatalogue();
    const auto saved = Catalogue();
    const auto toChannel = zarno->GetFiringToChannel();
    const std::string path = (folder / (std::string("p") + c.extension)).string();
    ASSERT_EQ(SaveFileExtension(zarno->GetSaveFileFormat()), c.extension);
    ASSERT_TRUE(zarno->SaveToFile(path));

    Recreate();
    ASSERT_EQ(Load(path), TParamFileResult::Loaded);
    EXPECT_EQ(zarno->ZarnoMode(), c.mode);
    EXPECT_EQ(zarno->SwVersion(), c.loadedVersion);
    EXPECT_EQ(Catalogue(), saved);
    EXPECT_EQ(zarno->GetFiringToChannel() == toChannel, c.mode == 2);
    // The filled values are arbitrary: outside the pages' ranges, never beyond their objects.
    for (const std::string& m : Messages()) EXPECT_EQ(m.substr(0, 9), "Warning: ") << m;
    sink.messages.clear();
  }
}

TEST_F(ParamFilesTest, RefusedFilesLoadNothing) {
  struct Case {
    std::string text;  // written to "bad.zrp"; empty: the path as it is
    std::string path;
    std::string message;
  };
  const std::string bad = (folder / "bad.zrp").string();
  const std::string missing = (folder / "missing.zrp").string();
  const std::string invalid = "Invalid parameters file: \"" + bad + "\"";
  const std::string ident = "FileVersion=0\r\nSWVersion=13\r\n";
  const std::string good = "CANAddress=77\r\n";
  const Case cases[] = {
      {"[parameters]\r\n" + good, bad, invalid},
      {"[identification]\r\nFileVersion=0\r\nHWType=1\r\nSWVersion=13\r\n", bad, invalid},
      {Zrp(ident, good), bad, invalid},  // no HWType
      {Zrp("FileVersion=1\r\nHWType=1\r\nSWVersion=13\r\n", good), bad,
       "Parameters file was created by newer version of Kalvist"},
      {Zrp(ident + "HWType=3\r\n", good), bad,
       "Parameters file is for unknown hardware (HWType 3)"},
      {Zrp(ident + "HWType=-1\r\n", good), bad,
       "Parameters file is for unknown hardware (HWType -1)"},
      {Zrp(ident + "HWType=$100\r\n", good), bad,
       "Parameters file is for unknown hardware (HWType 256)"},
      {"", Data("garbage.zrp"), "Invalid parameters file: \"" + Data("garbage.zrp") + "\""},
      {"", Data("truncated.zrp"), "Invalid parameters file: \"" + Data("truncated.zrp") + "\""},
      {"", missing, "Cannot read file \"" + missing + "\": " + ReadFailure(missing)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    if (!c.text.empty()) WriteFile("bad.zrp", c.text);
    sink.messages.clear();
    EXPECT_EQ(Load(c.path), TParamFileResult::Failed);
    EXPECT_EQ(Messages(), Strings{"Error: " + c.message});
    EXPECT_EQ(zarno->ZarnoMode(), 0);
    EXPECT_EQ(zarno->SwVersion(), 0);
    EXPECT_EQ(Value("CANAddress"), "1");
  }
}

// Nothing of a file with a value its object cannot hold is applied or written; every such
// value is named. Values outside the pages' valid range are applied, with a warning.
TEST_F(ParamFilesTest, ValuesTheirObjectsCannotHoldRefuseTheWholeFile) {
  struct Case {
    const char* name;
    std::string parameters;
    TParamFileResult result;
    Strings messages;  // "@" stands for the file's path
  };
  const Case cases[] = {
      {"wrapping and fractions",
       "WindowWidth=1700\r\nUsedSensors=4294967296\r\nWindowDelay=abc\r\nCANAddress=256\r\n"
       "CylinderCount=2.5\r\nSetpointsIDName=ABCDEFGHIJKLMNOP\r\n",
       TParamFileResult::Failed,
       {"Error: Parameters file \"@\" is refused, its values do not fit their objects: "
        "UsedSensors=4294967296 (does not fit 0..4294967295); WindowDelay=abc (not a number; "
        "fits 0..65535); CylinderCount=2.5 (not a whole number; fits 0..255); CANAddress=256 "
        "(does not fit 0..255); SetpointsIDName=ABCDEFGHIJKLMNOP (longer than 15 characters)"}},
      {"negative",
       "Attenuation=-1\r\nWindowWidth=1700\r\n",
       TParamFileResult::Failed,
       {"Error: Parameters file \"@\" is refused, its values do not fit their objects: "
        "Attenuation=-1 (does not fit 0..65535)"}},
      {"odd but possible",
       "WindowWidth=1700\r\nCylinderCount=1\r\nGain3=301\r\n",
       TParamFileResult::Loaded,
       {"Warning: Parameters file \"@\" holds values outside the valid range of the "
        "configuration pages: WindowWidth=1700 (outside the valid range 0..600); "
        "CylinderCount=1 (outside the valid range 2..20); Gain3=301 (outside the valid range "
        "0..300)"}},
  };
  for (const bool connected : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (connected ? ", connected" : ", offline"));
      if (connected) LogIn(0x13, 25);
      const size_t sent = link->sent.size();
      const std::string widthBefore = Value("WindowWidth");
      const std::string path =
          WriteFile("p.zrp", Zrp("FileVersion=0\r\nHWType=0\r\nSWVersion=25\r\n", c.parameters));
      EXPECT_EQ(Load(path), c.result);
      Strings expected;
      for (std::string m : c.messages) expected.push_back(m.replace(m.find('@'), 1, path));
      EXPECT_EQ(Messages(), expected);
      const bool loaded = c.result == TParamFileResult::Loaded;
      EXPECT_EQ(Value("WindowWidth"), loaded ? "1700" : widthBefore);
      EXPECT_EQ(WrittenIds(sent).empty(), !(connected && loaded));
      EXPECT_FALSE(zarno->Loading);
      sink.messages.clear();
      if (connected) zarno->Disconnect();
    }
  }
}

TEST_F(ParamFilesTest, OddButReadableFilesLoadByTheReadingRules) {
  const std::string megabyte(1024 * 1024, 'N');
  const std::string path = WriteFile(
      "p.zrp",
      "[Identification]\nfileversion=0\nHWTYPE=zero\nSWVersion=0x19\n"
      "[PARAMETERS]\ncanaddress=5\nCANAddress=6\nSetpointsIDName=" +
          std::string(15, 'N') + "\n" + megabyte + "\nUnknownKey=1\n[parameters]\nBusSpeed=125\n");
  EXPECT_EQ(Load(path), TParamFileResult::Loaded);
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_EQ(zarno->ZarnoMode(), 0);     // a type that is no number reads as 0
  EXPECT_EQ(zarno->SwVersion(), 25);    // hexadecimal
  EXPECT_EQ(Value("CANAddress"), "5");  // the first of duplicate keys
  EXPECT_EQ(Value("BusSpeed"), "125");  // a repeated section adds its keys
  EXPECT_EQ(Value("SetpointsIDName"), std::string(15, 'N'));
}

// The four known extensions decide the reading; any other is read by its content.
TEST_F(ParamFilesTest, AFileIsReadByItsExtensionOrElseByItsContent) {
  const std::string zrp = Zrp("FileVersion=0\r\nHWType=0\r\nSWVersion=24\r\n", "CANAddress=5\r\n");
  const std::string old = "[parameters]\r\nCANAddress=5\r\n";
  const std::string partial = "[identification]\r\nHWType=0\r\n" + old;
  struct Case {
    const char* name;
    std::string content;
    TParamFileKind kind;
  };
  const Case cases[] = {
      {"p.zrp", old, TParamFileKind::NewLayout},  // refused later for what it lacks
      {"p.zrn", zrp, TParamFileKind::OldLayout},  // its identification is replaced
      {"p.zr2", zrp, TParamFileKind::OldLayout},     {"p.p16", "1\r\n", TParamFileKind::P16},
      {"p.txt", zrp, TParamFileKind::NewLayout},     {"p", zrp, TParamFileKind::NewLayout},
      {"p.ZRP.bak", zrp, TParamFileKind::NewLayout}, {"p.txt", old, TParamFileKind::OldLayout},
      {"p.ini", partial, TParamFileKind::OldLayout},  // no complete identification
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.content);
    const std::string path = WriteFile(c.name, c.content);
    const TParamFileText file = ReadParamFileText(path);
    EXPECT_EQ(file.Kind, c.kind);
    EXPECT_EQ(file.Text, c.content);
  }
  // A ".zrp" under another name keeps its window values: no second conversion.
  const std::string renamed = WriteFile(
      "renamed.txt", Zrp("FileVersion=0\r\nHWType=0\r\nSWVersion=19\r\n", "WindowDelay=250\r\n"));
  EXPECT_EQ(Load(renamed), TParamFileResult::Loaded);
  EXPECT_EQ(zarno->SwVersion(), 19);
  EXPECT_EQ(Value("WindowDelay"), "250");
}

// What is no text, or a ".p16" without one value line, is no parameter file: it changes
// nothing, not even the offline parameter set.
TEST_F(ParamFilesTest, AFileThatIsNoTextChangesNothing) {
  struct Case {
    const char* name;
    std::string content;
    std::string reason;
  };
  const Case cases[] = {
      {"p.p16", std::string("12\r\n\x00\x01", 6), "it is no text (byte 0x00 at offset 4)"},
      {"q.p16", "x\r\n256\r\n-1\r\n\r\n", "no line holds a number 0..255"},
      {"p.zrn", "[parameters]\r\nSwitches=0\x02\r\n", "it is no text (byte 0x02 at offset 24)"},
      {"p.dat", "\x7f\x45\x4c\x46\x02", "it is no text (byte 0x7F at offset 0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = WriteFile(c.name, c.content);
    EXPECT_EQ(Load(path), TParamFileResult::Failed);
    EXPECT_EQ(Messages(),
              Strings{"Error: Cannot read parameters file \"" + path + "\": " + c.reason});
    EXPECT_EQ(zarno->NumMaxChannels, 20);
    EXPECT_EQ(Value("Switches"), "1");
    sink.messages.clear();
  }
  // Tabs and line ends are text.
  EXPECT_EQ(ReadParamFileText(WriteFile("t.p16", "\t1\r\n2\n")).Kind, TParamFileKind::P16);
}

TEST_F(ParamFilesTest, OldFilesAreConvertedInMemoryByTheirLayout) {
  struct Case {
    const char* file;
    uint8_t mode;
    int32_t version;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"zarno20-fw19.zrn", 0, 19, "CANAddress", "5"},
      {"zarno20-fw24.zrn", 0, 24, "Gain1", "101"},
      {"zarno2-fw12.zr2", 1, 12, "SelectSensors", "3"},
      {"zrp-layout.zrn", 0, 19, "CANAddress", "5"},  // its own identification says 1, 13
  };
  int refreshes = 0;
  int offlineShown = 0;
  hooks.RefreshForDevice = [&] { ++refreshes; };
  hooks.ShowOfflineDevice = [&] { ++offlineShown; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Recreate();
    const std::string before = Slurp(Data(c.file));
    refreshes = offlineShown = 0;
    EXPECT_EQ(Load(Data(c.file)), TParamFileResult::Loaded);
    EXPECT_EQ(zarno->ZarnoMode(), c.mode);
    EXPECT_EQ(zarno->SwVersion(), c.version);
    EXPECT_EQ(Value(c.key), c.value);
    EXPECT_EQ(Value("WindowDelay"), "1200");
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(offlineShown, 1);
    EXPECT_EQ(Slurp(Data(c.file)), before);
  }
  EXPECT_EQ(Value("Gain1"), "<absent>");  // firmware 1.9 has no gains

  Recreate();
  refreshes = offlineShown = 0;
  EXPECT_EQ(Load(Data("zarno3.zrp")), TParamFileResult::Loaded);
  EXPECT_EQ(refreshes, 0);
  EXPECT_EQ(offlineShown, 1);
}

TEST_F(ParamFilesTest, OfflineTheFileSwitchesKindAndFirmwareBeforeItsValues) {
  std::vector<std::string> seen;
  hooks.SelectOfflineVersion = [&](int32_t version) {
    seen.push_back(std::to_string(zarno->ZarnoMode()) + " " + std::to_string(version) + " " +
                   Value("CANAddress"));
    zarno->SetOfflineSWversion(version);
  };
  EXPECT_EQ(Load(Data("zrp-layout.zrn")), TParamFileResult::Loaded);  // CANAddress 5
  const std::string path =
      WriteFile("p.zrp", Zrp("FileVersion=0\r\nHWType=1\r\nSWVersion=13\r\n", "CANAddress=7\r\n"));
  EXPECT_EQ(Load(path), TParamFileResult::Loaded);
  EXPECT_EQ(seen, (Strings{"0 19 1", "1 13 5"}));
  EXPECT_EQ(zarno->ZarnoMode(), 1);
  EXPECT_EQ(zarno->SwVersion(), 13);
  EXPECT_EQ(Value("CANAddress"), "7");
  EXPECT_TRUE(zarno->HasParam(idSetpointsIdName));
}

TEST_F(ParamFilesTest, ConnectedTheFileMustSuitHardwareAndAccessLevel) {
  const std::string withSwitches = WriteFile(
      "s.zrp",
      Zrp("FileVersion=0\r\nHWType=0\r\nSWVersion=25\r\n", "Switches=1\r\nWindowDelay=250\r\n"));
  const std::string withoutSwitches = WriteFile(
      "w.zrp", Zrp("FileVersion=0\r\nHWType=0\r\nSWVersion=25\r\n", "WindowDelay=250\r\n"));
  const std::string otherKind = WriteFile(
      "k.zrp", Zrp("FileVersion=0\r\nHWType=1\r\nSWVersion=25\r\n", "WindowDelay=250\r\n"));

  LogIn(0x13, 25, 2);  // operator
  const size_t sent = link->sent.size();
  const std::string delayBefore = Value("WindowDelay");
  EXPECT_EQ(Load(withSwitches), TParamFileResult::Failed);
  EXPECT_EQ(Load(otherKind), TParamFileResult::Failed);
  EXPECT_EQ(Messages(),
            (Strings{"Error: Cannot write parameters file because some parameters required "
                     "administrator access level.\r\nYou have only operator access level.",
                     "Error: Parameters file is for diferent version of hardware"}));
  EXPECT_TRUE(WrittenIds(sent).empty());
  EXPECT_EQ(Value("WindowDelay"), delayBefore);

  EXPECT_EQ(Load(withoutSwitches), TParamFileResult::Loaded);
  EXPECT_EQ(WrittenIds(sent), std::vector<uint16_t>{idWindowDelay});
  EXPECT_EQ(Value("WindowDelay"), "250");
}

// The file's access level covers the writes of the load only: an ordinary edit later
// needs its own level again, also after a load that sent nothing (offline).
TEST_F(ParamFilesTest, FileAccessLevelDoesNotOutliveTheLoad) {
  const std::string path = WriteFile(
      "w.zrp", Zrp("FileVersion=0\r\nHWType=0\r\nSWVersion=25\r\n", "WindowDelay=250\r\n"));
  ASSERT_EQ(Load(path), TParamFileResult::Loaded);  // offline, with the access checks' flags
  LogIn(0x13, 25, 2);                               // operator
  const size_t sent = link->sent.size();
  zarno->SetValue(idWindowDelay, TValue(300));
  Pump();
  EXPECT_TRUE(WrittenIds(sent).empty());

  ASSERT_EQ(Load(path), TParamFileResult::Loaded);
  zarno->SetValue(idWindowDelay, TValue(310));
  Pump();
  EXPECT_EQ(WrittenIds(sent), std::vector<uint16_t>{idWindowDelay});  // the load's alone
  for (int i = 0; i < zarno->Params().Count(); ++i) {
    EXPECT_FALSE(zarno->Params().Items(i).LoadedFromFile) << zarno->Params().Items(i).Name;
  }
}

TEST_F(ParamFilesTest, FrequenciesOutsideTheConnectedRangeAreClampedWithANotice) {
  LogIn(0x13, 23);
  const std::string path =
      WriteFile("f.zrp", Zrp("FileVersion=0\r\nHWType=0\r\nSWVersion=25\r\n",
                             "KnockFilterFrequency=15070\r\nRefFilterFrequency=305\r\n"));
  const size_t sent = link->sent.size();
  EXPECT_EQ(Load(path), TParamFileResult::Loaded);
  EXPECT_EQ(information,
            (Strings{"Knocking frequency range for curently connected device is 1220 Hz to 10120 "
                     "Hz.\r\nLoaded frequency is 15070 Hz and will be adjusted to 10120 Hz",
                     "Reference frequency range for curently connected device is 1220 Hz to 10120 "
                     "Hz.\r\nLoaded frequency is 305 Hz and will be adjusted to 1220 Hz"}));
  EXPECT_EQ(Value("KnockFilterFrequency"), "10120");
  EXPECT_EQ(Value("RefFilterFrequency"), "1220");
  EXPECT_EQ(WrittenIds(sent),
            (std::vector<uint16_t>{idKnockFilterFrequency, idRefFilterFrequency}));
  EXPECT_TRUE(requests.empty());  // no window in the file, nothing to convert
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ParamFilesTest, WindowOfTheOtherUnitIsConvertedOrTheLoadCancelled) {
  struct Case {
    uint8_t kindByte, firmware;
    int32_t fileVersion;
    const char* switches;
    TWindowDirection direction;
    TWindowPair source;
    TWindowPair converted;
    int32_t maxDelayDegrees;
  };
  const Case cases[] = {
      {0x13, 25, 23, "0", TWindowDirection::MicrosecondsToDegrees, {1000, 2222}, {90, 200}, 60},
      {0x13, 24, 25, "1", TWindowDirection::DegreesToMicroseconds, {200, 300}, {2222, 3333}, 60},
      {0x21, 13, 12, "1", TWindowDirection::MicrosecondsToDegrees, {1000, 9000}, {90, 600}, 60},
  };
  decision = ConvertAtSpeed(1500);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.kindByte) << " " << int(c.firmware));
    Recreate();
    requests.clear();
    LogIn(c.kindByte, c.firmware);
    const std::string path = WriteFile(
        "w.zrp", Zrp("FileVersion=0\r\nHWType=" + std::to_string(zarno->ZarnoMode()) +
                         "\r\nSWVersion=" + std::to_string(c.fileVersion) + "\r\n",
                     "WindowDelay=" + std::to_string(c.source.Delay) + "\r\nWindowWidth=" +
                         std::to_string(c.source.Width) + "\r\nSwitches=" + c.switches + "\r\n"));
    EXPECT_EQ(Load(path), TParamFileResult::Loaded);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Direction, c.direction);
    EXPECT_EQ(requests[0].Source, c.source);
    EXPECT_EQ(requests[0].FourStroke, std::string(c.switches) == "1");
    EXPECT_EQ(requests[0].Speed, 1500);
    EXPECT_EQ(requests[0].Limits.MaxDelayDegrees, c.maxDelayDegrees);
    EXPECT_EQ(requests[0].Limits.MaxWidthDegrees, 60);
    EXPECT_EQ(requests[0].Limits.MaxDelayMicroseconds, 65535);
    EXPECT_EQ(Value("WindowDelay"), std::to_string(c.converted.Delay));
    EXPECT_EQ(Value("WindowWidth"), std::to_string(c.converted.Width));
  }

  // Cancelled: nothing of the file, no message. The third kind never converts.
  Recreate();
  requests.clear();
  decision = nullptr;
  LogIn(0x13, 25);
  const size_t sent = link->sent.size();
  const std::string microseconds = WriteFile(
      "m.zrp",
      Zrp("FileVersion=0\r\nHWType=0\r\nSWVersion=24\r\n", "CANAddress=9\r\nWindowWidth=2000\r\n"));
  EXPECT_EQ(Load(microseconds), TParamFileResult::Cancelled);
  EXPECT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Source, (TWindowPair{1000, 2000}));  // the delay's default
  EXPECT_TRUE(WrittenIds(sent).empty());
  EXPECT_EQ(Value("CANAddress"), "1");
  EXPECT_TRUE(sink.messages.empty());

  Recreate();
  requests.clear();
  LogIn(0x6C, 0);
  const std::string third = WriteFile(
      "t.zrp", Zrp("FileVersion=0\r\nHWType=2\r\nSWVersion=25\r\n", "WindowDelay=1000\r\n"));
  EXPECT_EQ(Load(third), TParamFileResult::Loaded);
  EXPECT_TRUE(requests.empty());
  EXPECT_EQ(Value("WindowDelay"), "1000");
}

TEST_F(ParamFilesTest, CylinderConfigurationIsLoadedAndWrittenInModeTwo) {
  LogIn(0x6C, 0);
  std::string table;
  for (int i = 1; i <= 20; ++i) {
    if (i != 2)
      table += "FiringToChannelItem" + std::to_string(i) + "=" + std::to_string(i - 1) + "\r\n";
    table += "FiringToCylinderItem" + std::to_string(i) + "=" + (i == 5 ? "300" : "7") + "\r\n";
  }
  const std::string path =
      WriteFile("c.zrp", Zrp("FileVersion=0\r\nHWType=2\r\nSWVersion=0\r\n", "CANAddress=9\r\n") +
                             "[CylinderConfiguration]\r\n" + table);
  const size_t sent = link->sent.size();
  EXPECT_EQ(Load(path), TParamFileResult::Loaded);
  const auto toChannel = zarno->GetFiringToChannel();
  const auto toCylinder = zarno->GetFiringToCylinder();
  EXPECT_EQ(toChannel[0], 0);
  EXPECT_EQ(toChannel[1], 255);  // missing
  EXPECT_EQ(toChannel[19], 19);
  EXPECT_EQ(toCylinder[3], 7);
  EXPECT_EQ(toCylinder[4], 255);  // no byte
  EXPECT_EQ(WrittenIds(sent), (std::vector<uint16_t>{idCANAddress, idCylinderConfiguration}));
}

}  // namespace
}  // namespace kalvist
