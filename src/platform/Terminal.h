// Reading a secret from standard input: without echo when it is a terminal.
#pragma once

#include <optional>
#include <string>

namespace kalvist {

// One line of standard input without its line end; nothing at the end of input. When
// standard input is a terminal, `prompt` goes to the error stream first and the typed
// characters are not shown.
std::optional<std::string> ReadSecretLine(const std::string& prompt);

}  // namespace kalvist
