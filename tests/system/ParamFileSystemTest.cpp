// Parameter files end to end: the device object over the real link against the
// simulated controller, and kalvist-cli's file commands.
#include <gtest/gtest.h>
#include <signal.h>
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
#include "TraceWrites.h"
#include "ZarnoSimulator.h"
#include "vltZarno.h"

namespace kalvist {
namespace {

using nlohmann::json;
using Strings = std::vector<std::string>;
using test::RunProcess;
using test::TProcessResult;
using test::WrittenIds;

constexpr uint64_t kWaitMs = 15000;  // generous: only a hang ever reaches it
// The notice of a run without --port.
const std::string kSimulator = "using the built-in controller simulator\n";

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

// The lines of a connected load that tell what became of each value.
Strings Applied(const std::string& out) {
  Strings applied;
  for (const std::string& line : Lines(out)) {
    if (line.find('=') != std::string::npos && line.find(": ") == std::string::npos) {
      applied.push_back(line);
    }
  }
  return applied;
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
  // The simulated controller's window width is in microseconds' range, not in degrees'.
  EXPECT_EQ(sink.messages, Strings(2, "Warning: Parameters file \"" + path +
                                          "\" holds values outside the valid range of the "
                                          "configuration pages: WindowWidth=1500 (outside the "
                                          "valid range 0..600)"));
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

  // At the monitor level the entries it may not read would be defaults: no file, and an
  // existing one stays as it was, unless the defaults are asked for.
  std::ofstream(Path("m.zrp")) << "kept";
  const TProcessResult monitor = Cli({"save", Path("m.zrp")});
  EXPECT_EQ(monitor.Status, 1);
  EXPECT_EQ(monitor.Err, kSimulator +
                             "Error: 49 parameters could not be read at the current access level: "
                             "nothing saved (--allow-defaults saves their defaults in their "
                             "place)\n");
  EXPECT_EQ(Slurp(Path("m.zrp")), "kept");
  const TProcessResult allowed = Cli({"save", "--allow-defaults", Path("m.zrp")});
  ASSERT_EQ(allowed.Status, 0) << allowed.Err;
  EXPECT_EQ(allowed.Err, kSimulator +
                             "Warning: 49 parameters could not be read at the current access "
                             "level; their defaults are saved in their place\n");
  EXPECT_EQ(TIniFile::LoadFromFile(Path("m.zrp")).Keys("parameters").size(), 59u);
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
  // No controller to compare with is trouble too, not the other commands' "no device".
  const TProcessResult unreachable =
      Cli({"--port", "/dev/kalvist-no-such-port", "diff", "controller", Data("zarno20-fw19.zrn")});
  EXPECT_EQ(unreachable.Status, 2) << unreachable.Err;

  ASSERT_EQ(Cli({"--password", "1111", "save", Path("c.zrp")}).Status, 0);
  const TProcessResult controller =
      Cli({"--password", "1111", "diff", "controller", Path("c.zrp")});
  EXPECT_EQ(controller.Status, 0) << controller.Out << controller.Err;
  const TProcessResult changed =
      Cli({"--password", "1111", "--json", "diff", Data("zarno20-fw19.zrn"), "controller"});
  EXPECT_EQ(changed.Status, 1) << changed.Err;
  EXPECT_EQ(json::parse(changed.Out)["equal"], false);
  EXPECT_EQ(json::parse(changed.Out)["not_read"], json::array());

  // What the monitor level cannot read is no difference and no sameness: it is unread.
  const TProcessResult monitor = Cli({"diff", Path("c.zrp"), "controller"});
  EXPECT_EQ(monitor.Status, 1) << monitor.Err;
  const Strings unread = Lines(monitor.Out);
  ASSERT_EQ(unread.size(), 49u) << monitor.Out;
  EXPECT_EQ(unread[0], "WindowDelay: 1000 -> (not read)");
  const TProcessResult reversed = Cli({"--json", "diff", "controller", Path("c.zrp")});
  EXPECT_EQ(reversed.Status, 1) << reversed.Err;
  const json report = json::parse(reversed.Out);
  EXPECT_EQ(report["differences"], json::array());
  EXPECT_EQ(report["not_read"].size(), 49u);
  EXPECT_EQ(report["not_read"][0], "WindowDelay");
}

// A file is read by what it holds where its extension does not say: a ".zrp" under
// another name stays a ".zrp", and what is no text is no old file.
TEST_F(ParamFileSystemTest, CliReadsAFileByItsContentWhereTheExtensionDoesNotSay) {
  const std::string zrp = Slurp(Data("zarno3.zrp"));
  for (const std::string name : {"renamed.txt", "renamed"}) {
    SCOPED_TRACE(name);
    std::ofstream(Path(name), std::ios::binary) << zrp;
    const TProcessResult same = Cli({"diff", Data("zarno3.zrp"), Path(name)});
    EXPECT_EQ(same.Status, 0) << same.Out << same.Err;
    const TProcessResult loaded = Cli({"load", "--offline", Path(name)});
    EXPECT_EQ(loaded.Status, 0) << loaded.Err;
  }

  struct Case {
    const char* name;
    std::string file;
    std::string content;
    std::string reason;
  };
  const Case cases[] = {
      {"binary .p16", "random.p16",
       std::string("\x01\x02\x00"
                   "abc",
                   6),
       "it is no text (byte 0x01 at offset 0)"},
      {"a .p16 without one number", "words.p16", "alpha\r\nbeta\r\n300\r\n",
       "no line holds a number 0..255"},
      {"binary old layout", "binary.txt", std::string("[parameters]\nSwitches=1\n\x00\x07", 25),
       "it is no text (byte 0x00 at offset 24)"},
      {"binary .zrn", "binary.zrn", "[parameters]\x1b\n", "it is no text (byte 0x1B at offset 12)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Path(c.file);
    std::ofstream(path, std::ios::binary) << c.content;
    const std::string err =
        "Error: Cannot read parameters file \"" + path + "\": " + c.reason + "\n";
    const struct {
      Strings args;
      int status;
    } commands[] = {{{"show", path}, 1},
                    {{"convert", path, Path("out.zrp")}, 1},
                    {{"diff", path, Data("zarno3.zrp")}, 2},
                    {{"load", "--offline", path}, 1}};
    for (const auto& command : commands) {
      SCOPED_TRACE(command.args[0]);
      const TProcessResult r = Cli(command.args);
      EXPECT_EQ(r.Status, command.status);
      EXPECT_EQ(r.Out, "");
      EXPECT_EQ(r.Err, err);
    }
    // Connected, nothing of it reaches the controller.
    const TProcessResult connected =
        Cli({"--password", "1111", "--trace", "load", "--restore-dir", Path("restore"), path});
    EXPECT_EQ(connected.Status, 1);
    EXPECT_TRUE(WrittenIds(connected.Err).empty());
    EXPECT_NE(connected.Err.find(err), std::string::npos) << connected.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.zrp")));
  }
}

TEST_F(ParamFileSystemTest, CliLoadAppliesAsOpenParametersDoes) {
  const TProcessResult locked = Cli({"load", Data("zarno20-fw24.zrn")});
  EXPECT_EQ(locked.Status, 1);
  EXPECT_EQ(locked.Err,
            kSimulator +
                "Error: Loading parameters into the controller needs an accepted password "
                "(--password)\n");

  // A file of firmware 2.4 takes microseconds; the simulated 2.5 takes degrees.
  const TProcessResult converted = Cli(
      {"--password", "1111", "load", "--restore-dir", Path("restore"), Data("zarno20-fw24.zrn")});
  ASSERT_EQ(converted.Status, 0) << converted.Err;
  EXPECT_EQ(converted.Err,
            kSimulator +
                "Information: Detonation window converted at 1500 rpm: delay 1200 us -> 10.8 deg, "
                "width 1800 us -> 16.2 deg\n");
  const Strings written = Applied(converted.Out);
  EXPECT_EQ(written.size(), 58u);
  EXPECT_EQ(written[1], "WindowDelay=108 written");

  // A file of the controller's own values: each one already equal, and written again.
  sim = std::make_unique<sim::TZarnoSimulator>();
  const std::string port = sim->Start();
  ASSERT_EQ(Cli({"--port", port, "--password", "1111", "save", Path("own.zrp")}).Status, 0);
  const TProcessResult own = Cli({"--port", port, "--password", "1111", "load", "--restore-dir",
                                  Path("restore"), Path("own.zrp")});
  ASSERT_EQ(own.Status, 0) << own.Err;
  const Strings ownLines = Applied(own.Out);
  EXPECT_EQ(ownLines.size(), 59u);
  for (const std::string& line : ownLines) {
    EXPECT_NE(line.find(" already equal"), std::string::npos) << line;
  }

  const TProcessResult cancelled =
      Cli({"--password", "1111", "load", "--restore-dir", Path("restore"), "--cancel-conversion",
           Data("zarno20-fw24.zrn")});
  EXPECT_EQ(cancelled.Status, 1);
  EXPECT_EQ(cancelled.Out, "");
  EXPECT_EQ(cancelled.Err,
            kSimulator + "Error: Detonation window conversion cancelled: nothing was loaded\n");

  std::ofstream(Path("switches.zrp"))
      << "[identification]\nFileVersion=0\nHWType=0\nSWVersion=25\n[parameters]\nSwitches=1\n";
  const TProcessResult operatorLevel =
      Cli({"--password", "2222", "load", "--restore-dir", Path("restore"), Path("switches.zrp")});
  EXPECT_EQ(operatorLevel.Status, 1);
  EXPECT_EQ(
      operatorLevel.Err,
      kSimulator +
          "Error: Cannot write parameters file because some parameters required administrator "
          "access level. You have only operator access level.\n");

  const TProcessResult offline = Cli({"load", "--offline", "--firmware", "19", Data("old16.p16")});
  ASSERT_EQ(offline.Status, 0) << offline.Err;
  const Strings lines = Lines(offline.Out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Parameter set: Zarno-20 firmware 1.9");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Switches=37"), lines.end());

  // A file that brings its own parameter set takes none from the command line.
  const TProcessResult chosen =
      Cli({"load", "--offline", "--firmware", "19", Data("zarno20-fw24.zrn")});
  EXPECT_EQ(chosen.Status, 2);
  EXPECT_EQ(chosen.Err,
            "Error: --kind and --firmware choose the parameter set of a \".p16\" "
            "import; \"" +
                Data("zarno20-fw24.zrn") + "\" brings its own\n");
  EXPECT_EQ(Cli({"convert", "--firmware", "19", Data("zarno3.zrp"), Path("x.zrp")}).Status, 2);
}

// Values the objects cannot hold refuse the whole file before its first write; values
// outside the pages' valid range are written, and named in a warning.
TEST_F(ParamFileSystemTest, CliLoadRefusesValuesThatDoNotFitAndNamesOddOnes) {
  struct Case {
    const char* name;
    std::string parameters;
    int status;
    std::string err;  // after the simulator notice
    std::vector<uint16_t> written;
  };
  const std::string head = "[identification]\nFileVersion=0\nHWType=0\nSWVersion=25\n";
  const Case cases[] = {
      {"every bad line named",
       "CylinderCount=300\nWindowDelay=-5\nCANAddress=9\nUsedSensors=4294967296\nAngleV=12.5\n"
       "SetpointsIDName=ABCDEFGHIJKLMNOP\n",
       1,
       "Error: Parameters file \"@\" is refused, its values do not fit their objects: "
       "UsedSensors=4294967296 (does not fit 0..4294967295); WindowDelay=-5 (does not fit "
       "0..65535); CylinderCount=300 (does not fit 0..255); AngleV=12.5 (not a whole number; "
       "fits 0..65535); SetpointsIDName=ABCDEFGHIJKLMNOP (longer than 15 characters)\n",
       {}},
      {"no number",
       "Attenuation=soon\n",
       1,
       "Error: Parameters file \"@\" is refused, its values do not fit their objects: "
       "Attenuation=soon (not a number; fits 0..65535)\n",
       {}},
      {"odd but possible",
       "CylinderCount=1\nCANAddress=0\nKnockFilterFrequency=5000\n",
       0,
       "Warning: Parameters file \"@\" holds values outside the valid range of the "
       "configuration pages: KnockFilterFrequency=5000 (outside the valid range one of 91 "
       "listed values in 305..15070); CylinderCount=1 "
       "(outside the valid range 2..20); CANAddress=0 (outside the valid range 1..127)\n",
       {10295, 10340, 10306}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Path("values.zrp");
    std::ofstream(path, std::ios::binary) << head + "[parameters]\n" + c.parameters;
    std::string err = c.err;
    err.replace(err.find('@'), 1, path);
    const TProcessResult r =
        Cli({"--password", "1111", "--trace", "load", "--restore-dir", Path("restore"), path});
    EXPECT_EQ(r.Status, c.status);
    std::string messages;
    for (const std::string& line : Lines(r.Err)) {
      if (line.find(" ms ") == std::string::npos) messages += line + "\n";
    }
    EXPECT_EQ(messages, kSimulator + err);
    EXPECT_EQ(WrittenIds(r.Err), c.written);
    // Offline the same file is refused, or applied with the same warning.
    const TProcessResult offline = Cli({"load", "--offline", path});
    EXPECT_EQ(offline.Status, c.status);
    EXPECT_EQ(offline.Err, err);
  }
}

// Ctrl-C during a load: the write under way ends, no other goes out, and the user is told
// how many were written and which were not.
TEST_F(ParamFileSystemTest, CliLoadInterruptedSaysWhatWasWritten) {
  sim::TSimOptions options;
  options.Pace = true;  // the line's own speed, so that the load takes a while
  sim = std::make_unique<sim::TZarnoSimulator>(options);
  const std::string port = sim->Start();
  const std::string path = Path("all.zrp");
  ASSERT_EQ(Cli({"--port", port, "--password", "1111", "save", path}).Status, 0);
  const auto before = sim->Counters().Writes;

  test::TProcessOptions interrupt;
  bool sent = false;
  interrupt.OnErr = [&sent](pid_t pid, const std::string& err) {
    if (!sent && WrittenIds(err).size() >= 5) sent = kill(pid, SIGINT) == 0;
  };
  const TProcessResult r = RunProcess(KALVIST_CLI_PATH,
                                      {"--port", port, "--password", "1111", "--trace", "load",
                                       "--restore-dir", Path("restore"), path},
                                      interrupt);
  ASSERT_TRUE(sent);
  EXPECT_EQ(r.Status, 130) << r.Err;
  const size_t named = r.Out.find("Restore point: ");
  ASSERT_NE(named, std::string::npos) << r.Out;
  const std::string restorePoint = r.Out.substr(named + 15, r.Out.find('\n', named) - named - 15);
  EXPECT_NE(r.Err.find("The configuration before the load is in " + restorePoint + "\n"),
            std::string::npos)
      << r.Err;
  const std::vector<uint16_t> traced = WrittenIds(r.Err);
  ASSERT_GE(traced.size(), 5u);
  ASSERT_LT(traced.size(), 59u);
  std::string notWritten;
  for (int i = static_cast<int>(traced.size()); i < 59; ++i) {
    notWritten +=
        (notWritten.empty() ? "" : ", ") + TIniFile::LoadFromFile(path).Keys("parameters")[i];
  }
  const std::string told = "Interrupted: " + std::to_string(traced.size()) +
                           " of 59 values were written; not written: " + notWritten;
  EXPECT_NE(r.Err.find(told), std::string::npos) << r.Err;
  // The controller saw exactly the writes the trace shows.
  auto after = sim->Counters().Writes;
  size_t catalogueWrites = 0;
  for (const auto& [id, count] : after) {
    const auto was = before.find(id);
    if (id != 24524 && id != 24378)
      catalogueWrites += count - (was == before.end() ? 0 : was->second);
  }
  EXPECT_EQ(catalogueWrites, traced.size());
}

// Before a file is applied: what it changes, in the pages' units; with --dry-run nothing
// more. Then the controller's configuration is kept as a restore point, or, when it cannot
// be, nothing is applied.
TEST_F(ParamFileSystemTest, CliLoadShowsWhatChangesAndKeepsARestorePoint) {
  sim = std::make_unique<sim::TZarnoSimulator>();
  const std::string port = sim->Start();
  const auto cli = [&](Strings args) {
    args.insert(args.begin(), {"--port", port, "--password", "1111", "--trace"});
    return Cli(args);
  };
  ASSERT_EQ(cli({"save", Path("before.zrp")}).Status, 0);
  std::ofstream(Path("change.zrp"))
      << "[identification]\nFileVersion=0\nHWType=0\nSWVersion=25\n[parameters]\n"
         "CANAddress=9\nWindowDelay=108\nUsedSensors=1048575\n";
  const std::string changes =
      "2 parameters change:\n  WindowDelay: 100.0 \xC2\xB0 -> 10.8 \xC2\xB0\n  CANAddress: 1 -> "
      "9\n";
  const std::string restore = Path("restore");

  const TProcessResult dry =
      cli({"load", "--dry-run", "--restore-dir", restore, Path("change.zrp")});
  EXPECT_EQ(dry.Status, 0) << dry.Err;
  EXPECT_EQ(dry.Out, changes);
  EXPECT_TRUE(WrittenIds(dry.Err).empty());
  EXPECT_FALSE(std::filesystem::exists(restore));
  const TProcessResult dryJson =
      cli({"--json", "load", "--dry-run", "--restore-dir", restore, Path("change.zrp")});
  EXPECT_EQ(json::parse(dryJson.Out)["changes"][1],
            json::parse(R"({"name": "CANAddress", "controller": "1", "file": "9"})"));
  EXPECT_EQ(Cli({"load", "--offline", "--dry-run", Path("change.zrp")}).Status, 2);

  // A restore point that cannot be written keeps the whole file back.
  const TProcessResult blocked =
      cli({"load", "--restore-dir", Path("before.zrp") + "/sub", Path("change.zrp")});
  EXPECT_EQ(blocked.Status, 1);
  EXPECT_TRUE(WrittenIds(blocked.Err).empty());
  EXPECT_NE(blocked.Err.find("Error: No restore point could be written, so nothing was loaded: "
                             "Cannot create directory \"" +
                             Path("before.zrp") + "/sub\""),
            std::string::npos)
      << blocked.Err;

  const TProcessResult loaded = cli({"load", "--restore-dir", restore, Path("change.zrp")});
  ASSERT_EQ(loaded.Status, 0) << loaded.Err;
  EXPECT_EQ(loaded.Out.substr(0, changes.size()), changes);
  const Strings lines = Lines(loaded.Out.substr(changes.size()));
  ASSERT_FALSE(lines.empty());
  ASSERT_EQ(lines[0].rfind("Restore point: " + restore + "/Zarno-20_", 0), 0u) << lines[0];
  const std::string restorePoint = lines[0].substr(15);
  EXPECT_EQ(WrittenIds(loaded.Err), (std::vector<uint16_t>{10298, 10293, 10306}));
  EXPECT_EQ(sim->GetObject(idCANAddress), std::vector<uint8_t>{9});

  // Loading the restore point brings the configuration back as it was.
  ASSERT_EQ(cli({"load", "--restore-dir", restore, restorePoint}).Status, 0);
  const TProcessResult same = cli({"diff", Path("before.zrp"), "controller"});
  EXPECT_EQ(same.Status, 0) << same.Out;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(restore),
                          std::filesystem::directory_iterator()),
            2);
}

}  // namespace
}  // namespace kalvist
