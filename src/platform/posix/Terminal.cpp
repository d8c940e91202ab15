#include "Terminal.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace kalvist {

namespace {

// Echo off for as long as it lives; the terminal's own settings come back after.
class TEchoOff {
 public:
  TEchoOff() : saved_(tcgetattr(STDIN_FILENO, &settings_) == 0) {
    if (!saved_) return;
    termios quiet = settings_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  ~TEchoOff() {
    if (saved_) tcsetattr(STDIN_FILENO, TCSAFLUSH, &settings_);
  }
  TEchoOff(const TEchoOff&) = delete;
  TEchoOff& operator=(const TEchoOff&) = delete;

 private:
  termios settings_{};
  bool saved_;
};

std::optional<std::string> ReadLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::optional<std::string> ReadSecretLine(const std::string& prompt) {
  if (!isatty(STDIN_FILENO)) return ReadLine();
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  std::optional<std::string> line;
  {
    const TEchoOff quiet;
    line = ReadLine();
  }
  std::fputs("\n", stderr);  // the Enter that was not echoed
  return line;
}

}  // namespace kalvist
