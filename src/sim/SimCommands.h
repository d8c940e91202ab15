// The simulator's control commands, one per line, each answered with one line that
// starts with "ok" or "error:". kCommandHelp lists them.
#pragma once

#include <string>

#include "ZarnoSimulator.h"

namespace kalvist::sim {

extern const char* const kCommandHelp;

class TSimCommandShell {
 public:
  explicit TSimCommandShell(TZarnoSimulator& simulator) : simulator_(simulator) {}

  std::string Execute(const std::string& line);
  bool QuitRequested() const { return quit_; }

 private:
  TZarnoSimulator& simulator_;
  bool quit_ = false;
};

}  // namespace kalvist::sim
