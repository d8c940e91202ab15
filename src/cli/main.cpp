// kalvist-cli: identify, read, write, dump and watch a Zarno controller from the command
// line. Without --port it talks to the built-in controller simulator.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <iostream>

#include "CliCommands.h"
#include "CliOutput.h"
#include "FileCommands.h"
#include "RecordCommand.h"
#include "Terminal.h"

namespace {

using namespace kalvist;
using namespace kalvist::cli;

struct TCommandLine {
  TSessionOptions Session;
  std::string PasswordText;
  bool Json = false;
  std::vector<std::string> Names;
  std::vector<std::string> Assignments;
  int Count = 10;
  uint32_t IntervalMs = 100;
  std::string CsvFile;  // monitor: the live values also go to this CSV file
  uint16_t NewPassword = 0;
  std::optional<int> Level;  // unset: the operator's own level for an operator, else 0
  bool Force = false;
  TFileOptions Files;
  TRecordOptions Record;
};

constexpr const char* kFooter =
    R"(Exit status: 0 done; 1 an operation failed (the message says which);
2 usage error or a value refused; 3 no controller, an unknown one, or unsupported
firmware; 130 interrupted (Ctrl-C).
Names are the parameter keys ("WindowDelay", "IgnitionReduction Limit") or object IDs.
The password may also come from the environment variable KALVIST_PASSWORD; --password -
reads it from standard input, so that it does not show in the list of processes.)";

const CLI::Validator kAssignment(
    [](std::string& text) -> std::string {
      const size_t eq = text.find('=');
      return eq == std::string::npos || eq == 0 ? "expected NAME=VALUE, got \"" + text + "\"" : "";
    },
    "NAME=VALUE");

void AddGlobalOptions(CLI::App& app, TCommandLine& cl) {
  TSessionOptions& s = cl.Session;
  app.add_option("--port", s.Port, "Serial device (left out: the built-in simulator)");
  app.add_option("--timeout", s.TimeoutMs, "Reply time-out in ms")->capture_default_str();
  app.add_option("--retries", s.Retries, "Repeats of a failed frame")->capture_default_str();
  app.add_option("--access", s.AccessNumber, "Access number (0..255)")->default_str("0");
  app.add_option("--password", cl.PasswordText,
                 "Password to enter after connecting (0..65535); - reads it from standard input");
  app.add_flag("--json", cl.Json, "JSON output");
  app.add_flag("--trace", s.Trace, "Every frame sent and received, in hex, to stderr");
  app.add_flag("--reconnect", s.Reconnect,
               "When the port goes away (adapter pulled), connect again once it is back");
  app.add_option("--sim-kind", s.SimKind, "Simulated hardware kind: 20, 2 or 3")
      ->check(CLI::IsMember({20, 2, 3}))
      ->capture_default_str();
  app.add_option("--sim-firmware", s.SimFirmware,
                 "Simulated firmware version times ten (default 25, 13, 0 by kind)")
      ->check(CLI::Range(0, 255));
}

struct TCommands {
  CLI::App* Ports;
  CLI::App* Info;
  CLI::App* Read;
  CLI::App* Write;
  CLI::App* Dump;
  CLI::App* Monitor;
  CLI::App* PasswordChange;
  CLI::App* EncryptedPassword;
  TFileCommands Files;
  CLI::App* Record;
};

TCommands AddCommands(CLI::App& app, TCommandLine& cl) {
  TCommands c{};
  c.Ports = app.add_subcommand("ports", "List the serial ports");
  c.Info = app.add_subcommand("info", "Identify the controller");
  c.Read = app.add_subcommand("read", "Read parameters");
  c.Read->add_option("names", cl.Names, "NAME or ID")->required();
  c.Write = app.add_subcommand("write", "Write parameters (each is read first)");
  c.Write->add_option("assignments", cl.Assignments, "NAME=VALUE")->required()->check(kAssignment);
  c.Write->add_flag("--force", cl.Force,
                    "Also write values outside the valid range of the configuration pages");
  c.Dump = app.add_subcommand("dump", "Read and list every parameter");
  c.Monitor = app.add_subcommand("monitor", "Watch the live values");
  c.Monitor->add_option("--count", cl.Count, "Ticks")
      ->check(CLI::Range(1, 1000000))
      ->capture_default_str();
  c.Monitor->add_option("--interval", cl.IntervalMs, "Milliseconds per tick")
      ->check(CLI::Range(1, 3600000))
      ->capture_default_str();
  c.Monitor->add_option("--csv", cl.CsvFile, "Also log every tick to this CSV file");
  CLI::App* password = app.add_subcommand("password", "Password operations");
  password->require_subcommand(1);
  c.PasswordChange = password->add_subcommand("change", "Set a new password (needs --password)");
  c.PasswordChange->add_option("new", cl.NewPassword, "The new password (0..65535)")->required();
  c.PasswordChange
      ->add_option("--level", cl.Level,
                   "0 administrator, 1 operator (default: an operator's own level, else 0)")
      ->check(CLI::Range(0, 1));
  c.EncryptedPassword =
      app.add_subcommand("encrypted-password", "Ask the controller for the encrypted password");
  c.Record = AddRecordCommand(app, cl.Record);
  c.Files = AddFileCommands(app, cl.Files);
  for (CLI::App* sub : app.get_subcommands({})) sub->fallthrough();
  c.PasswordChange->fallthrough();
  return c;
}

std::vector<TAssignment> SplitAssignments(const std::vector<std::string>& texts) {
  std::vector<TAssignment> assignments;
  for (const std::string& text : texts) {
    const size_t eq = text.find('=');
    assignments.emplace_back(text.substr(0, eq), text.substr(eq + 1));
  }
  return assignments;
}

int Run(const TCommandLine& cl, const TCommands& c) {
  if (c.Ports->parsed()) return RunPorts(cl.Json);
  if (c.Files.Parsed()) return RunFileCommand(c.Files, cl.Files, cl.Session, cl.Json);
  TCliSession session(cl.Session);
  const int opened = session.Open();
  if (c.Info->parsed()) return RunInfo(session, opened, cl.Json);
  if (opened != exOk) return opened;
  if (c.Read->parsed()) return RunRead(session, cl.Names, cl.Json);
  if (c.Write->parsed()) {
    return RunWrite(session, SplitAssignments(cl.Assignments), cl.Force, cl.Json);
  }
  if (c.Dump->parsed()) return RunDump(session, cl.Json);
  if (c.Record->parsed()) return RunRecord(session, cl.Record, cl.Json);
  if (c.Monitor->parsed()) return RunMonitor(session, cl.Count, cl.IntervalMs, cl.Json, cl.CsvFile);
  if (c.PasswordChange->parsed()) {
    const uint8_t own = session.Zarno().AccessLevel() == alOperator ? alOperator : alAdministrator;
    const auto level = cl.Level ? static_cast<uint8_t>(*cl.Level) : own;
    return RunPasswordChange(session, cl.NewPassword, level, cl.Json);
  }
  return RunEncryptedPassword(session, cl.Json);
}

// A usage error after parsing: on stderr, and with --json as the JSON error too.
int UsageError(const std::string& text) {
  ErrorLine("Error: " + text);
  NoteError(text);
  return exUsage;
}

// The password of --password, "-" for a line of standard input, or of KALVIST_PASSWORD.
// The refusal when it is no password.
std::optional<std::string> ResolvePassword(const CLI::App& app, TCommandLine& cl) {
  std::optional<std::string> text;
  if (app.count("--password") > 0) {
    text = cl.PasswordText;
  } else if (const char* variable = std::getenv("KALVIST_PASSWORD")) {
    text = variable;
  }
  if (!text) return std::nullopt;
  if (*text == "-") {
    text = ReadSecretLine("Password: ");
    if (!text) return "--password -: standard input ended before a password";
  }
  const std::optional<int64_t> number = TextToInteger(*text);
  if (!number || *number < 0 || *number > 0xFFFF) return "the password must be a number 0..65535";
  cl.Session.Password = static_cast<uint16_t>(*number);
  return std::nullopt;
}

// Settings that parse but make no sense together; the refusal, or nothing.
std::optional<std::string> CheckSettings(const CLI::App& app, TCommandLine& cl) {
  if (app.count("--port") > 0 && cl.Session.Port.empty()) {
    return "--port: an empty port name (leave --port out to use the built-in controller "
           "simulator)";
  }
  return ResolvePassword(app, cl);
}

std::string CommandNames(CLI::App& app) {
  std::string names;
  for (const CLI::App* sub : app.get_subcommands({})) {
    names += (names.empty() ? "" : ", ") + sub->get_name();
  }
  return names;
}

int ParseFailed(CLI::App& app, const CLI::ParseError& e) {
  const std::vector<std::string> rest = app.remaining();
  if (e.get_exit_code() != 0 && app.get_subcommands().empty() && !rest.empty() &&
      rest.front().rfind('-', 0) != 0) {
    return UsageError("unknown command \"" + rest.front() + "\"; the commands are " +
                      CommandNames(app));
  }
  if (e.get_exit_code() == 0) return app.exit(e) == 0 ? exOk : exUsage;
  NoteError(e.what());
  app.exit(e);
  return exUsage;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Configure and watch a Zarno knock-detection controller"};
  app.footer(kFooter);
  app.require_subcommand(1);
  TCommandLine cl;
  AddGlobalOptions(app, cl);
  const TCommands commands = AddCommands(app, cl);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = ParseFailed(app, e);
    return cl.Json ? FinishJson(status) : status;
  }
  int status = exFailed;
  if (const std::optional<std::string> refusal = CheckSettings(app, cl)) {
    status = UsageError(*refusal);
  } else {
    try {
      status = Run(cl, commands);
    } catch (const std::exception& e) {
      ErrorLine(std::string("Error: ") + e.what());
      NoteError(e.what());
    }
  }
  return cl.Json ? FinishJson(status) : status;
}
