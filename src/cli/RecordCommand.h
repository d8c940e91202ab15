// The command "record": one sensor for a given time, or every sensor (ALL) or the
// analysed ones (SEL) one after another, into ".au" files. SIGINT ends the recording
// early; the file in progress is still finished.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "CliSession.h"

namespace kalvist::cli {

struct TRecordOptions {
  std::string Sensor;  // a sensor name or 1-based position, "ALL" or "SEL"
  int Seconds = 0;     // 0: not given
  std::string Dir = "Sound files";
  std::string File;  // one sensor only
};

CLI::App* AddRecordCommand(CLI::App& app, TRecordOptions& options);
int RunRecord(TCliSession& session, const TRecordOptions& options, bool json);

}  // namespace kalvist::cli
