// kalvist-cli end to end: the built program against its built-in simulator.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "RunProcess.h"
#include "TraceWrites.h"
#include "ZarnoSimulator.h"

namespace kalvist {
namespace {

using nlohmann::json;
using test::RunProcess;
using test::TProcessOptions;
using test::TProcessResult;
using test::WrittenIds;

// The notice of a run without --port.
const std::string kSimulator = "using the built-in controller simulator\n";

TProcessResult Cli(const std::vector<std::string>& args) {
  return RunProcess(KALVIST_CLI_PATH, args);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CliSystemTest, InfoIdentifiesTheController) {
  const TProcessResult r = Cli({"--json", "info"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const json info = json::parse(r.Out);
  EXPECT_EQ(info["hardware_kind"], 0);
  EXPECT_EQ(info["unit_type"], "Zarno-20");
  EXPECT_EQ(info["firmware"], "2.5");
  EXPECT_EQ(info["firmware_byte"], 25);
  EXPECT_EQ(info["supported"], true);
  EXPECT_EQ(info["three_level"], true);
  EXPECT_EQ(info["window_in_degrees"], true);
  EXPECT_EQ(info["access_level"], 2);
  EXPECT_EQ(info["access_level_name"], "monitor");
  EXPECT_EQ(info["password_ok"], false);
  EXPECT_TRUE(Contains(info["port"].get<std::string>(), "/dev/pts/"));
  EXPECT_GT(info["parameters"].get<int>(), 18);

  const TProcessResult two = Cli({"--sim-kind", "2", "--password", "1111", "--json", "info"});
  ASSERT_EQ(two.Status, 0) << two.Err;
  EXPECT_EQ(json::parse(two.Out)["unit_type"], "Zarno-2");
  EXPECT_EQ(json::parse(two.Out)["access_level"], 0);
}

TEST(CliSystemTest, UnsupportedFirmwareOrNoControllerExitsWithThree) {
  const TProcessResult newer = Cli({"--sim-firmware", "26", "--json", "info"});
  EXPECT_EQ(newer.Status, 3);
  EXPECT_EQ(json::parse(newer.Out)["supported"], false);
  EXPECT_EQ(newer.Err,
            kSimulator +
                "Error: Zarno-20 version 2.6 is unsupported! (Last supported version is 2.5.)  "
                "Connection will be closed!\n");
  const TProcessResult refusedRead = Cli({"--sim-firmware", "26", "read", "CANAddress"});
  EXPECT_EQ(refusedRead.Status, 3);
  EXPECT_TRUE(refusedRead.Out.empty());

  const TProcessResult noPort = Cli({"--port", "/dev/kalvist-no-such-port", "info"});
  EXPECT_EQ(noPort.Status, 3);
  EXPECT_EQ(noPort.Err,
            "Error: Error connecting to /dev/kalvist-no-such-port: No such file or directory\n");
}

TEST(CliSystemTest, WrongPasswordFails) {
  const TProcessResult r = Cli({"--password", "9", "read", "CANAddress"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, kSimulator + "Error: Wrong password\n");
}

TEST(CliSystemTest, ReadReportsValuesAndWhatTheLevelForbids) {
  const TProcessResult monitor = Cli({"read", "CANAddress", "WindowDelay", "10298"});
  EXPECT_EQ(monitor.Status, 1);
  EXPECT_EQ(Lines(monitor.Out), (std::vector<std::string>{"CANAddress=1", "UsedSensors=1048575"}));
  EXPECT_EQ(
      monitor.Err,
      kSimulator + "Error: WindowDelay: not permitted at the current access level (monitor)\n");

  const TProcessResult admin = Cli({"--password", "1111", "--json", "read", "WindowDelay"});
  ASSERT_EQ(admin.Status, 0) << admin.Err;
  EXPECT_EQ(json::parse(admin.Out), json({{"WindowDelay", 1000}}));

  const TProcessResult unknown = Cli({"read", "NoSuchEntry"});
  EXPECT_EQ(unknown.Status, 1);
  EXPECT_EQ(unknown.Err, kSimulator + "Error: Parameter \"NoSuchEntry\" was not found\n");
}

// Objects outside the catalogue are read by number and shown by their size: 1, 2 and 4
// bytes as numbers, 5 to 64 as text.
TEST(CliSystemTest, ReadTakesAnyObjectById) {
  const TProcessResult live = Cli({"--json", "read", "10328", "10329", "10330", "24471"});
  ASSERT_EQ(live.Status, 0) << live.Err;
  const json values = json::parse(live.Out);
  EXPECT_TRUE(values["10328"].is_number_unsigned()) << live.Out;
  EXPECT_TRUE(values["10329"].is_number_unsigned()) << live.Out;
  EXPECT_TRUE(values["10330"].is_number_unsigned()) << live.Out;
  EXPECT_TRUE(values["24471"].is_string()) << live.Out;

  const TProcessResult version = Cli({"read", "10346"});
  ASSERT_EQ(version.Status, 0) << version.Err;
  EXPECT_EQ(version.Out, "10346=25\n");  // the firmware byte, the identification untouched

  const TProcessResult none = Cli({"read", "9999"});
  EXPECT_EQ(none.Status, 1);
  EXPECT_EQ(none.Out, "");
  EXPECT_EQ(none.Err, kSimulator + "Error: 9999: refused by the controller (result " +
                          std::to_string(orRefusalIgnored) + ")\n");
}

TEST(CliSystemTest, WriteSendsOnlyChangesItMaySend) {
  const TProcessResult open = Cli({"write", "CANAddress=7", "BusSpeed=250"});
  ASSERT_EQ(open.Status, 0) << open.Err;
  EXPECT_EQ(Lines(open.Out),
            (std::vector<std::string>{"CANAddress=7 written", "BusSpeed=250 unchanged"}));

  // Without an accepted password nothing at all goes out, not even the open entry.
  const TProcessResult locked = Cli({"--trace", "write", "CANAddress=8", "WindowDelay=300"});
  EXPECT_EQ(locked.Status, 1);
  EXPECT_TRUE(Contains(locked.Err,
                       "Error: WindowDelay is password-protected and no password has been "
                       "accepted\n"));
  for (const std::string& line : Lines(locked.Err)) {
    EXPECT_FALSE(Contains(line, "-> ") && Contains(line, " 42 28 ")) << "CANAddress sent: " << line;
  }

  const TProcessResult admin = Cli({"--password", "1111", "--json", "write", "WindowDelay=300"});
  ASSERT_EQ(admin.Status, 0) << admin.Err;
  EXPECT_EQ(json::parse(admin.Out),
            json::parse(R"({"WindowDelay": {"value": 300, "outcome": "written"}})"));

  EXPECT_EQ(Cli({"write", "CANAddress"}).Status, 2);
  EXPECT_EQ(Cli({"write"}).Status, 2);
}

// A value the object cannot hold is never written; one outside the pages' valid range
// only with --force. One refused assignment keeps all of them from going out.
TEST(CliSystemTest, WriteRefusesValuesThatDoNotFitOrAreOutOfRange) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string err;  // after the simulator notice
    std::vector<uint16_t> written;
  };
  const std::string longName(17, 'N');
  const Case cases[] = {
      {"byte wraps",
       {"CylinderCount=300"},
       2,
       "Error: CylinderCount=300 refused: does not fit 0..255\n",
       {}},
      {"word wraps",
       {"WindowDelay=99999999"},
       2,
       "Error: WindowDelay=99999999 refused: does not fit 0..65535\n",
       {}},
      {"negative",
       {"WindowDelay=-5"},
       2,
       "Error: WindowDelay=-5 refused: does not fit 0..65535\n",
       {}},
      {"CAN address wraps",
       {"CANAddress=256"},
       2,
       "Error: CANAddress=256 refused: does not fit 0..255\n",
       {}},
      {"every sensor off",
       {"UsedSensors=4294967296"},
       2,
       "Error: UsedSensors=4294967296 refused: does not fit 0..4294967295\n",
       {}},
      {"fraction",
       {"CylinderCount=12.5"},
       2,
       "Error: CylinderCount=12.5 refused: not a whole number; fits 0..255\n",
       {}},
      {"no number",
       {"WindowDelay=soon"},
       2,
       "Error: WindowDelay=soon refused: not a number; fits 0..65535\n",
       {}},
      {"text too long",
       {"SetpointsIDName=" + longName},
       2,
       "Error: SetpointsIDName=" + longName + " refused: longer than 15 characters\n",
       {}},
      {"one refused, none written",
       {"CANAddress=9", "CylinderCount=300"},
       2,
       "Error: CylinderCount=300 refused: does not fit 0..255\n",
       {}},
      {"outside the valid range",
       {"CylinderCount=25"},
       2,
       "Error: CylinderCount=25 refused: outside the valid range 2..20 (--force writes it all "
       "the same)\n",
       {}},
      {"CAN address 0",
       {"CANAddress=0", "BusSpeed=300"},
       2,
       "Error: CANAddress=0 refused: outside the valid range 1..127 (--force writes it all the "
       "same)\nError: BusSpeed=300 refused: outside the valid range 50, 100, 125, 250, 500, "
       "1000 (--force writes it all the same)\n",
       {}},
      {"angle of a 4-stroke engine",
       {"Alfa1=7201"},
       2,
       "Error: Alfa1=7201 refused: outside the valid range 0..7200 (--force writes it all the "
       "same)\n",
       {}},
      {"angle of a 2-stroke engine",
       {"Switches=0", "Alfa1=3601"},
       2,
       "Error: Alfa1=3601 refused: outside the valid range 0..3600 (--force writes it all the "
       "same)\n",
       {}},
      {"forced", {"--force", "CylinderCount=25"}, 0, "", {10340}},
      {"valid", {"CANAddress=9", "Alfa1=7200"}, 0, "", {10306, 10273}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args{"--password", "1111", "--trace", "write"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TProcessResult r = Cli(args);
    EXPECT_EQ(r.Status, c.status) << r.Err;
    std::string errors;
    for (const std::string& line : Lines(r.Err)) {
      if (!Contains(line, " ms ")) errors += line + "\n";
    }
    EXPECT_EQ(errors, kSimulator + c.err);
    EXPECT_EQ(WrittenIds(r.Err), c.written);
  }
}

// Faults of the command line itself: nothing is connected, the status says usage.
TEST(CliSystemTest, CommandLineFaultsAreUsageErrors) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {"empty port",
       {"--port", "", "info"},
       "Error: --port: an empty port name (leave --port out to use the built-in controller "
       "simulator)\n"},
      {"unknown command",
       {"frobnicate"},
       "Error: unknown command \"frobnicate\"; the commands are ports, info, read, write, dump, "
       "monitor, password, encrypted-password, record, save, load, convert, show, diff\n"},
      {"password no number",
       {"--password", "secret", "info"},
       "Error: the password must be a number 0..65535\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TProcessResult r = Cli(c.args);
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, c.err);

    std::vector<std::string> jsonArgs{"--json"};
    jsonArgs.insert(jsonArgs.end(), c.args.begin(), c.args.end());
    const TProcessResult j = Cli(jsonArgs);
    EXPECT_EQ(j.Status, 2);
    EXPECT_EQ(j.Err, c.err);
    const std::string text = c.err.substr(7, c.err.size() - 8);  // without "Error: " and "\n"
    EXPECT_EQ(json::parse(j.Out), json::parse(json::object({{"error", text}, {"exit", 2}}).dump()));
  }
  // A failure after connecting is JSON too, when the command printed no result.
  const TProcessResult refused = Cli({"--json", "--password", "9", "read", "CANAddress"});
  EXPECT_EQ(refused.Status, 1);
  EXPECT_EQ(json::parse(refused.Out), json::parse(R"({"error": "Wrong password", "exit": 1})"));
}

TEST(CliSystemTest, PasswordComesFromStandardInputOrTheEnvironment) {
  TProcessOptions input;
  input.Input = "1111\n";
  const TProcessResult piped =
      RunProcess(KALVIST_CLI_PATH, {"--password", "-", "--json", "info"}, input);
  ASSERT_EQ(piped.Status, 0) << piped.Err;
  EXPECT_EQ(json::parse(piped.Out)["access_level"], 0);

  TProcessOptions environment;
  environment.Environment = {"KALVIST_PASSWORD=2222"};
  const TProcessResult variable = RunProcess(KALVIST_CLI_PATH, {"--json", "info"}, environment);
  ASSERT_EQ(variable.Status, 0) << variable.Err;
  EXPECT_EQ(json::parse(variable.Out)["access_level"], 1);

  TProcessOptions empty;
  empty.Input = "";
  const TProcessResult none = RunProcess(KALVIST_CLI_PATH, {"--password", "-", "info"}, empty);
  EXPECT_EQ(none.Status, 2);
  EXPECT_EQ(none.Err, "Error: --password -: standard input ended before a password\n");

  const TProcessResult help = RunProcess(KALVIST_SIM_PATH, {"--help"});
  EXPECT_TRUE(Contains(help.Out, "1111") && Contains(help.Out, "2222") &&
              Contains(help.Out, "3333"))
      << help.Out;
}

// The port is opened exclusively; closing must end that, or a pseudo-terminal (or a port
// held open elsewhere) refuses every later user who is not root.
TEST(CliSystemTest, AnOrdinaryUserRunsOneCommandAfterAnother) {
  if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) {
    GTEST_SKIP() << "needs root and setpriv to run the program as another user";
  }
  sim::TZarnoSimulator simulator;
  const std::string port = simulator.Start();
  const std::vector<std::string> asNobody{"--reuid=65534",  "--regid=65534", "--clear-groups",
                                          KALVIST_CLI_PATH, "--port",        port};
  const auto run = [&asNobody](const char* command) {
    std::vector<std::string> args = asNobody;
    args.push_back(command);
    return RunProcess("/usr/bin/setpriv", args);
  };

  // Without the right to the port, the user learns the usual remedy.
  ASSERT_EQ(chmod(port.c_str(), 0600), 0);
  const TProcessResult denied = run("info");
  if (!Contains(denied.Err, "Error connecting to")) {
    GTEST_SKIP() << "the program is out of the other user's reach: " << denied.Err;
  }
  EXPECT_EQ(denied.Status, 3);
  EXPECT_EQ(denied.Err, "Error: Error connecting to " + port +
                            ": Permission denied\nHint: the port's group (\"dialout\" on Debian) "
                            "may use it: usermod -aG dialout $USER, then log in again\n");

  ASSERT_EQ(chmod(port.c_str(), 0666), 0);
  for (const char* command : {"info", "dump", "info"}) {
    SCOPED_TRACE(command);
    const TProcessResult r = run(command);
    EXPECT_EQ(r.Status, 0) << r.Err;
  }
}

TEST(CliSystemTest, DumpListsEveryEntryAndMarksThoseNotRead) {
  const TProcessResult r = Cli({"--json", "dump"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const json dump = json::parse(r.Out);
  // What the monitor level may not read is listed apart, never with a default as value.
  EXPECT_EQ(dump["values"].size(), 10u);
  EXPECT_EQ(dump["not_read"].size(), 49u);
  EXPECT_EQ(dump["values"]["CANAddress"], 1);
  EXPECT_FALSE(dump["values"].contains("WindowDelay"));
  const auto& notRead = dump["not_read"];
  EXPECT_NE(std::find(notRead.begin(), notRead.end(), "WindowDelay"), notRead.end());
  EXPECT_EQ(std::find(notRead.begin(), notRead.end(), "CANAddress"), notRead.end());
  const TProcessResult monitor = Cli({"dump"});
  EXPECT_TRUE(Contains(monitor.Out, "\nWindowDelay (not read)\n")) << monitor.Out;

  const TProcessResult text = Cli({"--password", "1111", "dump"});
  ASSERT_EQ(text.Status, 0) << text.Err;
  const std::vector<std::string> lines = Lines(text.Out);
  ASSERT_EQ(lines.size(), 59u);
  EXPECT_EQ(lines.front(), "UsedSensors=1048575");
  EXPECT_EQ(lines[7], "IgnitionReduction Limit=76");
  EXPECT_FALSE(Contains(text.Out, "(not read)"));
}

TEST(CliSystemTest, MonitorPrintsOneLinePerTick) {
  const TProcessResult r = Cli({"--json", "monitor", "--count", "3", "--interval", "20"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::vector<std::string> lines = Lines(r.Out);
  ASSERT_EQ(lines.size(), 3u);
  for (size_t i = 0; i < lines.size(); ++i) {
    const json tick = json::parse(lines[i]);
    EXPECT_EQ(tick["tick"], i + 1);
    EXPECT_EQ(tick["intensities"].size(), 20u);
    EXPECT_GE(tick["max"].get<double>(), tick["min"].get<double>());
    EXPECT_GE(tick["peak"].get<double>(), tick["max"].get<double>());
    EXPECT_TRUE(tick["lamps"].is_array());
    EXPECT_TRUE(tick["bad_sensors"].is_array());
  }
  const TProcessResult text = Cli({"--sim-kind", "3", "monitor", "--count", "1"});
  ASSERT_EQ(text.Status, 0) << text.Err;
  EXPECT_TRUE(Contains(text.Out, "#1 knock 1:")) << text.Out;
  EXPECT_TRUE(Contains(text.Out, "| lamps:")) << text.Out;
}

TEST(CliSystemTest, PasswordChangeNeedsTheCurrentPassword) {
  const TProcessResult ok =
      Cli({"--password", "1111", "password", "change", "4444", "--level", "1"});
  EXPECT_EQ(ok.Status, 0) << ok.Err;
  EXPECT_EQ(ok.Out, "The operator password has been changed.\n");

  const TProcessResult locked = Cli({"password", "change", "4444"});
  EXPECT_EQ(locked.Status, 1);
  EXPECT_EQ(locked.Err,
            kSimulator + "Error: Changing a password needs the current one (--password)\n");

  const TProcessResult operatorChangesAdmin =
      Cli({"--password", "2222", "password", "change", "4444", "--level", "0"});
  EXPECT_EQ(operatorChangesAdmin.Status, 1);
  EXPECT_EQ(operatorChangesAdmin.Err,
            kSimulator +
                "Error: Change of the administrator password: not permitted at the current access "
                "level (operator)\n");

  EXPECT_EQ(Cli({"--password", "1111", "password", "change", "1", "--level", "2"}).Status, 2);

  // An operator changes the operator's own password without naming the level.
  const TProcessResult own = Cli({"--password", "2222", "password", "change", "4444"});
  EXPECT_EQ(own.Status, 0) << own.Err;
  EXPECT_EQ(own.Out, "The operator password has been changed.\n");
}

TEST(CliSystemTest, EncryptedPasswordIsPrinted) {
  const TProcessResult r = Cli({"--json", "encrypted-password"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_TRUE(json::parse(r.Out)["encrypted_password"].is_number_unsigned());
  EXPECT_TRUE(Contains(r.Err, "Information: Encrypted password value is: "));
}

TEST(CliSystemTest, PortsAndTraceNeedNoController) {
  const TProcessResult ports = Cli({"--json", "ports"});
  ASSERT_EQ(ports.Status, 0) << ports.Err;
  EXPECT_TRUE(json::parse(ports.Out).is_array());

  const TProcessResult trace = Cli({"--trace", "info"});
  ASSERT_EQ(trace.Status, 0) << trace.Err;
  const std::vector<std::string> lines = Lines(trace.Err);
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[0] + "\n", kSimulator);  // once, before anything else
  // The access number, then the hardware type request and its reply.
  EXPECT_TRUE(Contains(lines[1], " ms ->  FF FF 02 01 00 3A 5F 00 00")) << lines[1];
  EXPECT_TRUE(Contains(lines[2], " ms <-  00 03 00 3A 5F")) << lines[2];
  EXPECT_TRUE(Contains(lines[3], " ms ->  FF FF 00 00 00 95 5F")) << lines[3];
  EXPECT_EQ(std::count(lines.begin(), lines.end(), lines[0]), 1);
}

}  // namespace
}  // namespace kalvist
