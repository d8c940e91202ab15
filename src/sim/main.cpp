// zarno-sim: a Zarno controller on a pseudo-terminal (where the system has them) or on
// a serial port given with --port (a null-modem cable to the client's port). Prints the
// path the client opens, then answers control commands from standard input until
// "quit" or the end of input.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "KalvistError.h"
#include "SimCommands.h"
#include "ZarnoSimulator.h"

namespace {

using kalvist::sim::TPasswordScheme;
using kalvist::sim::TSimOptions;

void AddOptions(CLI::App& app, TSimOptions& o) {
  app.add_option("--kind", o.Kind, "Hardware kind: 20, 2 or 3")->check(CLI::IsMember({20, 2, 3}));
  app.add_option("--firmware", o.Firmware, "Firmware version times ten (default 25, 13, 0 by kind)")
      ->check(CLI::Range(0, 255));
  app.add_option("--hardware-type", o.HardwareType,
                 "Raw value of object 24469, replacing the kind's");
  app.add_option("--segment", o.SegmentSize,
                 "Answer objects longer than N bytes in segments of N (1..126)")
      ->check(CLI::Range(1, 126));
  app.add_option("--access", o.AccessNumber, "Access number expected on object 24378");
  app.add_option("--access-pause", o.AccessPauseMs,
                 "Milliseconds without requests after which the access number is due again");
  app.add_option("--scheme", o.Scheme, "Password scheme: auto, single or three-level")
      ->transform(CLI::CheckedTransformer(
          std::map<std::string, TPasswordScheme>{{"auto", TPasswordScheme::Auto},
                                                 {"single", TPasswordScheme::Single},
                                                 {"three-level", TPasswordScheme::ThreeLevel}}));
  app.add_option("--admin-password", o.AdminPassword,
                 "Administrator password (the only one of the single scheme)")
      ->capture_default_str();
  app.add_option("--operator-password", o.OperatorPassword, "Operator password")
      ->capture_default_str();
  app.add_option("--monitor-password", o.MonitorPassword, "Monitor password")
      ->capture_default_str();
  app.add_flag("--pace", o.Pace, "Send replies at 19200 baud (520.8 us per byte)");
  app.add_option("--link", o.LinkPath, "Also make PATH a symbolic link to the slave");
  app.add_option("--port", o.PortPath,
                 "Answer on this serial port (e.g. COM3 or /dev/ttyUSB0) instead of a "
                 "pseudo-terminal");
  app.add_option("--seed", o.Seed, "Seed of the live values and of random faults");
  app.add_option("--tick", o.LiveTickMs, "Milliseconds per live-value step; 0: only on \"step\"");
  app.add_option("--sound-size", o.SoundSizeCode,
                 "Size code k of sound data blocks: (k + 1) * 256 samples (0..15)")
      ->check(CLI::Range(0, 15));
  app.add_option("--sound-rate", o.SoundRate,
                 "Sound stream samples per second; 0: as fast as the client reads");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Zarno controller simulator on a pseudo-terminal or a serial port"};
  app.footer(kalvist::sim::kCommandHelp);
  TSimOptions options;
  AddOptions(app, options);
  CLI11_PARSE(app, argc, argv);
  if (!options.PortPath.empty()) options.Line = kalvist::TDeviceLineKind::SerialPort;

  try {
    kalvist::sim::TZarnoSimulator simulator(options);
    std::cout << simulator.Start() << std::endl;
    kalvist::sim::TSimCommandShell shell(simulator);
    std::string line;
    while (!shell.QuitRequested() && std::getline(std::cin, line)) {
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      std::cout << shell.Execute(line) << std::endl;
    }
  } catch (const kalvist::TKalvistError& e) {
    std::cerr << "zarno-sim: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
