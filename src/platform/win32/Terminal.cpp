#include <windows.h>

#include "SystemTerminal.h"

namespace kalvist::system_terminal {

struct TEchoOff::TSaved {
  HANDLE Input;
  DWORD Mode;
};

bool InputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

TEchoOff::TEchoOff() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(input, &mode)) return;
  saved_ = std::make_unique<TSaved>(TSaved{input, mode});
  SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
}

TEchoOff::~TEchoOff() {
  if (saved_) SetConsoleMode(saved_->Input, saved_->Mode);
}

}  // namespace kalvist::system_terminal
