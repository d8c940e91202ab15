// The parameter-file commands of the command-line tool: save, load, convert, show and
// diff. Only save and load without --offline, and diff with the word "controller", open
// a connection; the others work on files alone. Each returns its exit status
// (TExitCode; diff: 0 equal, 1 different, 2 an error, 3 no controller).
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

#include "CliSession.h"
#include "ParamFilesSafety.h"
#include "WindowConversion.h"

namespace kalvist::cli {

struct TFileOptions {
  std::string File;    // save, load, show
  std::string Input;   // convert
  std::string Output;  // convert
  std::string A;       // diff: a file or "controller"
  std::string B;
  bool Offline = false;
  std::optional<int> Kind{};      // offline parameter set: 20 (default), 2 or 3
  std::optional<int> Firmware{};  // offline: version times ten; default the newest supported
  int Speed = kDefaultWindowSpeed;
  bool CancelConversion = false;
  bool AllowDefaults = false;  // save: defaults in place of what could not be read
  bool DryRun = false;         // load: list the changes, write nothing
  // load: the restore points, in the "Parameters" folder of the working directory
  std::string RestoreDir = "Parameters/" + std::string(kRestorePointsFolder);
};

struct TFileCommands {
  CLI::App* Save = nullptr;
  CLI::App* Load = nullptr;
  CLI::App* Convert = nullptr;
  CLI::App* Show = nullptr;
  CLI::App* Diff = nullptr;

  bool Parsed() const;
};

TFileCommands AddFileCommands(CLI::App& app, TFileOptions& options);
// Runs the parsed command; `session` describes the connection for those that need one.
int RunFileCommand(const TFileCommands& commands, const TFileOptions& options,
                   const TSessionOptions& session, bool json);

}  // namespace kalvist::cli
