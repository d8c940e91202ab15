#include "Terminal.h"

#include <windows.h>

#include <cstdio>
#include <iostream>

namespace kalvist {

namespace {

// Echo off for as long as it lives; the console's own mode comes back after.
class TEchoOff {
 public:
  TEchoOff() : input_(GetStdHandle(STD_INPUT_HANDLE)), saved_(GetConsoleMode(input_, &mode_) != 0) {
    if (saved_) SetConsoleMode(input_, mode_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  }
  ~TEchoOff() {
    if (saved_) SetConsoleMode(input_, mode_);
  }
  TEchoOff(const TEchoOff&) = delete;
  TEchoOff& operator=(const TEchoOff&) = delete;

 private:
  HANDLE input_;
  DWORD mode_ = 0;
  bool saved_;
};

std::optional<std::string> ReadLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

bool InputIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

}  // namespace

std::optional<std::string> ReadSecretLine(const std::string& prompt) {
  if (!InputIsConsole()) return ReadLine();
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
