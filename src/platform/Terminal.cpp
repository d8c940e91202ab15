#include "Terminal.h"

#include <cstdio>
#include <iostream>

#include "SystemTerminal.h"

namespace kalvist {

namespace {

std::optional<std::string> ReadLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::optional<std::string> ReadSecretLine(const std::string& prompt) {
  if (!system_terminal::InputIsTerminal()) return ReadLine();
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  std::optional<std::string> line;
  {
    const system_terminal::TEchoOff quiet;
    line = ReadLine();
  }
  std::fputs("\n", stderr);  // the Enter that was not echoed
  return line;
}

}  // namespace kalvist
