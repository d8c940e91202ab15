// Parameter files end to end: the device object over the real link against the
// simulated controller, and kalvist-cli's file commands.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "EventLoop.h"
#include "IniFile.h"
#include "MessageThread.h"
#include "ParamFiles.h"
#include "RunProcess.h"
#include "ZarnoSimulator.h"
#include "vltZarno.h"

namespace kalvist {
namespace {

using nlohmann::json;
using Strings = std::vector<std::string>;
using test::RunProcess;
using test::TProcessResult;

constexpr uint64_t kWaitMs = 15000;  // generous: only a hang ever reaches it

std::string Data(const std::string& name) {
  return std::string(KALVIST_TEST_DATA_DIR) + "/" + name;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

Strings Lines(const std::string& text) {
  Strings lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class TRecordingSink : public IMessageSink {
 public:
  void Show(const TMessage& m, std::function<void()> closed) override {
    messages.push_back(m.Caption + ": " + m.Text);
    closed();
  }
  Strings messages;
};

class ParamFileSystemTest : public ::testing::Test {
 protected:
  ParamFileSystemTest() {
    folder = std::filesystem::temp_directory_path() /
             ("kalvist-sysfiles-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    SetMessageSink(&sink);
    zarno.Comm().SetCommTimeout(300);
  }
  ~ParamFileSystemTest() override {
    if (zarno.IsConnected()) zarno.Disconnect();
    SetMessageSink(nullptr);
    std::filesystem::remove_all(folder);
  }

  void Settle() {
    ASSERT_TRUE(loop.RunUntil(
        [this] {
          return !zarno.IsConnected() || (zarno.Queue().Count() == 0 && !zarno.Comm().Busy());
        },
        kWaitMs));
    ASSERT_TRUE(zarno.IsConnected());
  }

  void ConnectAsAdministrator() {
    sim = std::make_unique<sim::TZarnoSimulator>();
    zarno.SetPortPath(sim->Start());
    zarno.Connect();
    ASSERT_TRUE(loop.RunUntil([this] { return !zarno.IsConnecting(); }, kWaitMs));
    zarno.ResetPassword();
    zarno.EnterPassword(1111);
    Settle();
    ASSERT_TRUE(zarno.PasswordOK());
  }

  std::string Path(const std::string& name) const { return (folder / name).string(); }

  TProcessResult Cli(const Strings& args) { return RunProcess(KALVIST_CLI_PATH, args); }

  std::filesystem::path folder;
  TEventLoop loop;
  TRecordingSink sink;
  TZarno zarno{loop};
  std::unique_ptr<sim::TZarnoSimulator> sim;
};

// While a file is applied, values equal to the controller's are written all the same.
TEST_F(ParamFileSystemTest, LoadingTheSameFileTwiceWritesEveryValueTwice) {
  ConnectAsAdministrator();
  zarno.ReadAllParameters();
  Settle();
  const std::string path = Path("controller.zrp");
  ASSERT_TRUE(zarno.SaveToFile(path));
  TIniFile ini = TIniFile::LoadFromFile(path);
  ini.WriteString("parameters", "CANAddress", "9");
  ini.WriteString("parameters", "WindowDelay", "250");
  ini.SaveToFile(path);

  const auto before = sim->Counters().Writes;
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(LoadParamFile(zarno, path, {}), TParamFileResult::Loaded);
    Settle();
  }
  auto after = sim->Counters().Writes;
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    const TZarnoParam& entry = zarno.Params().Items(i);
    const auto was = before.find(entry.ObjectID);
    EXPECT_EQ(after[entry.ObjectID] - (was == before.end() ? 0 : was->second), 2u) << entry.Name;
  }
  EXPECT_EQ(sim->GetObject(idCANAddress), std::vector<uint8_t>{9});
  EXPECT_EQ(sim->GetObject(idWindowDelay), (std::vector<uint8_t>{250, 0}));
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ParamFileSystemTest, CliSavesTheDefaultsOfAParameterSetInItsFormat) {
  const TProcessResult zr2 =
      Cli({"save", "--offline", "--kind", "2", "--firmware", "12", Path("a.zr2")});
  ASSERT_EQ(zr2.Status, 0) << zr2.Err;
  const std::string head = "[parameters2]\r\nUsedSensors=1048575\r\n";
  EXPECT_EQ(Slurp(Path("a.zr2")).substr(0, head.size()), head);

  const TProcessResult wrong =
      Cli({"save", "--offline", "--kind", "2", "--firmware", "12", Path("a.zrp")});
  EXPECT_EQ(wrong.Status, 2);
  EXPECT_EQ(wrong.Err, "Error: Cannot save \"" + Path("a.zrp") +
                           "\": the parameters of Zarno-2 firmware 1.2 are saved as \".zr2\"\n");
  EXPECT_FALSE(std::filesystem::exists(Path("a.zrp")));

  const TProcessResult third = Cli({"save", "--offline", "--kind", "3", Path("c.zrp")});
  ASSERT_EQ(third.Status, 0) << third.Err;
  const TIniFile saved = TIniFile::LoadFromFile(Path("c.zrp"));
  EXPECT_EQ(saved.ReadInteger("identification", "HWType", -1), 2);
  EXPECT_EQ(saved.ReadString("parameters", "WindowDelay", ""), "200");  // degrees
  EXPECT_EQ(saved.Keys("CylinderConfiguration").size(), 40u);

  const TProcessResult kindOnline = Cli({"save", "--kind", "2", Path("b.zrp")});
  EXPECT_EQ(kindOnline.Status, 2);  // --kind belongs to --offline
}

TEST_F(ParamFileSystemTest, CliSavesTheControllersConfiguration) {
  const TProcessResult saved = Cli({"--password", "1111", "save", Path("c.zrp")});
  ASSERT_EQ(saved.Status, 0) << saved.Err;
  const TIniFile ini = TIniFile::LoadFromFile(Path("c.zrp"));
  EXPECT_EQ(ini.ReadInteger("identification", "SWVersion", -1), 25);
  EXPECT_EQ(ini.Keys("parameters").size(), 59u);

  // At the monitor level the entries it may not read are saved with their defaults.
  const TProcessResult monitor = Cli({"save", Path("m.zrp")});
  ASSERT_EQ(monitor.Status, 0) << monitor.Err;
  EXPECT_EQ(monitor.Err,
            "Warning: 49 parameters could not be read at the current access level; their "
            "defaults are taken\n");
}

TEST_F(ParamFileSystemTest, CliConvertsAnyFileToTheNewLayoutAndLeavesTheSource) {
  const std::string source = Slurp(Data("zarno2-fw12.zr2"));
  const TProcessResult zr2 = Cli({"convert", Data("zarno2-fw12.zr2"), Path("two.zrp")});
  ASSERT_EQ(zr2.Status, 0) << zr2.Err;
  EXPECT_EQ(Slurp(Data("zarno2-fw12.zr2")), source);
  const TIniFile two = TIniFile::LoadFromFile(Path("two.zrp"));
  EXPECT_EQ(two.Sections(), (Strings{"identification", "parameters"}));
  EXPECT_EQ(two.ReadInteger("identification", "HWType", -1), 1);
  EXPECT_EQ(two.ReadInteger("identification", "SWVersion", -1), 12);
  EXPECT_EQ(two.ReadString("parameters", "SelectSensors", ""), "3");

  const TProcessResult p16 =
      Cli({"convert", "--firmware", "19", Data("old16.p16"), Path("old.zrp")});
  ASSERT_EQ(p16.Status, 0) << p16.Err;
  const TIniFile old = TIniFile::LoadFromFile(Path("old.zrp"));
  EXPECT_EQ(old.ReadInteger("identification", "SWVersion", -1), 19);
  EXPECT_EQ(old.ReadString("parameters", "KnockFilterFrequency", ""), "6120");
  EXPECT_EQ(old.ReadString("parameters", "Switches", ""), "37");

  const TProcessResult zrn = Cli({"convert", Data("zarno2-fw12.zr2"), Path("two.zrn")});
  EXPECT_EQ(zrn.Status, 2);
  EXPECT_EQ(zrn.Err, "Error: Cannot convert into \"" + Path("two.zrn") +
                         "\": the new layout is saved as \".zrp\"\n");
  const TProcessResult garbage = Cli({"convert", Data("garbage.zrp"), Path("g.zrp")});
  EXPECT_EQ(garbage.Status, 1);
  EXPECT_EQ(garbage.Err, "Error: Invalid parameters file: \"" + Data("garbage.zrp") + "\"\n");
  EXPECT_FALSE(std::filesystem::exists(Path("g.zrp")));
}

TEST_F(ParamFileSystemTest, CliShowsIdentificationAndParameters) {
  const TProcessResult shown = Cli({"--json", "show", Data("zarno20-fw19.zrn")});
  ASSERT_EQ(shown.Status, 0) << shown.Err;
  const json file = json::parse(shown.Out);
  EXPECT_EQ(file["identification"], json({{"FileVersion", 0}, {"HWType", 0}, {"SWVersion", 19}}));
  EXPECT_EQ(file["parameters"]["IgnitionReduction Limit"], 80);
  EXPECT_EQ(file["parameters"].size(), 18u);

  const TProcessResult text = Cli({"show", Data("zrp-layout.zrn")});
  ASSERT_EQ(text.Status, 0) << text.Err;
  const Strings lines = Lines(text.Out);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(Strings(lines.begin(), lines.begin() + 6),
            (Strings{"[identification]", "FileVersion=0", "HWType=0", "SWVersion=19",
                     "[parameters]", "UsedSensors=255"}));
}

TEST_F(ParamFileSystemTest, CliDiffListsEachDifferenceAndSaysSoInItsStatus) {
  const TProcessResult same = Cli({"diff", Data("zarno20-fw19.zrn"), Data("zarno20-fw19.zrn")});
  EXPECT_EQ(same.Status, 0) << same.Err;
  EXPECT_EQ(same.Out, "");

  const TProcessResult other = Cli({"diff", Data("zarno20-fw19.zrn"), Data("zarno20-fw24.zrn")});
  EXPECT_EQ(other.Status, 1) << other.Err;
  const Strings lines = Lines(other.Out);
  ASSERT_EQ(lines.size(), 1u + 40u);
  EXPECT_EQ(lines[0], "SWVersion: 19 -> 24");
  EXPECT_EQ(lines[1], "Alfa1: (missing) -> 10");

  const TProcessResult missing = Cli({"diff", Path("none.zrp"), Data("zarno20-fw19.zrn")});
  EXPECT_EQ(missing.Status, 2);

  ASSERT_EQ(Cli({"--password", "1111", "save", Path("c.zrp")}).Status, 0);
  const TProcessResult controller =
      Cli({"--password", "1111", "diff", "controller", Path("c.zrp")});
  EXPECT_EQ(controller.Status, 0) << controller.Out << controller.Err;
  const TProcessResult changed =
      Cli({"--password", "1111", "--json", "diff", Data("zarno20-fw19.zrn"), "controller"});
  EXPECT_EQ(changed.Status, 1) << changed.Err;
  EXPECT_EQ(json::parse(changed.Out)["equal"], false);
}

TEST_F(ParamFileSystemTest, CliLoadAppliesAsOpenParametersDoes) {
  const TProcessResult locked = Cli({"load", Data("zarno20-fw24.zrn")});
  EXPECT_EQ(locked.Status, 1);
  EXPECT_EQ(locked.Err,
            "Error: Loading parameters into the controller needs an accepted password "
            "(--password)\n");

  // A file of firmware 2.4 takes microseconds; the simulated 2.5 takes degrees.
  const TProcessResult converted = Cli({"--password", "1111", "load", Data("zarno20-fw24.zrn")});
  ASSERT_EQ(converted.Status, 0) << converted.Err;
  EXPECT_EQ(converted.Err,
            "Information: Detonation window converted at 1500 rpm: delay 1200 us -> 10.8 deg, "
            "width 1800 us -> 16.2 deg\n");
  const Strings written = Lines(converted.Out);
  EXPECT_EQ(written.size(), 58u);
  EXPECT_EQ(written[1], "WindowDelay=108");

  const TProcessResult cancelled =
      Cli({"--password", "1111", "load", "--cancel-conversion", Data("zarno20-fw24.zrn")});
  EXPECT_EQ(cancelled.Status, 1);
  EXPECT_EQ(cancelled.Out, "");
  EXPECT_EQ(cancelled.Err, "Error: Detonation window conversion cancelled: nothing was loaded\n");

  std::ofstream(Path("switches.zrp"))
      << "[identification]\nFileVersion=0\nHWType=0\nSWVersion=25\n[parameters]\nSwitches=1\n";
  const TProcessResult operatorLevel = Cli({"--password", "2222", "load", Path("switches.zrp")});
  EXPECT_EQ(operatorLevel.Status, 1);
  EXPECT_EQ(operatorLevel.Err,
            "Error: Cannot write parameters file because some parameters required administrator "
            "access level. You have only operator access level.\n");

  const TProcessResult offline = Cli({"load", "--offline", "--firmware", "19", Data("old16.p16")});
  ASSERT_EQ(offline.Status, 0) << offline.Err;
  const Strings lines = Lines(offline.Out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Parameter set: Zarno-20 firmware 1.9");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Switches=37"), lines.end());
}

}  // namespace
}  // namespace kalvist
