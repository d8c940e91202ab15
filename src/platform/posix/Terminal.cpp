#include <termios.h>
#include <unistd.h>

#include "SystemTerminal.h"

namespace kalvist::system_terminal {

struct TEchoOff::TSaved {
  termios Settings;
};

bool InputIsTerminal() {
  return isatty(STDIN_FILENO) != 0;
}

TEchoOff::TEchoOff() {
  termios settings{};
  if (tcgetattr(STDIN_FILENO, &settings) != 0) return;
  saved_ = std::make_unique<TSaved>(TSaved{settings});
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &settings);
}

TEchoOff::~TEchoOff() {
  if (saved_) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_->Settings);
}

}  // namespace kalvist::system_terminal
