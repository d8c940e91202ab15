// The commands of the command-line tool. Each returns its exit status (TExitCode) and
// writes its result to standard output, errors as lines to the error stream.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "CliSession.h"

namespace kalvist::cli {

using TAssignment = std::pair<std::string, std::string>;  // name or ID, value text

int RunPorts(bool json);
// Prints what identification found; `openStatus` is what connecting gave.
int RunInfo(TCliSession& session, int openStatus, bool json);
int RunRead(TCliSession& session, const std::vector<std::string>& names, bool json);
// Values their objects cannot hold, and without `force` values outside the valid range
// of the configuration pages, refuse the whole command (exUsage) before anything is sent.
int RunWrite(TCliSession& session, const std::vector<TAssignment>& assignments, bool force,
             bool json);
int RunDump(TCliSession& session, bool json);
// With a `csvFile`, every tick is also a row of the live-value log.
int RunMonitor(TCliSession& session, int count, uint32_t intervalMs, bool json,
               const std::string& csvFile = {});
int RunPasswordChange(TCliSession& session, uint16_t value, uint8_t level, bool json);
int RunEncryptedPassword(TCliSession& session, bool json);

}  // namespace kalvist::cli
