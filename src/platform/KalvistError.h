// The one exception type of the program: contract violations, internal errors and
// value conversion errors. Link and device outcomes are result codes, never this.
#pragma once

#include <stdexcept>
#include <string>

namespace kalvist {

class TKalvistError : public std::runtime_error {
 public:
  explicit TKalvistError(const std::string& text) : std::runtime_error(text), Text(text) {}
  // An assertion names the unit and line it guards, as "text (unit, line N)".
  TKalvistError(const std::string& text, const std::string& unit, int line)
      : std::runtime_error(text + " (" + unit + ", line " + std::to_string(line) + ")"),
        Text(text), Unit(unit), Line(line) {}

  std::string Text;
  std::string Unit;
  int Line = 0;
};

}  // namespace kalvist
