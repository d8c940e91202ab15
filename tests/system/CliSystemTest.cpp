// kalvist-cli end to end: the built program against its built-in simulator.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "RunProcess.h"

namespace kalvist {
namespace {

using nlohmann::json;
using test::RunProcess;
using test::TProcessResult;

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
  EXPECT_EQ(r.Err, "Error: Wrong password\n");
}

TEST(CliSystemTest, ReadReportsValuesAndWhatTheLevelForbids) {
  const TProcessResult monitor = Cli({"read", "CANAddress", "WindowDelay", "10298"});
  EXPECT_EQ(monitor.Status, 1);
  EXPECT_EQ(Lines(monitor.Out), (std::vector<std::string>{"CANAddress=1", "UsedSensors=1048575"}));
  EXPECT_EQ(monitor.Err,
            "Error: WindowDelay: not permitted at the current access level (monitor)\n");

  const TProcessResult admin = Cli({"--password", "1111", "--json", "read", "WindowDelay"});
  ASSERT_EQ(admin.Status, 0) << admin.Err;
  EXPECT_EQ(json::parse(admin.Out), json({{"WindowDelay", 1000}}));

  const TProcessResult unknown = Cli({"read", "NoSuchEntry"});
  EXPECT_EQ(unknown.Status, 1);
  EXPECT_EQ(unknown.Err, "Error: Parameter \"NoSuchEntry\" was not found\n");
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

  const TProcessResult bad = Cli({"--password", "1111", "write", "WindowDelay=soon"});
  EXPECT_EQ(bad.Status, 1);
  EXPECT_TRUE(Contains(bad.Err, "Error: WindowDelay: Could not convert"));

  EXPECT_EQ(Cli({"write", "CANAddress"}).Status, 2);
  EXPECT_EQ(Cli({"write"}).Status, 2);
  EXPECT_EQ(Cli({"frobnicate"}).Status, 2);
}

TEST(CliSystemTest, DumpListsEveryEntryAndMarksThoseNotRead) {
  const TProcessResult r = Cli({"--json", "dump"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const json dump = json::parse(r.Out);
  EXPECT_EQ(dump["values"].size(), 59u);
  EXPECT_EQ(dump["values"]["CANAddress"], 1);
  const auto& notRead = dump["not_read"];
  EXPECT_NE(std::find(notRead.begin(), notRead.end(), "WindowDelay"), notRead.end());
  EXPECT_EQ(std::find(notRead.begin(), notRead.end(), "CANAddress"), notRead.end());

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
  EXPECT_EQ(locked.Err, "Error: Changing a password needs the current one (--password)\n");

  const TProcessResult operatorChangesAdmin =
      Cli({"--password", "2222", "password", "change", "4444", "--level", "0"});
  EXPECT_EQ(operatorChangesAdmin.Status, 1);
  EXPECT_EQ(operatorChangesAdmin.Err,
            "Error: Change of the administrator password: not permitted at the current access "
            "level (operator)\n");

  EXPECT_EQ(Cli({"--password", "1111", "password", "change", "1", "--level", "2"}).Status, 2);
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
  ASSERT_GE(lines.size(), 6u);
  // The access number, then the hardware type request and its reply.
  EXPECT_TRUE(Contains(lines[0], " ms ->  FF FF 02 01 00 3A 5F 00 00")) << lines[0];
  EXPECT_TRUE(Contains(lines[1], " ms <-  00 03 00 3A 5F")) << lines[1];
  EXPECT_TRUE(Contains(lines[2], " ms ->  FF FF 00 00 00 95 5F")) << lines[2];
}

}  // namespace
}  // namespace kalvist
