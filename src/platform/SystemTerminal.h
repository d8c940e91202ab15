// What each system's terminal layer provides to Terminal.cpp.
#pragma once

#include <memory>

namespace kalvist::system_terminal {

// Whether standard input is a terminal (a console on Windows) rather than a pipe or file.
bool InputIsTerminal();

// Echo off for as long as it lives; the terminal's own settings come back after.
class TEchoOff {
 public:
  TEchoOff();
  ~TEchoOff();
  TEchoOff(const TEchoOff&) = delete;
  TEchoOff& operator=(const TEchoOff&) = delete;

 private:
  struct TSaved;  // the system's settings; none when they could not be read
  std::unique_ptr<TSaved> saved_;
};

}  // namespace kalvist::system_terminal
